#include "ui/win32_window_messages.h"

#include <windows.h>

// After windows.h, whose types it uses.
#include <dbt.h>

namespace kvu::win {

namespace {

// The port name of an arrival broadcast; empty for any other kind of device.
std::wstring arrivedPortOf(WPARAM event, LPARAM data) {
    if (event != DBT_DEVICEARRIVAL || data == 0) {
        return {};
    }
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (header->dbch_devicetype != DBT_DEVTYP_PORT) {
        return {};
    }
    return reinterpret_cast<const DEV_BROADCAST_PORT_W*>(data)->dbcp_name;
}

}  // namespace

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
        decoded.removeComplete = message->wParam == DBT_DEVICEREMOVECOMPLETE;
        decoded.arrivedPort = arrivedPortOf(message->wParam, message->lParam);
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
