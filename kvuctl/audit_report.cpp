#include "kvuctl/audit_report.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

namespace kvu::ctl {

bool AuditReport::open(const QString& path, QString& error) {
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
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
        {"differingFields", fields},
    };
}

void AuditReport::append(const QString& operation, const QString& file,
                         const DeviceRecord& record) {
    QByteArray line =
        QJsonDocument(recordJson(operation, file, record)).toJson(QJsonDocument::Compact);
    line.append('\n');
    std::lock_guard lock(mutex_);
    if (file_.isOpen()) {
        file_.write(line);
        file_.flush();
    }
}

}  // namespace kvu::ctl
