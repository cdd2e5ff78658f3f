// Station mode: waits for devices and provisions each newly plugged KVU once (by serial
// number, or its USB location or port when it has none), a thread per device, printing one
// result as each finishes, until stopped.
#pragma once

#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "kvuctl/audit_report.h"
#include "kvuctl/device_targets.h"
#include "kvuctl/device_work.h"
#include "kvuctl/progress_lines.h"
#include "kvuctl/thread_wakeup.h"
#include "kvuctl/work_ledger.h"

namespace kvu::ctl {

class Station : public QObject {
    Q_OBJECT
  public:
    // `attached` lists the ports to look at (the search, or the --port paths that exist now).
    Station(Job job, AttachedList attached, AuditReport* report, ProgressLines* progress);
    ~Station() override;

    // Looks for devices now and then every second; the event loop must run.
    void start();

    int exitStatus() const;
    // Devices, not attempts: one that failed and then succeeded counts as provisioned.
    int succeeded() const { return static_cast<int>(provisioned_.size()); }
    int failed() const { return static_cast<int>(failing_.size()); }
    // Plugged in as the interrupt came: neither provisioned nor failed.
    int notStarted() const { return static_cast<int>(notStarted_.size()); }

    // From any thread (a signal watcher): no step begins on any device, then stop() on the
    // station's thread.
    void requestStop();
    // From the signal watcher at a second interrupt: the record of each device still at work,
    // as far as it got. The process ends right after.
    void abandon();

  public Q_SLOTS:
    // No new devices; the work in progress ends, then `finished` is emitted.
    void stop();
    // Looks for new devices now (an arrival event, a watched path that changed).
    void scan();

  Q_SIGNALS:
    void finished();

  private Q_SLOTS:
    void drainEvents();

  private:
    struct Slot;
    // What a device's thread hands to the station's thread.
    struct Event {
        enum Kind { Done, Gone } kind;
        QString port;
        DeviceRecord record;
        bool worked = false;  // Done: the device was reached
        bool left = false;    // Gone: the device went away (rather than a stop)
        bool held = false;    // Gone: the device is still there; not tried again until it leaves
    };
    void post(Event event);
    void launch(const Target& target);
    void slotDone(const QString& port, const DeviceRecord& record, bool worked);
    void slotGone(const QString& port, bool left, bool held);
    void finishIfIdle();
    void emitRecord(const DeviceRecord& record);
    // What a device is known by here: its serial, else its USB location, else its port.
    static QString deviceKey(const DeviceRecord& record);
    // The device node behind a port as it is now: a replug makes a new one, however quick.
    static QString nodeFingerprint(const QString& port);

    Job job_;
    AttachedList attached_;
    AuditReport* report_;
    ProgressLines* progress_;
    QTimer timer_;
    bool stopping_ = false;

    ThreadWakeup wakeup_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> interrupted_{false};
    WorkLedger ledger_;
    std::mutex outputMutex_;  // the station's thread and the signal watcher both write results
    bool abandoned_ = false;
    QString outputFailure_;
    std::mutex eventsMutex_;
    std::deque<Event> events_;
    std::map<QString, std::unique_ptr<Slot>> slots_;  // by port, while a thread serves it
    QMap<QString, QString> provisioned_;              // device key: when it was provisioned
    QSet<QString> notStarted_;              // device keys an interrupt left before their write
    QSet<QString> failing_;                 // device keys whose last attempt failed
    QMap<QString, QString> held_;           // port: the node of a device done with, until it leaves
    QSet<QString> unkeyed_;                 // ports whose device's missing serial was already said
    QMap<QString, QString> quietFailures_;  // port: its last connect error shown
    QMap<QString, int> progressRows_;       // port: its progress row
};

}  // namespace kvu::ctl
