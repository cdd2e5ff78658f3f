#include "device/device_session.h"

#include <spdlog/spdlog.h>

#include <thread>

#include "logging/log_format.h"
#include "protocol/commands.h"
#include "protocol/log_masking.h"
#include "protocol/parser_log.h"
#include "protocol/response_parser.h"

namespace kvu::protocol {

namespace {

constexpr const char* kQueryKvuVer = "CKVUUtilityDlg::QueryKvuVer";
constexpr const char* kGetInfo = "CKVUUtilityDlg::get_APN_WIFI_info";
constexpr const char* kEraseInfo = "CKVUUtilityDlg::fe_APN_WIFI_info";
constexpr const char* kSetInfo = "CKVUUtilityDlg::set_APN_WIFI_info";

}  // namespace

DeviceSession::DeviceSession(SerialChannel& channel, ExchangeTimeouts timeouts)
    : channel_(channel), timeouts_(timeouts) {
    channel_.setParseHook(
        [this](const QString& cmd, const QString& buffer) { return parseRecvData(cmd, buffer); });
    channel_.setMaskForLog([](const QString& text) { return maskSecretsForLog(text); });
}

bool DeviceSession::parseRecvData(const QString& currentCmd, const QString& buffer) {
    QString text = buffer;
    {
        // A reply that completed at its CR (a repeated set line) is followed by the device's LF,
        // which may arrive only after the next command went out: it belongs to the old reply.
        std::lock_guard<std::mutex> lock(mutex_);
        if (strayLfExchange_ == exchangeNo_ && text.startsWith(u'\n'))
            text.remove(0, 1);
    }
    const ParsedReply reply = parseReply(currentCmd, text);
    if (!reply.handled)
        return false;
    if (spdlog::should_log(spdlog::level::debug))
        spdlog::debug(parserSendLogText(currentCmd));
    if (reply.state == ReplyState::Incomplete)
        return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastNegative_ = reply.state == ReplyState::Negative;
        if (text.endsWith(u'\r'))
            strayLfExchange_ = exchangeNo_ + 1;
        if (reply.version)
            identity_.version = *reply.version;
        if (reply.mcuId)
            identity_.mcuId = *reply.mcuId;
        if (reply.serial)
            identity_.serial = *reply.serial;
        if (reply.profiles)
            profiles_ = *reply.profiles;
    }
    if (reply.versionEvent)
        spdlog::debug(parserSetEventLogText());
    return true;
}

DeviceSession::Outcome DeviceSession::exchange(const QString& cmd,
                                               std::chrono::milliseconds timeout) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastNegative_ = false;
        ++exchangeNo_;
    }
    const ExchangeResult result = channel_.exchange(cmd, timeout);
    std::lock_guard<std::mutex> lock(mutex_);
    switch (result.status) {
        case ExchangeStatus::SendFailed:
            lastCause_ = FailureCause::SendFailed;
            return Outcome::NotAnswered;
        case ExchangeStatus::TimedOut:
            lastCause_ = FailureCause::NoAnswer;
            return Outcome::NotAnswered;
        case ExchangeStatus::LinkLost:
            lastCause_ = FailureCause::LinkLost;
            return Outcome::NotAnswered;
        case ExchangeStatus::Completed:
            break;
    }
    lastCause_ = lastNegative_ ? FailureCause::Refused : FailureCause::None;
    return lastNegative_ ? Outcome::Negative : Outcome::Positive;
}

FailureCause DeviceSession::lastFailureCause() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastCause_;
}

void DeviceSession::awaitRestOfVersionReply() {
    // A version line alone is a complete reply, but when the device's reply arrives in pieces
    // the MCU id line may still be on its way. Give it a moment, so it is neither lost nor
    // taken for the answer to the next command.
    QString buffer = channel_.receiveBuffer();
    if (buffer.contains(QLatin1String("MCUID ")) || buffer.contains(QLatin1String("SN ")))
        return;
    const auto deadline = std::chrono::steady_clock::now() + kVersionSettle;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        buffer = channel_.receiveBuffer();
        const bool hasId =
            buffer.contains(QLatin1String("MCUID ")) || buffer.contains(QLatin1String("SN "));
        if (hasId && buffer.endsWith(QLatin1String("\r\n")))
            break;
        if (!hasId && buffer.size() > 0 && !channel_.isRunning())
            return;
    }
    const ParsedReply reply = parseReply(QString(kCmdVersion), buffer);
    if (reply.state != ReplyState::Positive || !reply.mcuId)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (reply.version)
        identity_.version = *reply.version;
    identity_.mcuId = *reply.mcuId;
}

QString DeviceSession::errorText(const char* suffix) const {
    return channel_.comPort() + QLatin1String(suffix);
}

bool DeviceSession::queryVersion() {
    spdlog::info("{}", kQueryKvuVer);
    for (const QLatin1StringView cmd : {kCmdVersion, kCmdSerial}) {
        if (exchange(QString(cmd), timeouts_.reply) == Outcome::NotAnswered) {
            spdlog::error("{} {}", kQueryKvuVer, errorText(" Write Error."));
            return false;
        }
        if (cmd == kCmdVersion)
            awaitRestOfVersionReply();
    }
    const DeviceIdentity id = identity();
    spdlog::info("KvuVersion:{} KvuMcuID:{} KvuSerial: {}", id.version, id.mcuId, id.serial);
    return true;
}

bool DeviceSession::readAll(QString& error) {
    spdlog::info("{}", kGetInfo);
    const Outcome outcome = exchange(QString(kCmdReadAll), timeouts_.reply);
    if (outcome == Outcome::Positive)
        return true;
    error = errorText(outcome == Outcome::Negative ? " Reload Error." : " Write Error.");
    spdlog::error("{} {}", kGetInfo, error);
    return false;
}

bool DeviceSession::erase(QString& error) {
    spdlog::info("{}", kEraseInfo);
    const Outcome outcome = exchange(QString(kCmdErase), timeouts_.flash);
    if (outcome == Outcome::Positive)
        return true;
    error = errorText(outcome == Outcome::Negative ? " Erase Error." : " Write Error.");
    spdlog::error("{} {}", kEraseInfo, error);
    return false;
}

bool DeviceSession::writeAll(QString& error) {
    spdlog::info("{}", kSetInfo);
    for (const SetLine& line : writeAllLines(profiles())) {
        spdlog::info(line.logMessage);
        if (exchange(line.command, timeouts_.reply) != Outcome::Positive) {
            error = errorText(" Write Error.");
            spdlog::error("{} {}", kSetInfo, error);
            return false;
        }
    }
    return true;
}

bool DeviceSession::commitProfiles(QString& error) {
    if (exchange(QString(kCmdCommit), timeouts_.flash) == Outcome::Positive)
        return true;
    error = errorText(" Write Error.");
    return false;
}

DeviceIdentity DeviceSession::identity() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return identity_;
}

void DeviceSession::setIdentity(const DeviceIdentity& identity) {
    std::lock_guard<std::mutex> lock(mutex_);
    identity_ = identity;
}

DeviceProfiles DeviceSession::profiles() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return profiles_;
}

void DeviceSession::setProfiles(const DeviceProfiles& profiles) {
    std::lock_guard<std::mutex> lock(mutex_);
    profiles_ = profiles;
}

}  // namespace kvu::protocol
