#include "kvuctl/interrupts.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

namespace kvu::ctl {

namespace {

sigset_t g_watched;

// The stop signals the program was started to hear: one ignored by the starter (nohup's SIGHUP)
// is left ignored, since a blocked signal would still be queued for sigwait.
sigset_t heardSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signo : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signo, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
            sigaddset(&set, signo);
        }
    }
    return set;
}

}  // namespace

void blockInterrupts() {
    ::signal(SIGPIPE, SIG_IGN);
    // Threads started later inherit the mask; only the watcher takes the signals.
    g_watched = heardSignals();
    pthread_sigmask(SIG_BLOCK, &g_watched, nullptr);
}

void watchInterrupts(std::function<void(int)> onFirst, std::function<void(int)> onSecond) {
    const sigset_t set = g_watched;
    std::thread([set, onFirst = std::move(onFirst), onSecond = std::move(onSecond)] {
        int signo = 0;
        if (sigwait(&set, &signo) == 0) {
            onFirst(signo);
        }
        if (sigwait(&set, &signo) == 0) {
            onSecond(signo);
            _exit(128 + signo);
        }
    }).detach();
}

void interruptsSettled() {}

}  // namespace kvu::ctl
