// The files `read -o` writes: one name per device from the pattern's placeholders, a refusal when
// two devices would share one, and each backup written anew, whole, readable by its owner alone
// (it holds the secrets in plain text).
#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "kvuctl/device_work.h"

namespace kvu::ctl {

// {serial}, {port} (the port's file name) and {location} replaced; an empty one is "unknown".
QString fileForDevice(const QString& pattern, const DeviceRecord& record);

// True when the pattern names a file per device.
bool hasDevicePlaceholder(const QString& pattern);

// Two of the devices read that the pattern would put into one file; nothing when each has its own.
std::optional<QString> sharedFileProblem(const QString& pattern,
                                         const std::vector<DeviceRecord>& records);

// The preset file of `profiles`, replacing whatever `path` held, mode 0600 on POSIX.
bool saveBackup(const QString& path, int wwanGroup, const DeviceProfiles& profiles, QString& error);

}  // namespace kvu::ctl
