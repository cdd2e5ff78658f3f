#include "kvuctl/station.h"

#include <QJsonDocument>
#include <QMetaObject>

#include <cstdio>

#include "device/connection_supervisor.h"
#include "discovery/port_finders.h"
#include "kvuctl/exit_status.h"
#include "kvuctl/fleet_run.h"
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
    stopRequested_ = true;
    wakeup_.wake();
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
    for (const Target& target : present) {
        presentPorts.insert(target.port);
        if (slots_.find(target.port) == slots_.end()) {
            launch(target);
        }
    }
    // A port that went away may show its next failure again when it comes back.
    for (auto it = quietFailures_.begin(); it != quietFailures_.end();) {
        it = presentPorts.contains(it.key()) ? std::next(it) : quietFailures_.erase(it);
    }
}

void Station::launch(const Target& target) {
    auto slot = std::make_unique<Slot>();
    Slot* s = slot.get();
    const QSet<QString> provisioned = provisioned_;
    // One row per port however often it comes back, and a port retried after a failure that
    // was already said stays quiet until it gets further.
    if (progress_ != nullptr && !progressRows_.contains(target.port)) {
        progressRows_.insert(target.port, progress_->add(target.port));
    }
    const int row = progressRows_.value(target.port, -1);
    const bool retry = quietFailures_.contains(target.port);
    s->thread = std::thread([this, s, target, provisioned, row, retry] {
        ConnectionSupervisor link(fixedPortFinder(target.port));
        link.setLossNotice([s](std::uint64_t) {
            {
                std::lock_guard lock(s->mutex);
                s->lost = true;
            }
            s->wake.notify_all();
        });
        const StepNotice notice = [this, row, retry](const QString& step) {
            if (progress_ != nullptr && !(retry && step == QStringLiteral("connecting"))) {
                progress_->step(row, step);
            }
        };
        const DeviceFilter fresh = [&provisioned](const DeviceRecord& connected) {
            return !provisioned.contains(connected.identity.serial);
        };
        const DeviceRecord record = runDeviceJob(job_, target, notice, link, fresh);
        const bool worked = link.linkUp() || record.step != QStringLiteral("connect");
        post({Event::Done, target.port, record, worked, false});
        bool left = false;
        if (link.linkUp()) {
            std::unique_lock lock(s->mutex);
            s->wake.wait(lock, [s] { return s->lost || s->stop; });
            left = s->lost;
        }
        link.disconnect();
        post({Event::Gone, target.port, {}, false, left});
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
            slotGone(event.port, event.left);
        }
    }
}

void Station::slotDone(const QString& port, const DeviceRecord& record, bool worked) {
    if (record.verdict == Verdict::Skipped) {
        return;  // provisioned before and plugged in again
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
    const QString serial = record.identity.serial;
    if (record.verdict == Verdict::Ok) {
        ++succeeded_;
        provisioned_.insert(serial);
        failing_.remove(serial);
        failing_.remove(port);
    } else {
        ++failed_;
        failing_.insert(serial.isEmpty() ? port : serial);
    }
    if (report_ != nullptr) {
        report_->append(operationName(Command::Watch), job_.options.file, record);
    }
    const QByteArray line =
        job_.options.json
            ? QJsonDocument(recordJson(job_.options, record)).toJson(QJsonDocument::Compact) + '\n'
            : humanRecord(job_.options, record);
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fflush(stdout);
}

void Station::slotGone(const QString& port, bool left) {
    const auto it = slots_.find(port);
    if (it != slots_.end()) {
        if (it->second->thread.joinable()) {
            it->second->thread.join();
        }
        slots_.erase(it);
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
    return failing_.isEmpty() ? kExitOk : kExitFailed;
}

}  // namespace kvu::ctl
