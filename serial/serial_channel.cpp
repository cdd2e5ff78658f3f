#include "serial/serial_channel.h"

#include "logging/log_format.h"

#include <spdlog/spdlog.h>

#include <algorithm>
#include <system_error>

namespace kvu {

namespace {

constexpr const char* kInitSerial = "CKVUUtilityDlg::InitSerial";
constexpr const char* kUninitSerial = "CKVUUtilityDlg::UninitSerial";
constexpr const char* kSendData = "CKVUUtilityDlg::SendData";
constexpr const char* kStartRecvThread = "CKVUUtilityDlg::StartRecvThread";
constexpr const char* kStopRecvThread = "CKVUUtilityDlg::StopRecvThread";
constexpr const char* kRecvThread = "CKVUUtilityDlg::RecvThread";
constexpr const char* kRecvThreadTerminate = "CKVUUtilityDlg::RecvThreadTerminate";
constexpr const char* kExchange = "CKVUUtilityDlg::Exchange";

// The channel whose receive thread is the current thread, if any: joining from there would
// deadlock, so the owner-side calls refuse to run on it.
thread_local const SerialChannel* tReceiveOwner = nullptr;

QString applyMask(const SerialChannel::MaskHook& mask, const QString& text) {
    return mask ? mask(text) : text;
}

}  // namespace

SerialChannel::SerialChannel() = default;

SerialChannel::~SerialChannel() {
    if (tReceiveOwner != this)
        stopRecvThread();
}

void SerialChannel::setParseHook(ParseHook hook) {
    std::lock_guard lock(mutex_);
    parse_ = std::move(hook);
}

void SerialChannel::setMaskForLog(MaskHook hook) {
    std::lock_guard lock(mutex_);
    mask_ = std::move(hook);
}

void SerialChannel::setLinkLostHook(LinkLostHook hook) {
    std::lock_guard lock(mutex_);
    linkLost_ = std::move(hook);
}

void SerialChannel::setWaitPump(WaitPump pump) {
    std::lock_guard lock(mutex_);
    pump_ = std::move(pump);
}

void SerialChannel::setWriteStallLimit(std::chrono::milliseconds limit) {
    std::lock_guard lock(ioMutex_);
    writeStallLimit_ = limit;
}

bool SerialChannel::initSerial(const QString& port) {
    spdlog::debug("{}", kInitSerial);
    if (tReceiveOwner == this) {
        spdlog::error("{} called on the receive thread", kInitSerial);
        return false;
    }
    // A new connection starts from nothing: no old thread, no old port.
    stopThread();
    closePort();

    {
        std::lock_guard lock(mutex_);
        comPort_ = port;
        lastError_.clear();
        permissionDenied_ = false;
        busy_ = false;
    }
    OpenResult opened;
    {
        std::lock_guard lock(ioMutex_);
        opened = port_.open(port.toStdString());
    }
    switch (opened.step) {
        case OpenStep::Done:
            return true;
        case OpenStep::Open: {
            const QString message = QString::fromStdString(opened.systemMessage);
            {
                std::lock_guard lock(mutex_);
                lastError_ = message;
                permissionDenied_ = opened.permissionDenied;
                busy_ = opened.busy;
            }
            spdlog::error("{} {} CreateFile Failure.", kInitSerial, port);
            spdlog::debug("{} {} {}", kInitSerial, port, message);
            return false;
        }
        case OpenStep::GetState:
            spdlog::error("{} GetCommState Error.", kInitSerial);
            return false;
        case OpenStep::SetState:
            spdlog::error("{} SetComState Error.", kInitSerial);
            return false;
        case OpenStep::GetTimeouts:
            spdlog::error("{} GetCommTimeouts Error.", kInitSerial);
            return false;
        case OpenStep::SetTimeouts:
            spdlog::error("{} SetCommTimeouts Error.", kInitSerial);
            return false;
    }
    return false;
}

void SerialChannel::uninitSerial() {
    // Closing under a running reader would leave it polling a dead descriptor.
    if (tReceiveOwner != this && recvThread_.joinable())
        stopThread();
    spdlog::debug("{}", kUninitSerial);
    closePort();
}

void SerialChannel::closePort() {
    std::lock_guard lock(ioMutex_);
    port_.close();
}

void SerialChannel::joinThread() {
    if (recvThread_.joinable())
        recvThread_.join();
}

void SerialChannel::stopThread() {
    stopRequested_ = true;
    {
        std::lock_guard lock(ioMutex_);
        port_.cancelRead();
    }
    joinThread();
}

bool SerialChannel::startRecvThread() {
    spdlog::debug("{}", kStartRecvThread);
    if (tReceiveOwner == this) {
        spdlog::error("{} called on the receive thread", kStartRecvThread);
        return false;
    }
    if (running_)
        return true;
    joinThread();  // a thread that ended on its own is still to be reaped
    stopRequested_ = false;
    {
        std::lock_guard lock(mutex_);
        receiving_ = true;
    }
    running_ = true;
    try {
        recvThread_ = std::thread([this] { recvLoop(); });
    } catch (const std::system_error&) {
        running_ = false;
        {
            std::lock_guard lock(mutex_);
            receiving_ = false;
        }
        spdlog::error("{} AfxBeginThread Error.", kStartRecvThread);
        return false;
    }
    return true;
}

void SerialChannel::stopRecvThread() {
    spdlog::debug("{}", kStopRecvThread);
    if (tReceiveOwner == this) {
        stopRequested_ = true;  // the loop sees the flag when the current call returns
        return;
    }
    stopThread();
    if (isOpen())
        uninitSerial();
}

void SerialChannel::recvLoop() {
    tReceiveOwner = this;
    char chunk[kReadChunk];
    for (;;) {
        if (stopRequested_)
            break;
        const ReadResult got = port_.read(chunk, sizeof chunk);
        if (got.status == ReadStatus::Broken)
            break;
        if (got.status == ReadStatus::Data) {
            if (stopRequested_)
                break;  // what was read during shutdown is not wanted
            appendChunk(chunk, got.count);
        }
    }
    recvThreadTerminate();
    tReceiveOwner = nullptr;
}

void SerialChannel::appendChunk(const char* data, std::size_t size) {
    // One byte, one character (Latin-1); NUL bytes are line noise and dropped.
    QString text;
    text.reserve(static_cast<qsizetype>(size));
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        if (byte != 0)
            text.append(QChar(byte));
    }
    if (text.isEmpty())
        return;

