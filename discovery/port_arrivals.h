// Tells a front end, on its own thread, that a serial port may have arrived: from the system's
// device notices, or from a watch on a given port path. It decides nothing; the receiver looks
// for the device as its timer would, and the timer stays the fallback.
#pragma once

#include <QObject>
#include <QString>

#include <map>
#include <memory>

class QFileSystemWatcher;

namespace kvu {

class DeviceMonitor;

class PortArrivals : public QObject {
    Q_OBJECT
  public:
    explicit PortArrivals(QObject* parent = nullptr);
    ~PortArrivals() override;

    // Listens to the system's notices of added serial ports. False when there is no monitor to
    // listen to; the log then says once, at debug, that arrivals are polled.
    bool watchDevices();
    // Watches the folder of `path`: a notice whenever the path appears or is replaced (a symlink
    // re-pointed at a new line, a device node made anew). Each call adds a path. False when the
    // folder is missing.
    bool watchPath(const QString& path);

  Q_SIGNALS:
    // `path`: the added port's node, or the watched path.
    void portMayHaveArrived(const QString& path);

  private:
    void takeDeviceNotices();
    void folderChanged(const QString& folder);
    // Emits for each watched path in `folder` that appeared or was replaced.
    void lookAt(const QString& folder);
    // Watches again the folders that were removed and made anew.
    void rewatch();

    std::unique_ptr<DeviceMonitor> monitor_;
    QObject* notifier_ = nullptr;  // fires when the monitor has notices
    QFileSystemWatcher* watcher_ = nullptr;
    // Each watched path and what it was at the last look (empty: absent).
    std::map<QString, QString> seen_;
};

}  // namespace kvu
