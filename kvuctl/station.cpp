#include "kvuctl/station.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMetaObject>

#include <cstdio>

#include "device/connection_supervisor.h"
#include "discovery/port_finders.h"
#include "kvuctl/exit_status.h"
#include "kvuctl/fleet_run.h"
#include "kvuctl/output_stream.h"
#include "kvuctl/result_output.h"

namespace kvu::ctl {

// One port served by one thread: the work, then holding the link until the device leaves, so
// that a provisioned device is not written again while it stays plugged in.
struct Station::Slot {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool lost = false;
    bool stop = false;
    QString node;  // the device node when the work began
};

Station::Station(Job job, AttachedList attached, AuditReport* report, ProgressLines* progress)
    : job_(std::move(job)), attached_(std::move(attached)), report_(report), progress_(progress) {
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &Station::scan);
    connect(&wakeup_, &ThreadWakeup::woken, this, &Station::drainEvents);
}

Station::~Station() {
    for (auto& [port, slot] : slots_) {
        {
            std::lock_guard lock(slot->mutex);
            slot->stop = true;
        }
        slot->wake.notify_all();
        if (slot->thread.joinable()) {
            slot->thread.join();
        }
    }
}

void Station::start() {
    timer_.start();
    scan();
}

void Station::requestStop() {
    interrupted_ = true;
    stopRequested_ = true;
    wakeup_.wake();
}

void Station::abandon() {
    std::lock_guard lock(outputMutex_);
    if (abandoned_) {
        return;
    }
    for (const DeviceRecord& cut : ledger_.abandonUnfinished()) {
        if (report_ != nullptr) {
            report_->append(operationName(Command::Watch), job_.options.file, cut);
        }
        QString ignored;
        writeOut(
            job_.options.json
                ? QJsonDocument(recordJson(job_.options, cut)).toJson(QJsonDocument::Compact) + '\n'
                : humanRecord(job_.options, cut),
            ignored);
    }
    abandoned_ = true;
}

void Station::stop() {
    stopping_ = true;
    timer_.stop();
    for (auto& [port, slot] : slots_) {
        {
            std::lock_guard lock(slot->mutex);
            slot->stop = true;
        }
        slot->wake.notify_all();
    }
    finishIfIdle();
}

void Station::scan() {
    if (stopping_) {
        return;
    }
    const std::vector<Target> present = attached_();
    QSet<QString> presentPorts;
    QSet<QString> identities;
    for (const Target& target : present) {
        // A link and its target are one device: the second name would find it busy.
        const QString identity = portIdentity(target.port);
        if (identities.contains(identity)) {
            continue;
        }
        identities.insert(identity);
        presentPorts.insert(target.port);
        if (held_.contains(target.port) &&
            held_.value(target.port) != nodeFingerprint(target.port)) {
            held_.remove(target.port);
        }
        if (slots_.find(target.port) == slots_.end() && !held_.contains(target.port)) {
            launch(target);
        }
    }
    // A port that went away may show its next failure again when it comes back, and a device
    // that was done with is tried again once plugged in again.
    for (auto it = quietFailures_.begin(); it != quietFailures_.end();) {
        it = presentPorts.contains(it.key()) ? std::next(it) : quietFailures_.erase(it);
    }
    for (auto it = held_.begin(); it != held_.end();) {
        it = presentPorts.contains(it.key()) ? std::next(it) : held_.erase(it);
    }
}

QString Station::nodeFingerprint(const QString& port) {
    const QString node = portIdentity(port);
    return QStringLiteral("%1@%2").arg(node).arg(
        QFileInfo(node).metadataChangeTime().toMSecsSinceEpoch());
}

QString Station::deviceKey(const DeviceRecord& record) {
    if (!record.identity.serial.isEmpty()) {
        return record.identity.serial;
    }
    return record.target.location.isEmpty() ? record.target.port : record.target.location;
}

void Station::launch(const Target& target) {
    auto slot = std::make_unique<Slot>();
    Slot* s = slot.get();
    const QMap<QString, QString> provisioned = provisioned_;
    // One row per port however often it comes back, and a port retried after a failure that
    // was already said stays quiet until it gets further.
    if (progress_ != nullptr && !progressRows_.contains(target.port)) {
        progressRows_.insert(target.port, progress_->add(target.port));
    }
    const int row = progressRows_.value(target.port, -1);
    const bool retry = quietFailures_.contains(target.port);
    const int entry = ledger_.add(target);
    s->node = nodeFingerprint(target.port);
    s->thread = std::thread([this, s, target, provisioned, row, retry, entry] {
        ConnectionSupervisor link(fixedPortFinder(target.port));
        link.setLossNotice([s](std::uint64_t) {
            {
                std::lock_guard lock(s->mutex);
                s->lost = true;
            }
            s->wake.notify_all();
        });
        DeviceHooks hooks;
        hooks.notice = [this, row, retry](const QString& step) {
            if (progress_ != nullptr && !(retry && step == QStringLiteral("connecting"))) {
                progress_->step(row, step);
            }
        };
        const QStringList serials = job_.options.serials;
        hooks.filter = [&provisioned, &serials](DeviceRecord& connected) {
            if (!serials.isEmpty() && !serials.contains(connected.identity.serial)) {
                connected.error = QStringLiteral("its serial is not among those asked for");
                return false;
            }
            const auto done = provisioned.find(deviceKey(connected));
            if (done != provisioned.end()) {
                connected.error = QStringLiteral("already provisioned at %1").arg(done.value());
                return false;
            }
            return true;
        };
        hooks.stopRequested = [this] { return interrupted_.load(); };
        hooks.moved = [this, entry](const DeviceRecord& sofar) { ledger_.moved(entry, sofar); };
        const DeviceRecord record = runDeviceJob(job_, target, link, hooks);
        const bool worked = link.linkUp() || record.step != QStringLiteral("connect");
        if (ledger_.finished(entry, record)) {
            post({Event::Done, target.port, record, worked, false, false});
        }
        bool left = false;
        if (link.linkUp()) {
            std::unique_lock lock(s->mutex);
            s->wake.wait(lock, [s] { return s->lost || s->stop; });
            left = s->lost;
        }
        link.disconnect();
        // Reached, and the line already down (a failed first read, say): once per plug-in.
        post({Event::Gone, target.port, {}, false, left, worked && !left});
    });
    slots_.emplace(target.port, std::move(slot));
}

