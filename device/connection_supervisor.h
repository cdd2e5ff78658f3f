// One connection to the device at a time: finds the port, opens it, starts the receive thread,
// reads the identity and the five profiles, and releases everything again when that fails or
// the line breaks. The window decides what to show; this class owns the link.
#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "device/device_session.h"
#include "discovery/port_finders.h"
#include "serial/serial_channel.h"

namespace kvu {

enum class ConnectOutcome {
    NoPort,        // nothing to open yet
    OpenFailed,    // the port exists but could not be opened
    ThreadFailed,  // the receive thread did not start; the port was closed again
    QueryFailed,   // the version query went unanswered; the link was released
    ReadFailed,    // the first read-all failed; the link was released
    Connected,     // identity and profiles read; the link stays up
};

struct ConnectResult {
    ConnectOutcome outcome = ConnectOutcome::NoPort;
    QString port;                   // the port tried, empty for NoPort
    bool permissionDenied = false;  // OpenFailed because access was refused
    bool busy = false;              // OpenFailed because another program holds the port
    QString openError;              // the system's text for OpenFailed
    QString error;                  // the read's error text for ReadFailed
};

class ConnectionSupervisor {
  public:
    // Runs on the receive thread when the line of link `linkNo` broke; it must only hand the
    // notice over to the owner's thread.
    using LossNotice = std::function<void(std::uint64_t linkNo)>;

    explicit ConnectionSupervisor(PortFinder finder, protocol::ExchangeTimeouts timeouts = {});
    ~ConnectionSupervisor();
    ConnectionSupervisor(const ConnectionSupervisor&) = delete;
    ConnectionSupervisor& operator=(const ConnectionSupervisor&) = delete;

    void setLossNotice(LossNotice notice);
    void setWaitPump(SerialChannel::WaitPump pump);

    // One connection attempt. Nothing stays open unless the result is Connected.
    ConnectResult connect();
    // The owner's half of a loss notice: true when it concerns the link that is up now, which
    // is then released; false for a stale notice (that link was already released).
    bool onLinkLost(std::uint64_t linkNo);
    // Stops the receive thread and closes the port; safe when nothing is open.
    void disconnect();

    bool linkUp() const { return linkUp_; }
    std::uint64_t linkNo() const { return linkNo_.load(); }
    SerialChannel& channel() { return channel_; }
    protocol::DeviceSession& session() { return session_; }

  private:
    PortFinder finder_;
    SerialChannel channel_;
    protocol::DeviceSession session_;
    bool linkUp_ = false;
    bool threadStarted_ = false;
    std::atomic<std::uint64_t> linkNo_{0};

    std::mutex noticeMutex_;  // the notice is read on the receive thread
    LossNotice notice_;
};

// The identity text without its leading reply keyword: exactly one of `keywords`, when the text
// starts with it; anything else is left as it is.
QString stripLeadingKeyword(const QString& text, std::initializer_list<const char*> keywords);

}  // namespace kvu
