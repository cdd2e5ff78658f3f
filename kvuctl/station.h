// Station mode: waits for devices and provisions each newly plugged KVU once (by serial
// number), a thread per device, printing one result as each finishes, until stopped.
#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "kvuctl/audit_report.h"
#include "kvuctl/device_targets.h"
#include "kvuctl/device_work.h"
#include "kvuctl/progress_lines.h"

namespace kvu::ctl {

class Station : public QObject {
    Q_OBJECT
  public:
    // `attached` lists the ports to look at (the search, or the --port paths that exist now).
    Station(Job job, AttachedList attached, AuditReport* report, ProgressLines* progress);
    ~Station() override;

    // Looks for devices now and then every second; the event loop must run.
    void start();
    // No new devices; the work in progress ends, then `finished` is emitted.
    void stop();
    // Looks for new devices now (an arrival event, a watched path that changed).
    void scan();

    int exitStatus() const;
    int succeeded() const { return succeeded_; }
    int failed() const { return failed_; }

  Q_SIGNALS:
    void finished();

  private:
    struct Slot;
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

    std::map<QString, std::unique_ptr<Slot>> slots_;  // by port, while a thread serves it
    QSet<QString> provisioned_;                       // serials written (and verified)
    QSet<QString> failing_;                           // serials whose last attempt failed
    QMap<QString, QString> quietFailures_;            // port: its last connect error shown
    QMap<QString, int> progressRows_;                 // port: its progress row
    int succeeded_ = 0;
    int failed_ = 0;
};

}  // namespace kvu::ctl
