// The serial link to the device: opens the port, writes command lines, runs the receive thread
// that collects the reply text and hands it to the parser, and waits for one reply at a time.
#pragma once

#include "serial/serial_port.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace kvu {

enum class ExchangeStatus {
    Completed,   // the parser said the reply is complete
    SendFailed,  // the command could not be written; nothing was awaited
    TimedOut,    // no complete reply within the time-out
    LinkLost,    // the receive thread ended while waiting
};

struct ExchangeResult {
    ExchangeStatus status = ExchangeStatus::SendFailed;
    QString reply;  // the receive buffer when the reply completed (or when the wait ended)
};

class SerialChannel {
  public:
    // Runs on the receive thread after every chunk, under the channel's lock; true when the
    // buffer holds the complete reply to currentCmd. It may store values meanwhile.
    using ParseHook = std::function<bool(const QString& currentCmd, const QString& buffer)>;
    // Applied to every command and buffer text before it is logged.
    using MaskHook = std::function<QString(const QString&)>;
    // Runs on the receive thread, once, when the thread ends on its own (the line broke). It must
    // not wait for the thread that owns the channel.
    using LinkLostHook = std::function<void()>;
    // Runs on the waiting thread every kPumpInterval while an exchange waits, lock not held.
    using WaitPump = std::function<void()>;

    static constexpr std::size_t kReadChunk = 1024;
    // Text beyond this is dropped until the next exchange empties the buffer.
    static constexpr qsizetype kReceiveCap = 64 * 1024;
    static constexpr std::chrono::milliseconds kPumpInterval{15};
    static constexpr std::chrono::milliseconds kDefaultWriteStallLimit{2000};

    SerialChannel();
    // Stops the receive thread; must not run on that thread (not from a hook).
    ~SerialChannel();
    SerialChannel(const SerialChannel&) = delete;
    SerialChannel& operator=(const SerialChannel&) = delete;

    // Hooks are set before startRecvThread.
    void setParseHook(ParseHook hook);
    void setMaskForLog(MaskHook hook);
    void setLinkLostHook(LinkLostHook hook);
    void setWaitPump(WaitPump pump);
    // How long sendData keeps retrying a line that takes no bytes.
    void setWriteStallLimit(std::chrono::milliseconds limit);

    bool initSerial(const QString& port);
    void uninitSerial();
    bool startRecvThread();
    // Stops and joins the receive thread and closes the port; safe when nothing runs. Does not
    // call the link-lost hook.
    void stopRecvThread();
    bool sendData(const QString& cmd);

    // Empties the buffer (and what the port holds unread), sets the command in progress, sends it
    // and waits for its reply. With keepLateText the text that came after the last reply was
    // complete stays in front of the new one, for the parser to place.
    ExchangeResult exchange(const QString& cmd, std::chrono::milliseconds timeout,
                            bool keepLateText = false);

    QString comPort() const;
    QString lastError() const;
    bool lastOpenWasPermissionDenied() const;
    bool lastOpenWasBusy() const;
    bool isOpen() const;
    bool isRunning() const;
    // Waits up to `timeout` for the receive side to end (the line broke, or a stop); true when
    // it has. A write into a pulled line can fail before the receive thread has seen the loss.
    bool waitForLineEnd(std::chrono::milliseconds timeout) const;
    QString receiveBuffer() const;
    QString currentCommand() const;

  private:
    void recvLoop();
    void recvThreadTerminate();
    void closePort();
    void joinThread();
    void stopThread();
    void appendChunk(const char* data, std::size_t size);

    // The port: opening, closing, writing and cancelling are serialised by ioMutex_. Reads run
    // on the receive thread unlocked; the port is closed only there or while no thread runs.
    SerialPort port_;
    mutable std::mutex ioMutex_;
    std::chrono::milliseconds writeStallLimit_ = kDefaultWriteStallLimit;

    // Everything below is guarded by mutex_.
    mutable std::mutex mutex_;
    mutable std::condition_variable replyArrived_;
    QString comPort_;
    QString lastError_;
    bool permissionDenied_ = false;
    bool busy_ = false;
    QString recvData_;
    QString currentCmd_;
    std::uint64_t exchangeSeq_ = 0;   // the exchange the buffer belongs to
    std::uint64_t completedSeq_ = 0;  // the last exchange whose reply completed
    QString completedReply_;
    qsizetype completedLength_ = 0;  // the buffer's size when its reply completed
    bool replyComplete_ = false;     // the current exchange's reply is complete
    bool overflowLogged_ = false;
    bool receiving_ = false;  // a receive thread is reading the port
    ParseHook parse_;
    MaskHook mask_;
    LinkLostHook linkLost_;
    WaitPump pump_;

    // Owned by the thread that calls Start/Stop; the receive thread never touches it.
    std::thread recvThread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> running_{false};
};

}  // namespace kvu
