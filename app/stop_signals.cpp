#include "app/stop_signals.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace kvu {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

int g_pipe[2] = {-1, -1};
bool g_ignoredAtStart[NSIG] = {};

extern "C" void noteStopSignal(int signo) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    // A full pipe already holds a request: nothing is lost by dropping this byte.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

bool makeNonBlockingCloseOnExec(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
           ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

const char* signalName(int signo) {
    switch (signo) {
        case SIGTERM:
            return "SIGTERM";
        case SIGINT:
            return "SIGINT";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "signal";
    }
}

}  // namespace

StopSignals::~StopSignals() {
    if (!installed_) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signo : kSignals) {
        if (!g_ignoredAtStart[signo]) {
            ::sigaction(signo, &action, nullptr);
        }
    }
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

bool StopSignals::install(std::string& error) {
    if (installed_) {
        return true;
    }
    if (::pipe(g_pipe) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    if (!makeNonBlockingCloseOnExec(g_pipe[0]) || !makeNonBlockingCloseOnExec(g_pipe[1])) {
        error = std::string("fcntl: ") + std::strerror(errno);
        ::close(g_pipe[0]);
        ::close(g_pipe[1]);
        g_pipe[0] = g_pipe[1] = -1;
        return false;
    }
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes of the serial line go on undisturbed.
    action.sa_flags = SA_RESTART;
    for (const int signo : kSignals) {
        // A signal the starter ignored (nohup's SIGHUP) is none of ours to hear.
        struct sigaction current {};
        if (::sigaction(signo, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
            g_ignoredAtStart[signo] = true;
            continue;
        }
        if (::sigaction(signo, &action, nullptr) != 0) {
            error = std::string("sigaction: ") + std::strerror(errno);
        }
    }
    installed_ = true;
    return error.empty();
}

std::intptr_t StopSignals::waitable() const {
    return installed_ ? g_pipe[0] : -1;
}

std::string StopSignals::take() {
    if (!installed_) {
        return {};
    }
    unsigned char bytes[16];
    int last = 0;
    for (;;) {
        const ssize_t n = ::read(g_pipe[0], bytes, sizeof bytes);
        if (n > 0) {
            last = bytes[n - 1];
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        break;
    }
    return last != 0 ? signalName(last) : std::string();
}

void StopSignals::finished() {}

}  // namespace kvu
