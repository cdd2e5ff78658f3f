#include "app/stop_signals.h"

#include <windows.h>

#include <atomic>

namespace kvu {
namespace {

// The system ends the process a few seconds after a close event's handler was called, and at
// once when it returns: wait for the program's own end, within that grace period.
constexpr DWORD kCloseGraceMs = 4500;

HANDLE g_requested = nullptr;
HANDLE g_finished = nullptr;
std::atomic<DWORD> g_lastEvent{0};
std::atomic<bool> g_pending{false};

BOOL WINAPI noteConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            break;
        default:
            return FALSE;
    }
    g_lastEvent = event;
    g_pending = true;
    SetEvent(g_requested);
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        WaitForSingleObject(g_finished, kCloseGraceMs);
    }
    return TRUE;
}

const char* eventName(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            return "CTRL_C_EVENT";
        case CTRL_BREAK_EVENT:
            return "CTRL_BREAK_EVENT";
        case CTRL_CLOSE_EVENT:
            return "CTRL_CLOSE_EVENT";
        case CTRL_LOGOFF_EVENT:
            return "CTRL_LOGOFF_EVENT";
        case CTRL_SHUTDOWN_EVENT:
            return "CTRL_SHUTDOWN_EVENT";
        default:
            return "console event";
    }
}

}  // namespace

StopSignals::~StopSignals() {
    if (!installed_) {
        return;
    }
    SetConsoleCtrlHandler(noteConsoleEvent, FALSE);
    finished();
}

bool StopSignals::install(std::string& error) {
    if (installed_) {
        return true;
    }
    g_requested = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_requested == nullptr || g_finished == nullptr) {
        error = "CreateEvent failed";
        return false;
    }
    if (!SetConsoleCtrlHandler(noteConsoleEvent, TRUE)) {
        error = "SetConsoleCtrlHandler failed";
        return false;
    }
    installed_ = true;
    return true;
}

std::intptr_t StopSignals::waitable() const {
    return installed_ ? reinterpret_cast<std::intptr_t>(g_requested) : -1;
}

std::string StopSignals::take() {
    if (!installed_ || !g_pending.exchange(false)) {
        return {};
    }
    return eventName(g_lastEvent.load());
}

void StopSignals::finished() {
    if (g_finished != nullptr) {
        SetEvent(g_finished);
    }
}

}  // namespace kvu
