// The conversations with the KVU over one serial channel: the version query, read-all, erase,
// write-all and commit transactions, and the identity and profiles the replies carry.
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "device/exchange_timeouts.h"
#include "protocol/reply_framing.h"
#include "serial/serial_channel.h"
#include "settings/profiles.h"

namespace kvu::protocol {

// Why the last exchange did not bring a positive reply.
enum class FailureCause {
    None,
    SendFailed,  // the command could not be written
    Refused,     // the device answered "ERROR"
    NoAnswer,    // no complete reply within the time-out
    LinkLost,    // the line broke while waiting
    Mismatch,    // the reply does not fit its command
};

struct DeviceIdentity {
    QString version;  // as received, keyword "VER " included
    QString mcuId;    // as received, keyword "MCUID " or "SN " included
    QString serial;

    bool operator==(const DeviceIdentity&) const = default;
};

class DeviceSession {
  public:
    // Installs the parser and the log masking on the channel; the channel must outlive this.
    explicit DeviceSession(SerialChannel& channel, ExchangeTimeouts timeouts = {});
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // "ver\r" then "serial\r". False when either is not answered (send failure, time-out, lost
    // link); the replies' contents are not judged.
    bool queryVersion();
    // "get\r": on success the profiles hold the device's values.
    bool readAll(QString& error);
    // "fe\r": the device erases its profiles.
    bool erase(QString& error);
    // The 24 set lines from the current profiles; stops at the first refused or unanswered line.
    bool writeAll(QString& error);
    // "fw\r": the device commits what the set lines wrote.
    bool commitProfiles(QString& error);

    // Why the last exchange failed; None after a positive reply.
    FailureCause lastFailureCause() const;
    // A new link: nothing that an earlier line still owed can arrive on it.
    void forgetLateReplies();

    DeviceIdentity identity() const;
    void setIdentity(const DeviceIdentity& identity);
    DeviceProfiles profiles() const;
    void setProfiles(const DeviceProfiles& profiles);
    QString portName() const { return channel_.comPort(); }

  private:
    enum class Outcome { Positive, Negative, Mismatch, NotAnswered };

    // One exchange; a reply counts as negative when the parser says so.
    Outcome exchange(const QString& cmd, std::chrono::milliseconds timeout);
    // Runs on the receive thread under the channel's lock.
    bool parseRecvData(const QString& currentCmd, const QString& buffer);
    QString errorText(const char* suffix) const;

    // How many unanswered commands are remembered, and for how long, in case their replies
    // still come.
    static constexpr std::size_t kLateRepliesKept = 4;
    static constexpr std::chrono::seconds kLateReplyLife{30};

    struct Unanswered {
        QString command;
        std::chrono::steady_clock::time_point since;
    };

    SerialChannel& channel_;
    ExchangeTimeouts timeouts_;

    mutable std::mutex mutex_;  // guards what the parser stores
    DeviceIdentity identity_;
    DeviceProfiles profiles_;
    ReplyState lastState_ = ReplyState::Incomplete;
    bool versionWithoutId_ = false;  // the last version reply had no MCU id line
    FailureCause lastCause_ = FailureCause::None;
    std::vector<Unanswered> unanswered_;  // oldest first
    LateReplies late_;                    // what the exchange in progress may find in front
};

}  // namespace kvu::protocol
