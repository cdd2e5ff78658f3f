#include "device/connection_supervisor.h"

#include <spdlog/spdlog.h>

#include <utility>

#include "logging/log_format.h"

namespace kvu {

namespace {
constexpr const char* kComPortOpenProcess = "CKVUUtilityDlg::ComPortOpenProcess";
}  // namespace

ConnectionSupervisor::ConnectionSupervisor(PortFinder finder, protocol::ExchangeTimeouts timeouts)
    : finder_(std::move(finder)), session_(channel_, timeouts) {
    channel_.setLinkLostHook([this] {
        LossNotice notice;
        {
            std::lock_guard<std::mutex> lock(noticeMutex_);
            notice = notice_;
        }
        if (notice) {
            notice(linkNo_.load());
        }
    });
}

ConnectionSupervisor::~ConnectionSupervisor() {
    disconnect();
}

void ConnectionSupervisor::setLossNotice(LossNotice notice) {
    std::lock_guard<std::mutex> lock(noticeMutex_);
    notice_ = std::move(notice);
}

void ConnectionSupervisor::setWaitPump(SerialChannel::WaitPump pump) {
    channel_.setWaitPump(std::move(pump));
}

ConnectResult ConnectionSupervisor::connect() {
    ConnectResult result;
    if (linkUp_) {
        result.outcome = ConnectOutcome::Connected;
        result.port = channel_.comPort();
        return result;
    }
    QString port;
    if (!finder_ || !finder_(port)) {
        return result;
    }
    result.port = port;
    spdlog::info("{} [{}]", kComPortOpenProcess, port);
    // The parser only assigns what a reply carries: a device whose version reply has no MCU id
    // line must not inherit the one of the device before it.
    session_.setIdentity({});
    session_.forgetLateReplies();

    if (!channel_.initSerial(port)) {
        spdlog::error("InitSerial Failure.");
        result.outcome = ConnectOutcome::OpenFailed;
        result.permissionDenied = channel_.lastOpenWasPermissionDenied();
        result.busy = channel_.lastOpenWasBusy();
        result.openError = channel_.lastError();
        return result;
    }
    // A new number before the thread starts, so a loss notice always names its own link.
    ++linkNo_;
    if (!channel_.startRecvThread()) {
        spdlog::error("StartRecvThread Failure.");
        // Closed again, so the next attempt can open the port afresh.
        channel_.uninitSerial();
        result.outcome = ConnectOutcome::ThreadFailed;
        return result;
    }
    threadStarted_ = true;
    linkUp_ = true;

    if (!session_.queryVersion()) {
        spdlog::error("{} [{}] no answer to the version query; port released", kComPortOpenProcess,
                      port);
        disconnect();
        result.outcome = ConnectOutcome::QueryFailed;
        return result;
    }
    QString error;
    if (!session_.readAll(error)) {
        spdlog::error("{} [{}] first read failed; port released", kComPortOpenProcess, port);
        disconnect();
        result.outcome = ConnectOutcome::ReadFailed;
        result.error = error;
        return result;
    }
    result.outcome = ConnectOutcome::Connected;
    return result;
}

bool ConnectionSupervisor::onLinkLost(std::uint64_t linkNo) {
    if (!linkUp_ || linkNo != linkNo_.load()) {
        return false;
    }
    disconnect();
    return true;
}

void ConnectionSupervisor::disconnect() {
    linkUp_ = false;
    if (threadStarted_ || channel_.isOpen()) {
        // Joins the thread (also one that ended on its own) and closes the port.
        channel_.stopRecvThread();
        threadStarted_ = false;
    }
}

QString stripLeadingKeyword(const QString& text, std::initializer_list<const char*> keywords) {
    for (const char* keyword : keywords) {
        const QLatin1StringView word(keyword);
        if (text.startsWith(word)) {
            return text.mid(word.size());
        }
    }
    return text;
}

}  // namespace kvu
