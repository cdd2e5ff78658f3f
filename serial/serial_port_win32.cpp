// Windows serial port: synchronous handle I/O with the comm time-outs doing the waiting (a read
// returns after at most 100 ms), so the receive loop sees its stop flag without extra events.
#include "serial/serial_port.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>

namespace kvu {

namespace {

std::wstring widen(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string narrow(const wchar_t* wide, int length) {
    if (length <= 0)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, length, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

// The system's English (United States) text for an error code.
std::string englishMessage(DWORD error) {
    LPWSTR text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, error, 0x0409, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string message = narrow(text, static_cast<int>(length));
    if (text)
        LocalFree(text);
    return message;
}

HANDLE openPort(const std::wstring& name) {
    return CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

struct SerialPort::Handle {
    HANDLE port = INVALID_HANDLE_VALUE;
    std::atomic<bool> cancelled{false};
};

SerialPort::SerialPort() : handle_(std::make_unique<Handle>()) {}

SerialPort::~SerialPort() {
    close();
}

OpenResult SerialPort::open(const std::string& name) {
    close();
    const std::wstring wide = widen(name);
    HANDLE port = openPort(wide);
    if (port == INVALID_HANDLE_VALUE)
        port = openPort(L"\\\\.\\" + wide);  // two-digit ports need the device namespace
    if (port == INVALID_HANDLE_VALUE) {
        OpenResult result;
        result.step = OpenStep::Open;
        result.systemMessage = englishMessage(GetLastError());
        // A port held by another program also answers "access denied" here, and the program
        // runs elevated, so this is no hint about missing rights.
        result.permissionDenied = false;
        return result;
    }

    auto giveUp = [&port](OpenStep step) {
        CloseHandle(port);
        OpenResult result;
        result.step = step;
        return result;
    };

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb))
        return giveUp(OpenStep::GetState);
    PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = TRUE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = TRUE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    if (!SetCommState(port, &dcb))
        return giveUp(OpenStep::SetState);

    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(port, &timeouts))
        return giveUp(OpenStep::GetTimeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = kReadTimeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 10;
    if (!SetCommTimeouts(port, &timeouts))
        return giveUp(OpenStep::SetTimeouts);

    EscapeCommFunction(port, SETRTS);
    handle_->port = port;
    handle_->cancelled = false;
    OpenResult done;
    done.step = OpenStep::Done;
    return done;
}

bool SerialPort::isOpen() const {
    return handle_->port != INVALID_HANDLE_VALUE;
}

long SerialPort::write(const char* data, std::size_t size) {
    if (handle_->port == INVALID_HANDLE_VALUE)
        return -1;
    DWORD written = 0;
    if (!WriteFile(handle_->port, data, static_cast<DWORD>(size), &written, nullptr))
        return -1;
    return static_cast<long>(written);  // 0 after the 10 ms write time-out
}

bool SerialPort::waitWritable(int timeoutMs) {
    // No readiness wait for comm handles; the next write's own 10 ms time-out paces retries.
    if (handle_->port == INVALID_HANDLE_VALUE)
        return false;
    Sleep(static_cast<DWORD>(timeoutMs < 10 ? timeoutMs : 10));
    return true;
}

ReadResult SerialPort::read(char* buffer, std::size_t capacity) {
    ReadResult result;
    if (handle_->port == INVALID_HANDLE_VALUE) {
        result.status = ReadStatus::Broken;
        return result;
    }
    if (handle_->cancelled.exchange(false))
        return result;
    DWORD got = 0;
    if (!ReadFile(handle_->port, buffer, static_cast<DWORD>(capacity), &got, nullptr)) {
        if (GetLastError() == ERROR_OPERATION_ABORTED && handle_->cancelled.exchange(false))
            return result;
        DWORD errors = 0;
        COMSTAT status{};
        ClearCommError(handle_->port, &errors, &status);
        result.status = ReadStatus::Broken;
        return result;
    }
    if (got > 0) {
        result.status = ReadStatus::Data;
        result.count = got;
    }
    return result;
}

void SerialPort::cancelRead() {
    if (handle_->port == INVALID_HANDLE_VALUE)
        return;
    // Ends a pending read early where the driver allows it; the 100 ms read time-out bounds
    // the wait in any case.
    handle_->cancelled = true;
    CancelIoEx(handle_->port, nullptr);
}

void SerialPort::close() {
    if (handle_->port != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_->port);
        handle_->port = INVALID_HANDLE_VALUE;
    }
}

}  // namespace kvu
