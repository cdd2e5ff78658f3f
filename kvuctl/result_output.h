// The results of a command on standard output: readable text by default, one JSON document with
// the same fields for scripts. Secrets are masked unless the options ask to show them.
#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <vector>

#include "kvuctl/ctl_options.h"
#include "kvuctl/device_work.h"

namespace kvu::ctl {

QByteArray humanResults(const CtlOptions& options, const std::vector<DeviceRecord>& records);
QByteArray jsonResults(const CtlOptions& options, const std::vector<DeviceRecord>& records,
                       int exitStatus);

// One device's result line (and its detail lines), as the station prints it when it finishes.
QByteArray humanRecord(const CtlOptions& options, const DeviceRecord& record);
QJsonObject recordJson(const CtlOptions& options, const DeviceRecord& record);

// The profiles as the .all preset text the window saves, secrets masked unless `showSecrets`.
QByteArray presetText(const DeviceProfiles& profiles, bool showSecrets, QString& error);

// A device as messages name it: "SN0001 on /dev/ttyACM0".
QString deviceName(const DeviceRecord& record);

}  // namespace kvu::ctl
