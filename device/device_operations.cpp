#include "device/device_operations.h"

#include <QStringList>

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
    result.cause = link.session().lastFailureCause();
    return result;
}

}  // namespace

QString failureCauseText(protocol::FailureCause cause) {
    using protocol::FailureCause;
    switch (cause) {
        case FailureCause::None:
            return {};
        case FailureCause::SendFailed:
            return QStringLiteral("could not send");
        case FailureCause::Refused:
            return QStringLiteral("refused");
        case FailureCause::NoAnswer:
            return QStringLiteral("no answer");
        case FailureCause::LinkLost:
            return QStringLiteral("device left");
        case FailureCause::Mismatch:
            return QStringLiteral("reply does not fit the command");
    }
    return {};
}

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

OperationResult writeProfiles(ConnectionSupervisor& link, const DeviceProfiles& profiles,
                              const CommitNotice& beforeCommit) {
    protocol::DeviceSession& session = link.session();
    session.setProfiles(profiles);
    QString error;
    const bool linesTaken = session.writeAll(error);
    if (linesTaken && beforeCommit) {
        beforeCommit();
    }
    if (!linesTaken || !session.commitProfiles(error)) {
        // The log line keeps the name of the window's handler that wrote it first.
        spdlog::error("{} {}", "CKVUUtilityDlg::OnBnClickedWrite", error);
        return failed(link, "Write Result", "Write Failed", error);
    }
    spdlog::info("{}", "Write Successfully");
    OperationResult result = succeeded("Write Result", "Write Successfully");
    result.profiles = profiles;
    return result;
}

OperationResult verifyProfiles(ConnectionSupervisor& link, const DeviceProfiles& expected) {
    QString error;
    if (!link.session().readAll(error)) {
        spdlog::error("{} {}", "Verify Failed", error);
        return failed(link, "Verify Result", "Verify Failed", error);
    }
    const DeviceProfiles actual = link.session().profiles();
    std::vector<FieldDifference> differences = profileDifferences(expected, actual);
    if (!differences.empty()) {
        QStringList names;
        for (const FieldDifference& difference : differences) {
            names.append(difference.field.name);
        }
        const QString list = names.join(QStringLiteral(", "));
        spdlog::error("{} {}", "Verify Failed", list);
        OperationResult result;
        result.title = QStringLiteral("Verify Result");
        result.outcome = QStringLiteral("Verify Failed");
        result.error = QStringLiteral("the device did not keep: %1").arg(list);
        result.profiles = actual;
        result.differences = std::move(differences);
        return result;
    }
    spdlog::info("{}", "Verify Successfully");
    OperationResult result = succeeded("Verify Result", "Verify Successfully");
    result.profiles = actual;
    return result;
}

OperationResult writeVerifiedProfiles(ConnectionSupervisor& link, const DeviceProfiles& profiles,
                                      bool verify) {
    OperationResult written = writeProfiles(link, profiles);
    if (!written.ok || !verify) {
        return written;
    }
    return verifyProfiles(link, profiles);
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
