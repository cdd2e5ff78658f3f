// Windows serial port: overlapped I/O. A read waits for the port's arrival and error events
// together with a stop event, then takes what has arrived with time-outs that return at once, so
// a reply is handed on as it comes, a stop wakes the reader at once and, with a driver that keeps
// its waits, an idle line costs no wake-ups.
#include "serial/serial_port.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>

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
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
}

// What wakes a waiting read: a received character, or a line error (cleared before the next
// read, or it would make the reads fail). The loss of the device needs no event of its own: the
// pending wait then fails and the port stops answering, which ends the read as a break.
constexpr DWORD kWakeEvents = EV_RXCHAR | EV_ERR;

// The pause before waiting again after a wait that ended without an event while the port still
// answers. Real drivers do that only after a purge or a mask change; Wine on a pseudo-terminal
// does it about a millisecond into every wait (the pty refuses the modem-status call Wine polls),
// and the pause keeps such a driver from making the reader spin.
constexpr DWORD kRewaitPauseMs = 1;

void closeEvent(HANDLE& event) {
    if (event != nullptr) {
        CloseHandle(event);
        event = nullptr;
    }
}

}  // namespace

struct SerialPort::Handle {
    HANDLE port = INVALID_HANDLE_VALUE;
    // One event per kind of overlapped call: the reader waits and reads while another thread
    // writes, and a shared event would wake the wrong one.
    HANDLE arrival = nullptr;   // manual-reset, for WaitCommEvent
    HANDLE received = nullptr;  // manual-reset, for ReadFile
    HANDLE sent = nullptr;      // manual-reset, for WriteFile
    HANDLE stop = nullptr;      // auto-reset: set by cancelRead(), taken by the read it ends
};

namespace {

// Reads what the driver holds; -1 on an error. Only called with bytes queued: with nothing
// there, Wine's overlapped ReadFile waits for data in spite of the time-outs.
long readNow(HANDLE port, HANDLE event, char* buffer, DWORD count) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    if (!ReadFile(port, buffer, count, nullptr, &overlapped) && GetLastError() != ERROR_IO_PENDING)
        return -1;
    DWORD got = 0;
    if (!GetOverlappedResult(port, &overlapped, &got, TRUE))
        return -1;
    return static_cast<long>(got);
}

// The bytes waiting in the driver; clears a line error on the way, so that the next read works.
// False when the port no longer answers (the device is gone).
bool queued(HANDLE port, DWORD& bytes) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port, &errors, &status))
        return false;
    bytes = status.cbInQue;
    return true;
}

enum class Wake { Arrival, Stop, Aborted, Broken };

// Waits for an arrival or error event, or the stop event, without a time-out.
Wake waitForArrival(HANDLE port, HANDLE arrival, HANDLE stop) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = arrival;
    DWORD events = 0;
    if (WaitCommEvent(port, &events, &overlapped))
        return events != 0 ? Wake::Arrival : Wake::Aborted;
    if (GetLastError() != ERROR_IO_PENDING)
        return Wake::Aborted;

    // A character that came between the last look at the queue and the start of this wait may
    // be in the driver's event history, or not: look once more before sleeping.
    DWORD bytes = 0;
    const bool alive = queued(port, bytes);
    DWORD which = WAIT_OBJECT_0;
    if (alive && bytes == 0) {
        HANDLE both[2] = {arrival, stop};
        which = WaitForMultipleObjects(2, both, FALSE, INFINITE);
    }
    if (!alive || bytes > 0 || which != WAIT_OBJECT_0) {
        // The wait must be over before its OVERLAPPED goes out of scope. A new mask ends it on
        // every driver (Wine's wait ignores CancelIoEx); the cancel covers the rest.
        SetCommMask(port, kWakeEvents);
        CancelIoEx(port, &overlapped);
        DWORD ignored = 0;
        GetOverlappedResult(port, &overlapped, &ignored, TRUE);
        if (!alive || which == WAIT_FAILED)
            return Wake::Broken;
        return bytes > 0 ? Wake::Arrival : Wake::Stop;
    }
    // A failed wait, or one with no event (the mask was reset), may be the device going away
    // under it: the caller's next look at the queue tells. An error event is cleared there.
    DWORD ignored = 0;
    if (!GetOverlappedResult(port, &overlapped, &ignored, FALSE) || events == 0)
        return Wake::Aborted;
    return Wake::Arrival;
}

}  // namespace

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
        const DWORD error = GetLastError();
        OpenResult result;
        result.step = OpenStep::Open;
        result.systemMessage = englishMessage(error);
        // A port held by another program answers "access denied" here, and the program runs
        // elevated, so this is no hint about missing rights but about the port being in use.
        result.permissionDenied = false;
        result.busy = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
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
    // A read returns at once with what is there; the arrival events do the waiting.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 10;
    if (!SetCommTimeouts(port, &timeouts))
        return giveUp(OpenStep::SetTimeouts);
    // The event mask belongs to how reads wait, so its failure is reported with the time-outs.
    if (!SetCommMask(port, kWakeEvents))
        return giveUp(OpenStep::SetTimeouts);

    Handle& h = *handle_;
    h.arrival = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    h.received = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    h.sent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    h.stop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!h.arrival || !h.received || !h.sent || !h.stop) {
        const DWORD error = GetLastError();
        close();
        CloseHandle(port);
        OpenResult result;
        result.step = OpenStep::Open;
        result.systemMessage = englishMessage(error);
        return result;
    }

    EscapeCommFunction(port, SETRTS);
    h.port = port;
    OpenResult done;
    done.step = OpenStep::Done;
    return done;
}