    std::lock_guard lock(mutex_);
    const qsizetype room = kReceiveCap - recvData_.size();
    if (text.size() > room) {
        // A babbling line must not grow the buffer or the parse cost without end: keep the
        // start of the reply, drop the rest until the next exchange empties the buffer.
        if (!overflowLogged_) {
            spdlog::error("{} receive buffer full, text dropped", kRecvThread);
            overflowLogged_ = true;
        }
        if (room <= 0)
            return;
        text.truncate(room);
    }
    recvData_ += text;
    if (spdlog::should_log(spdlog::level::debug))
        spdlog::debug("{} [{}]", kRecvThread, applyMask(mask_, recvData_));

    // Once complete, a reply stays as it was: late text is kept but not interpreted again.
    if (replyComplete_ || !parse_)
        return;
    if (parse_(currentCmd_, recvData_)) {
        replyComplete_ = true;
        completedSeq_ = exchangeSeq_;
        completedReply_ = recvData_;
        completedLength_ = recvData_.size();
        replyArrived_.notify_all();
    }
}

void SerialChannel::recvThreadTerminate() {
    spdlog::debug("{}", kRecvThreadTerminate);
    spdlog::debug("{}", kUninitSerial);
    closePort();
    LinkLostHook lost;
    {
        std::lock_guard lock(mutex_);
        receiving_ = false;
        replyArrived_.notify_all();
        lost = linkLost_;
    }
    const bool stopped = stopRequested_;
    running_ = false;
    if (!stopped && lost)
        lost();
}

