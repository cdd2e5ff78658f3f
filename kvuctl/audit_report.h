// The audit trail of a rollout: one JSON line per device and operation, appended to a file that
// several runs (and threads) share.
#pragma once

#include <QFile>
#include <QJsonObject>
#include <QString>

#include <mutex>

#include "kvuctl/device_work.h"

namespace kvu::ctl {

class AuditReport {
  public:
    // False with the reason when the file cannot be opened for appending.
    bool open(const QString& path, QString& error);
    bool isOpen() const { return file_.isOpen(); }
    // One record, written and flushed whole. Secrets never appear: differences name fields only.
    // False when it could not be written; the first such reason stays in failure().
    bool append(const QString& operation, const QString& file, const DeviceRecord& record);
    QString failure() const;

    // The record as appended, "time" included.
    static QJsonObject recordJson(const QString& operation, const QString& file,
                                  const DeviceRecord& record);

  private:
    mutable std::mutex mutex_;
    QFile file_;
    QString failure_;
};

}  // namespace kvu::ctl
