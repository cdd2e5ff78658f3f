#include "kvuctl/serial_choice.h"

#include <thread>

#include "device/device_session.h"
#include "serial/serial_channel.h"

namespace kvu::ctl {

namespace {

struct Probe {
    bool asked = false;
    protocol::DeviceIdentity identity;
    QString why;  // not asked: the reason
};

Probe probe(const QString& port) {
    Probe result;
    SerialChannel channel;
    protocol::DeviceSession session(channel);
    if (!channel.initSerial(port)) {
        result.why = channel.lastOpenWasBusy()               ? QStringLiteral("port busy")
                     : channel.lastOpenWasPermissionDenied() ? QStringLiteral("permission denied")
                                                             : channel.lastError();
        return result;
    }
    if (!channel.startRecvThread()) {
        channel.uninitSerial();
        result.why = QStringLiteral("the receive thread did not start");
        return result;
    }
    result.asked = session.queryVersion();
    result.identity.serial = session.identity().serial;
    if (!result.asked) {
        result.why = QStringLiteral("no answer to the version query");
    }
    channel.stopRecvThread();
    return result;
}

}  // namespace

SerialChoice chooseBySerial(const std::vector<Target>& targets, const QStringList& serials) {
    std::vector<Probe> probes(targets.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        threads.emplace_back([&, i] { probes[i] = probe(targets[i].port); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    SerialChoice choice;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const Probe& p = probes[i];
        if (p.asked && serials.contains(p.identity.serial)) {
            choice.chosen.push_back(targets[i]);
            continue;
        }
        DeviceRecord other;
        other.target = targets[i];
        other.identity = p.identity;
        other.step = QStringLiteral("connect");
        other.verdict = Verdict::Skipped;
        if (!p.asked) {
            choice.notes.append(QStringLiteral("%1 skipped, its serial is unknown: %2")
                                    .arg(targets[i].port, p.why));
        }
        choice.left.push_back(other);
    }
    return choice;
}

}  // namespace kvu::ctl
