// The conversations with the KVU over one serial channel: the version query, read-all, erase,
// write-all and commit transactions, and the identity and profiles the replies carry.
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "device/exchange_timeouts.h"
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

    DeviceIdentity identity() const;
    void setIdentity(const DeviceIdentity& identity);
    DeviceProfiles profiles() const;
    void setProfiles(const DeviceProfiles& profiles);
    QString portName() const { return channel_.comPort(); }

  private:
    enum class Outcome { Positive, Negative, NotAnswered };

    // One exchange; a reply counts as negative when the parser says so.
    Outcome exchange(const QString& cmd, std::chrono::milliseconds timeout);
    // Runs on the receive thread under the channel's lock.
    bool parseRecvData(const QString& currentCmd, const QString& buffer);
    QString errorText(const char* suffix) const;
    void awaitRestOfVersionReply();

    // How long a version line without MCU id may wait for the rest of its reply.
    static constexpr std::chrono::milliseconds kVersionSettle{100};

    SerialChannel& channel_;
    ExchangeTimeouts timeouts_;

    mutable std::mutex mutex_;  // guards what the parser stores
    DeviceIdentity identity_;
    DeviceProfiles profiles_;
    bool lastNegative_ = false;
    FailureCause lastCause_ = FailureCause::None;
    std::uint64_t exchangeNo_ = 0;       // counts the exchanges started
    std::uint64_t strayLfExchange_ = 0;  // the exchange whose buffer may open with a stray LF
};

}  // namespace kvu::protocol
