#include "device/device_operations.h"

#include <spdlog/spdlog.h>

#include "logging/log_format.h"

namespace kvu::device {
namespace {

OperationResult succeeded(const char* title, const char* outcome) {
    OperationResult result;
    result.ok = true;
    result.title = QString::fromLatin1(title);
    result.outcome = QString::fromLatin1(outcome);
    return result;
}

OperationResult failed(ConnectionSupervisor& link, const char* title, const char* outcome,
                       const QString& error) {
    OperationResult result;
    result.title = QString::fromLatin1(title);
    result.outcome = QString::fromLatin1(outcome);
    result.failedCommand = link.channel().currentCommand();
    result.error = error;
    return result;
}

}  // namespace

OperationResult readProfiles(ConnectionSupervisor& link) {
    QString error;
    if (!link.session().readAll(error)) {
        spdlog::error("{}", "Reload Failed");
        return failed(link, "Reload Result", "Reload Failed", error);
    }
    spdlog::info("{}", "Reload Successfully");
    OperationResult result = succeeded("Reload Result", "Reload Successfully");
    result.profiles = link.session().profiles();
    return result;
}

OperationResult writeProfiles(ConnectionSupervisor& link, const DeviceProfiles& profiles) {
    protocol::DeviceSession& session = link.session();
    session.setProfiles(profiles);
    QString error;
    if (!session.writeAll(error) || !session.commitProfiles(error)) {
        // The log line keeps the name of the window's handler that wrote it first.
        spdlog::error("{} {}", "CKVUUtilityDlg::OnBnClickedWrite", error);
        return failed(link, "Write Result", "Write Failed", error);
    }
    spdlog::info("{}", "Write Successfully");
    OperationResult result = succeeded("Write Result", "Write Successfully");
    result.profiles = profiles;
    return result;
}

OperationResult eraseProfiles(ConnectionSupervisor& link) {
    QString error;
    if (!link.session().erase(error)) {
        spdlog::error("{}", "Erase Failed");
        return failed(link, "Erase Result", "Erase Failed", error);
    }
    spdlog::info("{}", "Erase Successfully");
    if (!link.session().readAll(error)) {
        spdlog::error("{}", "Erase Failed");
        return failed(link, "Reload Result", "Reload Failed", error);
    }
    spdlog::info("{}", "Reload Successfully");
    OperationResult result = succeeded("Erase Result", "Erase Successfully");
    result.profiles = link.session().profiles();
    return result;
}

}  // namespace kvu::device
