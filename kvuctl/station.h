// Station mode: waits for devices and provisions each newly plugged KVU once (by serial
// number), a thread per device, printing one result as each finishes, until stopped.
#pragma once

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
    int succeeded() const { return succeeded_; }
    int failed() const { return failed_; }

    // From any thread (a signal watcher): stop() on the station's thread.
    void requestStop();

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
    };
    void post(Event event);
    void launch(const Target& target);
    void slotDone(const QString& port, const DeviceRecord& record, bool worked);
    void slotGone(const QString& port, bool left);
    void finishIfIdle();

    Job job_;
    AttachedList attached_;
    AuditReport* report_;
    ProgressLines* progress_;
    QTimer timer_;
    bool stopping_ = false;

    ThreadWakeup wakeup_;
    std::atomic<bool> stopRequested_{false};
    std::mutex eventsMutex_;
    std::deque<Event> events_;
    std::map<QString, std::unique_ptr<Slot>> slots_;  // by port, while a thread serves it
    QSet<QString> provisioned_;                       // serials written (and verified)
    QSet<QString> failing_;                           // serials whose last attempt failed
    QMap<QString, QString> quietFailures_;            // port: its last connect error shown
    QMap<QString, int> progressRows_;                 // port: its progress row
    int succeeded_ = 0;
    int failed_ = 0;
};

}  // namespace kvu::ctl
