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
    void append(const QString& operation, const QString& file, const DeviceRecord& record);

    // The record as appended, "time" included.
    static QJsonObject recordJson(const QString& operation, const QString& file,
                                  const DeviceRecord& record);

  private:
    std::mutex mutex_;
    QFile file_;
};

}  // namespace kvu::ctl
