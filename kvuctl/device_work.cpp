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

// False (with the record filled) when the device cannot be talked to.
bool connectTo(ConnectionSupervisor& link, DeviceRecord& record) {
    const ConnectResult result = link.connect();
    record.step = QStringLiteral("connect");
    const QString port = record.target.port;
    switch (result.outcome) {
        case ConnectOutcome::Connected: {
            const protocol::DeviceIdentity identity = link.session().identity();
            record.identity.version = stripLeadingKeyword(identity.version, {"VER "});
            record.identity.mcuId = stripLeadingKeyword(identity.mcuId, {"MCUID ", "SN "});
            record.identity.serial = identity.serial;
            record.profiles = link.session().profiles();
            return true;
        }
        case ConnectOutcome::NoPort:
            record.absent = true;
            record.error = QStringLiteral("%1 does not exist").arg(port);
            record.hint = QStringLiteral(
                "Check the cable and the port name; `kvuctl list` "
                "shows the attached devices.");
            break;
        case ConnectOutcome::OpenFailed:
            if (result.permissionDenied) {
                record.error = QStringLiteral("%1: permission denied").arg(port);
                record.hint = permissionDeniedHint(port);
            } else if (result.busy) {
                record.error = QStringLiteral("%1: port busy").arg(port);
                record.hint = portBusyHint(port);
            } else {
                record.error =
                    QStringLiteral("%1 cannot be opened: %2").arg(port, result.openError);
            }
            break;
        case ConnectOutcome::ThreadFailed:
            record.error = QStringLiteral("%1: the receive thread did not start").arg(port);
            break;
        case ConnectOutcome::QueryFailed:
            record.error = QStringLiteral("%1: no answer to the version query").arg(port);
            record.hint = QStringLiteral(
                "Is it a KVU, and is it powered? Unplug it and plug it "
                "in again.");
            break;
        case ConnectOutcome::ReadFailed:
            record.step = QStringLiteral("read");
            record.failedCommand = QStringLiteral("get");
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
    record.differences = result.differences;
    if (!result.differences.empty()) {
        record.profiles = result.profiles;
    }
    if (link.channel().waitForLineEnd(kLineEndSettle)) {
        record.hint = QStringLiteral(
            "The device went away during the work (unplugged or reset). "
            "Plug it in again and repeat.");
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

void writeTo(ConnectionSupervisor& link, const Job& job, DeviceRecord& record,
             const StepNotice& notice) {
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
    notice(QStringLiteral("writing"));
    device::OperationResult written = device::writeProfiles(link, wanted);
    if (written.ok && job.options.verify) {
        record.step = QStringLiteral("verify");
        notice(QStringLiteral("verifying"));
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

void saveFrom(const Job& job, DeviceRecord& record) {
    record.step = QStringLiteral("save");
    if (job.options.file.isEmpty()) {
        record.verdict = Verdict::Ok;
        return;
    }
    record.file = fileForDevice(job.options.file, record.identity);
    QString error;
    if (!presets::savePreset(record.file, job.options.wwanGroup, record.profiles, error)) {
        record.verdict = Verdict::Failed;
        record.error = error;
        return;
    }
    record.verdict = Verdict::Ok;
}

}  // namespace

QString fileForDevice(const QString& pattern, const protocol::DeviceIdentity& identity) {
    QString serial = identity.serial;
    // A serial is no path: keep it from leaving the folder the name points at.
    serial.replace(u'/', u'_').replace(u'\\', u'_');
    if (serial.isEmpty()) {
        serial = QStringLiteral("unknown");
    }
    return QString(pattern).replace(QStringLiteral("{serial}"), serial);
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
    }
    return {};
}

DeviceRecord runDeviceJob(const Job& job, const Target& target, const StepNotice& notice,
                          ConnectionSupervisor& link, const DeviceFilter& filter) {
    DeviceRecord record;
    record.target = target;
    notice(QStringLiteral("connecting"));
    if (!connectTo(link, record)) {
        return record;
    }
    if (filter && !filter(record)) {
        record.verdict = Verdict::Skipped;
        return record;
    }
    switch (job.options.command) {
        case Command::List:
        case Command::Show:
            record.step = QStringLiteral("read");
            record.verdict = Verdict::Ok;
            break;
        case Command::Read:
            saveFrom(job, record);
            break;
        case Command::Write:
        case Command::Watch:
            writeTo(link, job, record, notice);
            break;
        case Command::Diff:
            diffWith(job, record);
            break;
        case Command::Erase:
            record.step = QStringLiteral("erase");
            notice(QStringLiteral("erasing"));
            takeResult(link, device::eraseProfiles(link), record);
            break;
    }
    return record;
}

}  // namespace kvu::ctl
