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
    Failed,       // the device could not be reached, refused something or did not keep it
    Differs,      // diff: the device and the file differ
    Invalid,      // an entry the device would be given fails the checks; nothing was sent
    Skipped,      // --serial: another device; watch: provisioned before
    NotStarted,   // an interrupt came before the command's own step began: nothing changed
    Interrupted,  // a second interrupt abandoned the work in the middle of `step`
};

struct DeviceRecord {
    Target target;
    protocol::DeviceIdentity identity;  // keywords stripped
    Verdict verdict = Verdict::Failed;
    QString step;           // "connect", "read", "write", "verify", "erase", "check", "save"
    QString outcome;        // the core's outcome text, "Write Successfully" and the like
    QString failedCommand;  // as sent, secrets masked, closing CR left off
    QString error;          // what went wrong, for a person
    QString cause;          // in a word or two: "refused", "no answer", "device left", "busy", ...
    QString hint;           // what a person can do about it
    QString file;           // the file written by read
    bool absent = false;    // the port does not exist (nothing plugged in there)
    bool commitSent = false;  // write: "fw" went out, so the device may hold the new values
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

// Asked once the device's identity is known; false leaves the device alone (Skipped, with the
// filter's reason in `error`).
using DeviceFilter = std::function<bool(DeviceRecord& connected)>;

// How the caller follows one device's work. Every member may be empty.
struct DeviceHooks {
    StepNotice notice;
    DeviceFilter filter;
    // True once an interrupt came: no step begins after that, the one under way ends.
    std::function<bool()> stopRequested;
    // The record so far, each time the step changes and when the commit goes out: what an
    // abandoned run records for the device.
    std::function<void(const DeviceRecord& sofar)> moved;
};

// The link is the caller's, so that a station can keep it open after the work and see the
// device leave; a plain command lets it go out of scope.
DeviceRecord runDeviceJob(const Job& job, const Target& target, ConnectionSupervisor& link,
                          const DeviceHooks& hooks);

// A record for a device whose work was cut off at the step `sofar` had reached.
DeviceRecord abandonedRecord(const DeviceRecord& sofar);

// The verdict's word in output and reports: "ok", "failed", "differs", "invalid", "skipped",
// "not started", "interrupted".
QString verdictName(Verdict verdict);

}  // namespace kvu::ctl
