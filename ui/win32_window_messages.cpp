#include "ui/win32_window_messages.h"

#include <windows.h>

namespace kvu::win {

namespace {
constexpr WPARAM kDeviceRemoveComplete = 0x8004;  // DBT_DEVICEREMOVECOMPLETE, without dbt.h
}

void appendAboutItem(void* hwnd, unsigned commandId, const wchar_t* text) {
    HMENU systemMenu = ::GetSystemMenu(static_cast<HWND>(hwnd), FALSE);
    if (systemMenu != nullptr) {
        ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(systemMenu, MF_STRING, commandId, text);
    }
}

WindowMessage decodeWindowMessage(const void* msg, unsigned aboutCommandId) {
    const MSG* message = static_cast<const MSG*>(msg);
    WindowMessage decoded;
    if (message->message == WM_SYSCOMMAND && (message->wParam & 0xFFF0) == aboutCommandId) {
        decoded.kind = WindowMessageKind::AboutCommand;
    } else if (message->message == WM_DEVICECHANGE) {
        decoded.kind = WindowMessageKind::DeviceChange;
        decoded.removeComplete = message->wParam == kDeviceRemoveComplete;
    } else if (message->message == WM_QUERYENDSESSION) {
        decoded.kind = WindowMessageKind::QueryEndSession;
    } else if (message->message == WM_ENDSESSION) {
        decoded.kind = WindowMessageKind::EndSession;
        decoded.sessionEnding = message->wParam != FALSE;
    }
    return decoded;
}

std::intptr_t deviceChangeResult() {
    return TRUE;
}

std::intptr_t queryEndSessionResult() {
    return TRUE;
}

}  // namespace kvu::win
