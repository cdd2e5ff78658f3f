#include "kvuctl/device_work.h"

#include <chrono>

#include "device/connection_supervisor.h"
#include "device/device_operations.h"
#include "device/open_failure_hints.h"
#include "discovery/port_finders.h"
#include "protocol/log_masking.h"
#include "settings/entry_validation.h"

namespace kvu::ctl {

namespace {

QString shownCommand(const QString& command) {
    QString masked = protocol::maskSecretsForLog(command);
    while (masked.endsWith(u'\r') || masked.endsWith(u'\n')) {
        masked.chop(1);
    }
    return masked;
}

protocol::DeviceIdentity identityOf(const protocol::DeviceIdentity& identity) {
    protocol::DeviceIdentity shown;
    shown.version = stripLeadingKeyword(identity.version, {"VER "});
    shown.mcuId = stripLeadingKeyword(identity.mcuId, {"MCUID ", "SN "});
    shown.serial = identity.serial;
    return shown;
}

// False (with the record filled) when the device cannot be talked to.
bool connectTo(ConnectionSupervisor& link, DeviceRecord& record) {
    const ConnectResult result = link.connect();
    record.step = QStringLiteral("connect");
    const QString port = record.target.port;
    switch (result.outcome) {
        case ConnectOutcome::Connected: {
            record.identity = identityOf(link.session().identity());
            record.profiles = link.session().profiles();
            return true;
        }
        case ConnectOutcome::NoPort:
            record.absent = true;
            record.cause = QStringLiteral("missing");
            record.error = QStringLiteral("%1 does not exist").arg(port);
            record.hint = QStringLiteral(
                "Check the cable and the port name; `kvuctl list` "
                "shows the attached devices.");
            break;
        case ConnectOutcome::OpenFailed:
            if (result.permissionDenied) {
                record.cause = QStringLiteral("permission denied");
                record.error = QStringLiteral("%1: permission denied").arg(port);
                record.hint = permissionDeniedHint(port);
            } else if (result.busy) {
                record.cause = QStringLiteral("busy");
                record.error = QStringLiteral("%1: port busy").arg(port);
                record.hint = portBusyHint(port);
            } else {
                record.cause = QStringLiteral("cannot be opened");
                record.error =
                    QStringLiteral("%1 cannot be opened: %2").arg(port, result.openError);
            }
            break;
        case ConnectOutcome::ThreadFailed:
            record.cause = QStringLiteral("no receive thread");
            record.error = QStringLiteral("%1: the receive thread did not start").arg(port);
            break;
        case ConnectOutcome::QueryFailed:
            record.cause = QStringLiteral("no answer");
            record.error = QStringLiteral("%1: no answer to the version query").arg(port);
            record.hint = QStringLiteral(
                "Is it a KVU, and is it powered? Unplug it and plug it "
                "in again.");
            break;
        case ConnectOutcome::ReadFailed:
            record.step = QStringLiteral("read");
            record.failedCommand = QStringLiteral("get");
            // The identity was read before the profiles were asked for.
            record.identity = identityOf(link.session().identity());
            record.cause = device::failureCauseText(link.session().lastFailureCause());
            record.error =
                QStringLiteral("%1: the profiles could not be read: %2").arg(port, result.error);
            break;
    }
    record.verdict = Verdict::Failed;
    return false;
}

// A write into a line that was just pulled fails before the receive thread has seen the loss;
// give it a moment to end before telling a device that left from one that refused.
constexpr std::chrono::milliseconds kLineEndSettle{300};

void takeResult(ConnectionSupervisor& link, const device::OperationResult& result,
                DeviceRecord& record) {
    record.outcome = result.outcome;
    if (result.ok) {
        record.verdict = Verdict::Ok;
        record.profiles = result.profiles;
        return;
    }
    record.verdict = Verdict::Failed;
    record.failedCommand = shownCommand(result.failedCommand);
    record.error = result.error;
    record.cause = device::failureCauseText(result.cause);
    record.differences = result.differences;
    if (!result.differences.empty()) {
        record.profiles = result.profiles;
    }
    if (link.channel().waitForLineEnd(kLineEndSettle)) {
        record.cause = device::failureCauseText(protocol::FailureCause::LinkLost);
        record.hint = QStringLiteral(
            "The device went away during the work (unplugged or reset). "
            "Plug it in again and repeat.");
    } else if (result.cause == protocol::FailureCause::Refused && !record.commitSent &&
               record.failedCommand.startsWith(QStringLiteral("set "))) {
        record.hint = QStringLiteral(
            "The set lines before it may be active on the device without a commit (fw was "
            "not sent). Write the file again.");
    }
}

// The device's profiles with the file's groups laid over them, as the window holds them after
// a Load.
DeviceProfiles laidOver(const DeviceProfiles& device, const presets::PresetLayer& layer) {
    DeviceProfiles merged = device;
    for (int nNo = 0; nNo < kWwanCount; ++nNo) {
        const std::size_t i = static_cast<std::size_t>(nNo);
        if (layer.groups[i]) {
            merged.wwan[i] = layer.profiles.wwan[i];
        }
    }
    if (layer.groups[kWifiGroup]) {
        merged.wifi = layer.profiles.wifi;
    }
    return asShownInWindow(merged);
}

// Tells the hooks where the work stands: the step it is in now.
void moved(const DeviceHooks& hooks, const DeviceRecord& record) {
    if (hooks.moved) {
        hooks.moved(record);
    }
}

void notify(const DeviceHooks& hooks, const QString& step) {
    if (hooks.notice) {
        hooks.notice(step);
    }
}

bool stopping(const DeviceHooks& hooks) {
    return hooks.stopRequested && hooks.stopRequested();
}

void writeTo(ConnectionSupervisor& link, const Job& job, DeviceRecord& record,
             const DeviceHooks& hooks) {
    const DeviceProfiles wanted = laidOver(record.profiles, job.layer);
    // A section the file leaves alone keeps the device's value; that value must pass too.
    if (const auto rejected = firstRejectedEntry(enteredTexts(wanted))) {
        record.step = QStringLiteral("check");
        record.verdict = Verdict::Invalid;
        record.error = QString(rejected->message).replace(u'\n', QStringLiteral(": "));
        record.hint = QStringLiteral(
            "The device holds this entry; the file does not set it. "
            "Put the group in the file.");
        return;
    }
    record.step = QStringLiteral("write");
    moved(hooks, record);
    notify(hooks, QStringLiteral("writing"));
    device::OperationResult written = device::writeProfiles(link, wanted, [&] {
        record.commitSent = true;
        moved(hooks, record);
    });
    // The read-back belongs to the write: an interrupt lets it finish.
    if (written.ok && job.options.verify) {
        record.step = QStringLiteral("verify");
        moved(hooks, record);
        notify(hooks, QStringLiteral("verifying"));
        written = device::verifyProfiles(link, wanted);
    }
    takeResult(link, written, record);
}

void diffWith(const Job& job, DeviceRecord& record) {
    record.step = QStringLiteral("diff");
    const DeviceProfiles wanted = laidOver(record.profiles, job.layer);
    record.differences = profileDifferences(wanted, record.profiles, job.layer.groups);
    record.verdict = record.differences.empty() ? Verdict::Ok : Verdict::Differs;
}

}  // namespace

DeviceRecord abandonedRecord(const DeviceRecord& sofar) {
    DeviceRecord record = sofar;
    const bool begun = !sofar.step.isEmpty() && sofar.step != QStringLiteral("connect");
    record.verdict = begun ? Verdict::Interrupted : Verdict::NotStarted;
    if (record.step.isEmpty()) {
        record.step = QStringLiteral("connect");
    }
    if (record.verdict == Verdict::Interrupted && record.commitSent) {
        record.error = QStringLiteral("interrupted at %1 after the commit").arg(record.step);
        record.hint = QStringLiteral(
            "The device may hold the new values, not verified. Run diff or write again.");
    } else if (record.verdict == Verdict::Interrupted && record.step == QStringLiteral("write")) {
        record.error = QStringLiteral("interrupted at write before the commit");
        record.hint = QStringLiteral(
            "The set lines sent may be active on the device without a commit. Write again.");
    } else {
        record.error = QStringLiteral("interrupted at %1").arg(record.step);
    }
    return record;
}

QString verdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::Ok:
            return QStringLiteral("ok");
        case Verdict::Failed:
            return QStringLiteral("failed");
        case Verdict::Differs:
            return QStringLiteral("differs");
        case Verdict::Invalid:
            return QStringLiteral("invalid");
        case Verdict::Skipped:
            return QStringLiteral("skipped");
        case Verdict::NotStarted:
            return QStringLiteral("not started");
        case Verdict::Interrupted:
            return QStringLiteral("interrupted");
    }
    return {};
}

