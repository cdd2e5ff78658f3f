// The window's own Win32 messages, decoded without Qt: the About item of the system menu, the
// device-change notice and the end of the session. Only Windows builds this.
#pragma once

#include <cstdint>
#include <string>

namespace kvu::win {

enum class WindowMessageKind { Other, AboutCommand, DeviceChange, QueryEndSession, EndSession };

struct WindowMessage {
    WindowMessageKind kind = WindowMessageKind::Other;
    bool removeComplete = false;  // DeviceChange: the event is DBT_DEVICEREMOVECOMPLETE
    std::wstring arrivedPort;     // DeviceChange: the port of a DBT_DEVICEARRIVAL, e.g. COM5
    bool sessionEnding = false;   // EndSession: the session really ends (not cancelled)
};

// Adds a separator and the About item with this command id to the window's system menu.
void appendAboutItem(void* hwnd, unsigned commandId, const wchar_t* text);

// `msg` is the MSG that the native event filter hands over.
WindowMessage decodeWindowMessage(const void* msg, unsigned aboutCommandId);

// What the window procedure returns for a device change: TRUE for every event.
std::intptr_t deviceChangeResult();

// What the window procedure returns for WM_QUERYENDSESSION: TRUE, the session may end.
std::intptr_t queryEndSessionResult();

}  // namespace kvu::win