bool SerialPort::isOpen() const {
    return handle_->port != INVALID_HANDLE_VALUE;
}

long SerialPort::write(const char* data, std::size_t size) {
    Handle& h = *handle_;
    if (h.port == INVALID_HANDLE_VALUE)
        return -1;
    OVERLAPPED overlapped{};
    overlapped.hEvent = h.sent;
    if (!WriteFile(h.port, data, static_cast<DWORD>(size), nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING)
        return -1;
    DWORD written = 0;
    if (!GetOverlappedResult(h.port, &overlapped, &written, TRUE))
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
    Handle& h = *handle_;
    ReadResult result;
    if (h.port == INVALID_HANDLE_VALUE) {
        result.status = ReadStatus::Broken;
        return result;
    }
    auto broken = [&h, &result] {
        DWORD errors = 0;
        COMSTAT status{};
        ClearCommError(h.port, &errors, &status);
        result.status = ReadStatus::Broken;
        return result;
    };
    for (;;) {
        if (WaitForSingleObject(h.stop, 0) == WAIT_OBJECT_0)
            return result;
        DWORD bytes = 0;
        if (!queued(h.port, bytes))
            return broken();
        if (bytes > 0) {
            const DWORD count = static_cast<DWORD>(std::min<std::size_t>(bytes, capacity));
            const long got = readNow(h.port, h.received, buffer, count);
            if (got < 0)
                return broken();
            if (got > 0) {
                result.status = ReadStatus::Data;
                result.count = static_cast<std::size_t>(got);
                return result;
            }
            continue;
        }
        switch (waitForArrival(h.port, h.arrival, h.stop)) {
            case Wake::Arrival:
                break;
            case Wake::Stop:
                return result;
            case Wake::Broken:
                return broken();
            case Wake::Aborted:
                if (!queued(h.port, bytes))
                    return broken();  // the device is gone
                if (bytes == 0 && WaitForSingleObject(h.stop, kRewaitPauseMs) == WAIT_OBJECT_0)
                    return result;
                break;
        }
    }
}

void SerialPort::cancelRead() {
    if (handle_->stop != nullptr)
        SetEvent(handle_->stop);
}

void SerialPort::flushInput() {
    if (handle_->port != INVALID_HANDLE_VALUE)
        PurgeComm(handle_->port, PURGE_RXCLEAR);
}

void SerialPort::close() {
    Handle& h = *handle_;
    if (h.port != INVALID_HANDLE_VALUE) {
        CloseHandle(h.port);
        h.port = INVALID_HANDLE_VALUE;
    }
    closeEvent(h.arrival);
    closeEvent(h.received);
    closeEvent(h.sent);
    closeEvent(h.stop);
}

}  // namespace kvu
