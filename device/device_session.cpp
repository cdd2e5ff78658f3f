#include "device/device_session.h"

#include <spdlog/spdlog.h>

#include <algorithm>

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
constexpr const char* kParseRecvData = "CKVUUtilityDlg::ParseRecvData";

}  // namespace

DeviceSession::DeviceSession(SerialChannel& channel, ExchangeTimeouts timeouts)
    : channel_(channel), timeouts_(timeouts) {
    channel_.setParseHook(
        [this](const QString& cmd, const QString& buffer) { return parseRecvData(cmd, buffer); });
    channel_.setMaskForLog([](const QString& text) { return maskSecretsForLog(text); });
}

bool DeviceSession::parseRecvData(const QString& currentCmd, const QString& buffer) {
    LateReplies late;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        late = late_;
    }
    const FramedReply framed = frameReply(currentCmd, buffer, late);
    const ParsedReply& reply = framed.reply;
    if (!reply.handled)
        return false;
    if (spdlog::should_log(spdlog::level::debug))
        spdlog::debug(parserSendLogText(currentCmd));
    if (reply.state == ReplyState::Incomplete)
        return false;
    for (const QString& earlier : framed.lateCommands)
        spdlog::info("{} late reply to [{}] set aside", kParseRecvData, maskSecretsForLog(earlier));
    if (reply.state == ReplyState::Mismatch)
        spdlog::error("{} reply does not fit [{}]: [{}]", kParseRecvData,
                      maskSecretsForLog(currentCmd), maskSecretsForLog(reply.misfit));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastState_ = reply.state;
        versionWithoutId_ = reply.version.has_value() && !reply.mcuId.has_value();
        if (framed.lateAnswered > 0) {
            // The device answers in order: what came before an answered command never will.
            const auto answered =
                static_cast<std::ptrdiff_t>(std::min(framed.lateAnswered, unanswered_.size()));
            unanswered_.erase(unanswered_.begin(), unanswered_.begin() + answered);
        }
        if (framed.tailMcuId)
            identity_.mcuId = *framed.tailMcuId;
        if (reply.state != ReplyState::Mismatch) {
            if (reply.version)
                identity_.version = *reply.version;
            if (reply.mcuId)
                identity_.mcuId = *reply.mcuId;
            if (reply.serial)
                identity_.serial = *reply.serial;
            if (reply.profiles)
                profiles_ = *reply.profiles;
        }
    }
    if (reply.versionEvent)
        spdlog::debug(parserSetEventLogText());
    return true;
}

DeviceSession::Outcome DeviceSession::exchange(const QString& cmd,
                                               std::chrono::milliseconds timeout) {
    bool keepLateText = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastState_ = ReplyState::Incomplete;
        const auto now = std::chrono::steady_clock::now();
        std::erase_if(unanswered_,
                      [&](const Unanswered& u) { return now - u.since > kLateReplyLife; });
        late_.unanswered.clear();
        for (const Unanswered& u : unanswered_)
            late_.unanswered.push_back(u.command);
        // The MCU id line may already be in, after the version line that completed the reply.
        keepLateText = late_.versionTail;
    }
    const ExchangeResult result = channel_.exchange(cmd, timeout, keepLateText);
    std::lock_guard<std::mutex> lock(mutex_);
    late_.versionTail = false;
    if (result.status == ExchangeStatus::Completed && cmd == kCmdVersion &&
        lastState_ == ReplyState::Positive && versionWithoutId_)
        late_.versionTail = true;
    const bool answered =
        result.status == ExchangeStatus::Completed && lastState_ != ReplyState::Mismatch;
    if (!answered && canAnswerLate(cmd)) {
        unanswered_.push_back({cmd, std::chrono::steady_clock::now()});
        if (unanswered_.size() > kLateRepliesKept)
            unanswered_.erase(unanswered_.begin());
    }
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
    switch (lastState_) {
        case ReplyState::Negative:
            lastCause_ = FailureCause::Refused;
            return Outcome::Negative;
        case ReplyState::Mismatch:
            lastCause_ = FailureCause::Mismatch;
            return Outcome::Mismatch;
        default:
            lastCause_ = FailureCause::None;
            return Outcome::Positive;
    }
}

FailureCause DeviceSession::lastFailureCause() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastCause_;
}

void DeviceSession::forgetLateReplies() {
    std::lock_guard<std::mutex> lock(mutex_);
    unanswered_.clear();
    late_ = {};
}

QString DeviceSession::errorText(const char* suffix) const {
    return channel_.comPort() + QLatin1String(suffix);
}

bool DeviceSession::queryVersion() {
    spdlog::info("{}", kQueryKvuVer);
    for (const QLatin1StringView cmd : {kCmdVersion, kCmdSerial}) {
        const Outcome outcome = exchange(QString(cmd), timeouts_.reply);
        if (outcome == Outcome::NotAnswered || outcome == Outcome::Mismatch) {
            spdlog::error("{} {}", kQueryKvuVer, errorText(" Write Error."));
            return false;
        }
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
    error = errorText(outcome == Outcome::NotAnswered ? " Write Error." : " Reload Error.");
    spdlog::error("{} {}", kGetInfo, error);
    return false;
}

bool DeviceSession::erase(QString& error) {
    spdlog::info("{}", kEraseInfo);
    const Outcome outcome = exchange(QString(kCmdErase), timeouts_.flash);
    if (outcome == Outcome::Positive)
        return true;
    error = errorText(outcome == Outcome::NotAnswered ? " Write Error." : " Erase Error.");
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
