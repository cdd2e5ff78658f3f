// Wakes the thread that owns this object from any other thread, through the operating system
// (a pipe on POSIX), so that the handover needs no Qt event posted across threads; the data
// itself travels under the caller's own lock.
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace kvu::ctl {

class ThreadWakeup : public QObject {
    Q_OBJECT
  public:
    explicit ThreadWakeup(QObject* parent = nullptr);
    ~ThreadWakeup() override;

    // Any thread, also from a signal watcher: `woken` follows on the owner's thread (once for
    // several wakes that come close together).
    void wake();

  Q_SIGNALS:
    void woken();

  private:
    void drain();

    int pipe_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kvu::ctl
