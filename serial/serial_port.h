// The operating system's serial port behind one small interface: open and configure the line for
// the device, write, wait-and-read, cancel a pending read, close. No logging and no Qt here.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace kvu {

// Which step of opening the port failed; the channel turns it into its log line.
enum class OpenStep {
    Done,         // open and configured
    Open,         // the device could not be opened (both attempts)
    GetState,     // reading the line settings
    SetState,     // applying the line settings
    GetTimeouts,  // reading the read time-outs
    SetTimeouts,  // applying the read time-outs
};

struct OpenResult {
    OpenStep step = OpenStep::Open;
    std::string systemMessage;      // English system text of the failure (UTF-8)
    bool permissionDenied = false;  // the open failed for lack of access rights
    bool busy = false;              // another program (or another of ours) holds the port
    bool ok() const { return step == OpenStep::Done; }
};

enum class ReadStatus {
    Data,     // count bytes were read
    Timeout,  // the wait was cancelled or interrupted; nothing was read
    Broken,   // the line is gone (hang-up, device removed, read error)
};

struct ReadResult {
    ReadStatus status = ReadStatus::Timeout;
    std::size_t count = 0;
};

// Reads may run on one thread while writes and cancelRead() run on another; open() and close()
// must not overlap any other call (the channel serialises them).
class SerialPort {
  public:
    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // 9600 baud, 8 data bits, 1 stop bit, parity as found, RTS/CTS flow control, raw, exclusive.
    OpenResult open(const std::string& name);
    bool isOpen() const;
    // Bytes written (possibly fewer than size, possibly 0 when the line does not take more now),
    // or -1 on an error.
    long write(const char* data, std::size_t size);
    // Waits up to timeoutMs until the line takes more output; false on time-out or error.
    bool waitWritable(int timeoutMs);
    // Waits without a time-out and reads at most capacity bytes. The wait ends only when data
    // arrives, the line breaks or cancelRead() is called, so an idle line costs no wake-ups.
    ReadResult read(char* buffer, std::size_t capacity);
    // Makes a pending or the next read() return Timeout at once; nothing else ends an idle wait.
    void cancelRead();
    // Drops what the line has received and not yet been read.
    void flushInput();
    void close();

  private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

}  // namespace kvu