void Station::post(Event event) {
    {
        std::lock_guard lock(eventsMutex_);
        events_.push_back(std::move(event));
    }
    wakeup_.wake();
}

void Station::drainEvents() {
    if (stopRequested_.exchange(false)) {
        stop();
    }
    std::deque<Event> events;
    {
        std::lock_guard lock(eventsMutex_);
        events.swap(events_);
    }
    for (const Event& event : events) {
        if (event.kind == Event::Done) {
            slotDone(event.port, event.record, event.worked);
        } else {
            slotGone(event.port, event.left, event.held);
        }
    }
}

void Station::slotDone(const QString& port, const DeviceRecord& record, bool worked) {
    if (record.verdict == Verdict::Skipped) {
        emitRecord(record);
        return;
    }
    if (!worked) {
        // Not reachable yet (no rights yet, busy, no answer): tried again every second, said once.
        if (quietFailures_.value(port) == record.error) {
            return;
        }
        quietFailures_.insert(port, record.error);
    } else {
        quietFailures_.remove(port);
    }
    const QString key = deviceKey(record);
    if (worked && record.identity.serial.isEmpty() && !unkeyed_.contains(port)) {
        unkeyed_.insert(port);
        writeErr(QStringLiteral("kvuctl: %1: the device gave no serial number; it is known by %2 "
                                "%3 while kvuctl runs\n")
                     .arg(port,
                          record.target.location.isEmpty() ? QStringLiteral("its port")
                                                           : QStringLiteral("its USB location"),
                          key)
                     .toUtf8());
    }
    if (record.verdict == Verdict::Ok) {
        provisioned_.insert(key, QDateTime::currentDateTime().toString(Qt::ISODate));
        failing_.remove(key);
        failing_.remove(record.target.location);
        failing_.remove(port);
    } else if (record.verdict == Verdict::NotStarted) {
        notStarted_.insert(key);
    } else {
        failing_.insert(key);
    }
    emitRecord(record);
}

void Station::emitRecord(const DeviceRecord& record) {
    std::lock_guard lock(outputMutex_);
    if (abandoned_) {
        return;
    }
    if (report_ != nullptr) {
        report_->append(operationName(Command::Watch), job_.options.file, record);
    }
    const QByteArray line =
        job_.options.json
            ? QJsonDocument(recordJson(job_.options, record)).toJson(QJsonDocument::Compact) + '\n'
            : humanRecord(job_.options, record);
    QString error;
    // The work goes on without standard output: the report and the log still hold it.
    if (!writeOut(line, error) && outputFailure_.isEmpty()) {
        outputFailure_ = error;
        writeErr(
            QStringLiteral("kvuctl: the results could not be written: %1\n").arg(error).toUtf8());
    }
}

void Station::slotGone(const QString& port, bool left, bool held) {
    const auto it = slots_.find(port);
    QString node;
    if (it != slots_.end()) {
        if (it->second->thread.joinable()) {
            it->second->thread.join();
        }
        node = it->second->node;
        slots_.erase(it);
    }
    // Gone already (unplugged in the middle) or back as a new node: the next plug-in is a new one.
    if (held && nodeFingerprint(port) == node) {
        held_.insert(port, node);
    }
    if (stopping_) {
        finishIfIdle();
    } else if (left) {
        // A device that left may already be back on the same path (a replug). A port that could
        // not be opened waits for the timer instead of being tried again at once.
        QTimer::singleShot(0, this, &Station::scan);
    }
}

void Station::finishIfIdle() {
    if (stopping_ && slots_.empty()) {
        Q_EMIT finished();
    }
}

int Station::exitStatus() const {
    const bool reportLost = report_ != nullptr && !report_->failure().isEmpty();
    return failing_.isEmpty() && notStarted_.isEmpty() && outputFailure_.isEmpty() && !reportLost
               ? kExitOk
               : kExitFailed;
}

}  // namespace kvu::ctl
