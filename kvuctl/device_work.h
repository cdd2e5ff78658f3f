// What kvuctl does with one device: connect, run the command's core operation and hand back
// one record of what happened. Runs on the device's own thread.
#pragma once

#include <QString>

#include <functional>
#include <vector>

#include "device/connection_supervisor.h"
#include "device/device_session.h"
#include "kvuctl/ctl_options.h"
#include "kvuctl/device_targets.h"
#include "presets/preset_layers.h"
#include "settings/profile_fields.h"

namespace kvu::ctl {

enum class Verdict {
    Ok,
    Failed,   // the device could not be reached, refused something or did not keep it
    Differs,  // diff: the device and the file differ
    Invalid,  // an entry the device would be given fails the checks; nothing was sent
    Skipped,  // --serial: another device
};

struct DeviceRecord {
    Target target;
    protocol::DeviceIdentity identity;  // keywords stripped
    Verdict verdict = Verdict::Failed;
    QString step;           // "connect", "read", "write", "verify", "erase", "check", "save"
    QString outcome;        // the core's outcome text, "Write Successfully" and the like
    QString failedCommand;  // as sent, secrets masked, closing CR left off
    QString error;          // what went wrong, for a person
    QString hint;           // what a person can do about it
    QString file;           // the file written by read
    bool absent = false;    // the port does not exist (nothing plugged in there)
    DeviceProfiles profiles;
    std::vector<FieldDifference> differences;
};

// The command's work, the same for every device.
struct Job {
    CtlOptions options;
    presets::PresetLayer layer;  // write, diff, watch: the file over empty profiles
};

// Called as the device's work moves on: "connecting", "writing", "verifying", ...
using StepNotice = std::function<void(const QString& step)>;

// Asked once the device's identity is known; false leaves the device alone (Skipped).
using DeviceFilter = std::function<bool(const DeviceRecord& connected)>;

// The link is the caller's, so that a station can keep it open after the work and see the
// device leave; a plain command lets it go out of scope.
DeviceRecord runDeviceJob(const Job& job, const Target& target, const StepNotice& notice,
                          ConnectionSupervisor& link, const DeviceFilter& filter = {});

// The read file name for one device: {serial} replaced.
QString fileForDevice(const QString& pattern, const protocol::DeviceIdentity& identity);

// The verdict's word in output and reports: "ok", "failed", "differs", "invalid", "skipped".
QString verdictName(Verdict verdict);

}  // namespace kvu::ctl