bool SerialChannel::sendData(const QString& cmd) {
    MaskHook mask;
    {
        std::lock_guard lock(mutex_);
        mask = mask_;
    }
    const bool ascii =
        std::all_of(cmd.begin(), cmd.end(), [](QChar c) { return c.unicode() <= 0x7F; });
    if (!ascii) {
        spdlog::error("{} non-ASCII command refused [{}]", kSendData, applyMask(mask, cmd));
        return false;
    }

    const QByteArray bytes = cmd.toLatin1();
    const auto size = static_cast<std::size_t>(bytes.size());
    bool written = false;
    bool stalled = false;
    if (size > 0) {
        std::lock_guard lock(ioMutex_);
        using Clock = std::chrono::steady_clock;
        auto giveUpAt = Clock::now() + writeStallLimit_;
        std::size_t sent = 0;
        for (;;) {
            const long n = port_.write(bytes.constData() + sent, size - sent);
            if (n < 0)
                break;
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                if (sent == size) {
                    written = true;
                    break;
                }
                giveUpAt = Clock::now() + writeStallLimit_;
                continue;
            }
            // The line takes nothing now (flow control, full queue): wait, but not for ever.
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(giveUpAt - Clock::now());
            if (left.count() <= 0) {
                stalled = true;
                break;
            }
            port_.waitWritable(static_cast<int>(std::min<long long>(left.count(), 100)));
        }
    }
    if (stalled)
        spdlog::error("{} write time-out [{}]", kSendData, applyMask(mask, cmd));
    spdlog::debug("{} [{}]", kSendData, applyMask(mask, cmd));
    return written;
}

ExchangeResult SerialChannel::exchange(const QString& cmd, std::chrono::milliseconds timeout,
                                       bool keepLateText) {
    std::uint64_t seq = 0;
    if (!keepLateText) {
        // Whatever arrived before the command went out cannot be part of its reply.
        std::lock_guard lock(ioMutex_);
        port_.flushInput();
    }
    {
        std::lock_guard lock(mutex_);
        if (keepLateText && replyComplete_)
            recvData_.remove(0, completedLength_);
        else
            recvData_.clear();
        currentCmd_ = cmd;
        seq = ++exchangeSeq_;
        replyComplete_ = false;
        overflowLogged_ = false;
        completedReply_.clear();
    }
    if (!sendData(cmd))
        return {ExchangeStatus::SendFailed, {}};

    // The completion is matched by sequence number, so one that came before this wait began
    // still counts, and one meant for an earlier exchange never does.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (completedSeq_ == seq)
            return {ExchangeStatus::Completed, completedReply_};
        if (!receiving_) {
            spdlog::error("{} link lost [{}]", kExchange, applyMask(mask_, cmd));
            return {ExchangeStatus::LinkLost, recvData_};
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            spdlog::error("{} wait time-out [{}]", kExchange, applyMask(mask_, cmd));
            return {ExchangeStatus::TimedOut, recvData_};
        }
        if (!pump_) {
            replyArrived_.wait_until(lock, deadline);
            continue;
        }
        replyArrived_.wait_until(lock, std::min(deadline, now + kPumpInterval));
        const WaitPump pump = pump_;
        lock.unlock();
        pump();
        lock.lock();
    }
}

QString SerialChannel::comPort() const {
    std::lock_guard lock(mutex_);
    return comPort_;
}

QString SerialChannel::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

bool SerialChannel::lastOpenWasPermissionDenied() const {
    std::lock_guard lock(mutex_);
    return permissionDenied_;
}

bool SerialChannel::lastOpenWasBusy() const {
    std::lock_guard lock(mutex_);
    return busy_;
}

bool SerialChannel::isOpen() const {
    std::lock_guard lock(ioMutex_);
    return port_.isOpen();
}

bool SerialChannel::isRunning() const {
    return running_;
}

bool SerialChannel::waitForLineEnd(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return replyArrived_.wait_for(lock, timeout, [this] { return !receiving_; });
}

QString SerialChannel::receiveBuffer() const {
    std::lock_guard lock(mutex_);
    return recvData_;
}

QString SerialChannel::currentCommand() const {
    std::lock_guard lock(mutex_);
    return currentCmd_;
}

}  // namespace kvu
