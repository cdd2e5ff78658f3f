#include "kvuctl/interrupts.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

namespace kvu::ctl {

namespace {

sigset_t interruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

void blockInterrupts() {
    // Threads started later inherit the mask; only the watcher takes the signals.
    const sigset_t set = interruptSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void watchInterrupts(std::function<void()> onFirst) {
    const sigset_t set = interruptSignals();
    std::thread([set, onFirst = std::move(onFirst)] {
        int signo = 0;
        if (sigwait(&set, &signo) == 0) {
            onFirst();
        }
        if (sigwait(&set, &signo) == 0) {
            _exit(128 + signo);
        }
    }).detach();
}

}  // namespace kvu::ctl
