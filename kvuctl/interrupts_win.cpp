#include "kvuctl/interrupts.h"

#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace kvu::ctl {

namespace {

// The system ends the process a few seconds after a close event's handler was called, and at
// once when it returns: wait for the results to be recorded, within that grace period.
constexpr DWORD kCloseGraceMs = 4500;

std::function<void(int)> g_onFirst;
std::function<void(int)> g_onSecond;
std::atomic<int> g_count{0};
HANDLE g_settled = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    int signo = SIGTERM;
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            signo = SIGINT;
            break;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            break;
        default:
            return FALSE;
    }
    // The system calls this on a thread of its own.
    if (g_count.fetch_add(1) == 0) {
        g_onFirst(signo);
        if (signo != SIGINT && g_settled != nullptr) {
            WaitForSingleObject(g_settled, kCloseGraceMs);
        }
        return TRUE;
    }
    g_onSecond(signo);
    std::_Exit(128 + signo);
}

}  // namespace

void blockInterrupts() {}

void watchInterrupts(std::function<void(int)> onFirst, std::function<void(int)> onSecond) {
    g_onFirst = std::move(onFirst);
    g_onSecond = std::move(onSecond);
    g_settled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void interruptsSettled() {
    if (g_settled != nullptr) {
        SetEvent(g_settled);
    }
}

}  // namespace kvu::ctl
