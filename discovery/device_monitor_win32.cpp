// Windows device monitor: a message-only window registered for the COM-port interface class.
// Its notices come as window messages to the thread that opened it, are kept, and an event tells
// the waiter that some are pending. A top-level window gets DBT_DEVTYP_PORT broadcasts anyway;
// this serves front ends without one.
#include "discovery/device_monitor.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// After windows.h, whose types it uses.
#include <dbt.h>

namespace kvu {

namespace {

// GUID_DEVINTERFACE_COMPORT, without the driver headers that define it.
constexpr GUID kComPortInterface = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
constexpr const wchar_t* kWindowClass = L"KvuDeviceMonitor";

std::string narrow(const wchar_t* wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), n, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(n - 1));
    return utf8;
}

std::string englishMessage(DWORD error) {
    LPWSTR text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, error, 0x0409, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string message = text != nullptr ? narrow(text) : std::string();
    if (text != nullptr)
        LocalFree(text);
    return message;
}

// What the window procedure fills and takeArrivals() empties; both run on the opening thread.
struct Pending {
    std::vector<std::string> ports;
    HANDLE ready = nullptr;  // manual-reset: set while ports are pending
};

LRESULT CALLBACK monitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE && wParam == DBT_DEVICEARRIVAL && lParam != 0) {
        auto* pending = reinterpret_cast<Pending*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
        std::string name;
        if (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
            name =
                narrow(reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam)->dbcc_name);
        } else if (header->dbch_devicetype == DBT_DEVTYP_PORT) {
            name = narrow(reinterpret_cast<const DEV_BROADCAST_PORT_W*>(lParam)->dbcp_name);
        }
        if (pending != nullptr && !name.empty()) {
            pending->ports.push_back(name);
            SetEvent(pending->ready);
        }
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

struct DeviceMonitor::Handle {
    HWND window = nullptr;
    HDEVNOTIFY notification = nullptr;
    Pending pending;
};

DeviceMonitor::DeviceMonitor() : handle_(std::make_unique<Handle>()) {}

DeviceMonitor::~DeviceMonitor() {
    close();
}

MonitorOpenResult DeviceMonitor::open() {
    close();
    MonitorOpenResult result;
    auto giveUp = [this, &result] {
        result.status = MonitorStatus::Failed;
        result.systemMessage = englishMessage(GetLastError());
        close();
        return result;
    };
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = monitorProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return giveUp();

    Handle& h = *handle_;
    h.pending.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (h.pending.ready == nullptr)
        return giveUp();
    h.window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                               nullptr);
    if (h.window == nullptr)
        return giveUp();
    SetWindowLongPtrW(h.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&h.pending));

    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kComPortInterface;
    h.notification = RegisterDeviceNotificationW(h.window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (h.notification == nullptr)
        return giveUp();
    result.status = MonitorStatus::Open;
    return result;
}

bool DeviceMonitor::isOpen() const {
    return handle_->notification != nullptr;
}

std::intptr_t DeviceMonitor::waitable() const {
    return isOpen() ? reinterpret_cast<std::intptr_t>(handle_->pending.ready) : -1;
}

std::vector<std::string> DeviceMonitor::takeArrivals() {
    std::vector<std::string> ports;
    ports.swap(handle_->pending.ports);
    if (handle_->pending.ready != nullptr)
        ResetEvent(handle_->pending.ready);
    return ports;
}

void DeviceMonitor::close() {
    Handle& h = *handle_;
    if (h.notification != nullptr) {
        UnregisterDeviceNotification(h.notification);
        h.notification = nullptr;
    }
    if (h.window != nullptr) {
        DestroyWindow(h.window);
        h.window = nullptr;
    }
    if (h.pending.ready != nullptr) {
        CloseHandle(h.pending.ready);
        h.pending.ready = nullptr;
    }
    h.pending.ports.clear();
}

}  // namespace kvu
