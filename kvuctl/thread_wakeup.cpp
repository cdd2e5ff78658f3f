#include "kvuctl/thread_wakeup.h"

#ifdef _WIN32
#include <QMetaObject>
#else
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#endif

namespace kvu::ctl {

#ifdef _WIN32

ThreadWakeup::ThreadWakeup(QObject* parent) : QObject(parent) {}
ThreadWakeup::~ThreadWakeup() = default;

void ThreadWakeup::wake() {
    QMetaObject::invokeMethod(this, &ThreadWakeup::woken, Qt::QueuedConnection);
}

void ThreadWakeup::drain() {}

#else

ThreadWakeup::ThreadWakeup(QObject* parent) : QObject(parent) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipe_[0] = pipe_[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ThreadWakeup::drain);
}

ThreadWakeup::~ThreadWakeup() {
    delete notifier_;
    for (int& fd : pipe_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void ThreadWakeup::wake() {
    const char byte = 1;
    // A full pipe already holds a wake-up: nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t n = ::write(pipe_[1], &byte, 1);
}

void ThreadWakeup::drain() {
    char bytes[64];
    while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
    }
    Q_EMIT woken();
}

#endif

}  // namespace kvu::ctl