DeviceRecord runDeviceJob(const Job& job, const Target& target, ConnectionSupervisor& link,
                          const DeviceHooks& hooks) {
    DeviceRecord record;
    record.target = target;
    if (stopping(hooks)) {
        return abandonedRecord(record);
    }
    record.step = QStringLiteral("connect");
    moved(hooks, record);
    notify(hooks, QStringLiteral("connecting"));
    if (!connectTo(link, record)) {
        return record;
    }
    moved(hooks, record);
    if (hooks.filter && !hooks.filter(record)) {
        record.verdict = Verdict::Skipped;
        return record;
    }
    // Reading is all that has happened yet: an interrupt now changes nothing on the device.
    if (stopping(hooks) && job.options.command != Command::List &&
        job.options.command != Command::Show) {
        return abandonedRecord(record);
    }
    switch (job.options.command) {
        case Command::List:
        case Command::Show:
        case Command::Read:
            // read -o saves once every device was read, so that no two share a file.
            record.step = QStringLiteral("read");
            record.verdict = Verdict::Ok;
            break;
        case Command::Write:
        case Command::Watch:
            writeTo(link, job, record, hooks);
            break;
        case Command::Diff:
            diffWith(job, record);
            break;
        case Command::Erase:
            record.step = QStringLiteral("erase");
            moved(hooks, record);
            notify(hooks, QStringLiteral("erasing"));
            takeResult(link, device::eraseProfiles(link), record);
            break;
    }
    return record;
}

}  // namespace kvu::ctl
