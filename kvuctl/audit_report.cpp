#include "kvuctl/audit_report.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace kvu::ctl {

bool AuditReport::open(const QString& path, QString& error) {
    file_.setFileName(path);
    // A device or a pipe has no end to seek to: it is written as it comes.
    const QFileInfo info(path);
    const bool regular = !info.exists() || info.isFile();
    if (!file_.open(regular ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly)) {
        error = QStringLiteral("%1: cannot be opened for appending (%2)")
                    .arg(path, file_.errorString());
        return false;
    }
    return true;
}

QJsonObject AuditReport::recordJson(const QString& operation, const QString& file,
                                    const DeviceRecord& record) {
    QJsonArray fields;
    for (const FieldDifference& difference : record.differences) {
        fields.append(difference.field.name);
    }
    return QJsonObject{
        {"time", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {"serial", record.identity.serial},
        {"mcuId", record.identity.mcuId},
        {"port", record.target.port},
        {"location", record.target.location},
        {"operation", operation},
        {"file", record.file.isEmpty() ? file : record.file},
        {"outcome", verdictName(record.verdict)},
        {"step", record.step},
        {"failedCommand", record.failedCommand},
        {"error", record.error},
        {"cause", record.cause},
        {"commitSent", record.commitSent},
        {"differingFields", fields},
    };
}

bool AuditReport::append(const QString& operation, const QString& file,
                         const DeviceRecord& record) {
    QByteArray line =
        QJsonDocument(recordJson(operation, file, record)).toJson(QJsonDocument::Compact);
    line.append('\n');
    std::lock_guard lock(mutex_);
    if (!file_.isOpen()) {
        return false;
    }
    const bool written = file_.write(line) == line.size() && file_.flush();
    if (!written && failure_.isEmpty()) {
        failure_ = QStringLiteral("%1: the report could not be written (%2)")
                       .arg(file_.fileName(), file_.errorString());
    }
    return written;
}

QString AuditReport::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

}  // namespace kvu::ctl
