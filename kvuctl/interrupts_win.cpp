#include "kvuctl/interrupts.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace kvu::ctl {

namespace {

std::function<void()> g_onFirst;
std::atomic<int> g_count{0};

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    // The system calls this on a thread of its own.
    if (g_count.fetch_add(1) == 0) {
        g_onFirst();
        return TRUE;
    }
    std::_Exit(130);
}

}  // namespace

void blockInterrupts() {}

void watchInterrupts(std::function<void()> onFirst) {
    g_onFirst = std::move(onFirst);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

}  // namespace kvu::ctl
