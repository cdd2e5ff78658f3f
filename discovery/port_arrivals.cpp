#include "discovery/port_arrivals.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemWatcher>
#ifdef Q_OS_WIN
#include <QWinEventNotifier>
#else
#include <QSocketNotifier>
#endif

#include <spdlog/spdlog.h>

#include <atomic>
#include <set>

#include "discovery/device_monitor.h"
#include "logging/log_format.h"

namespace kvu {

namespace {

constexpr const char* kWatchDevices = "PortArrivals::watchDevices";

// What tells a replaced path from the same one: where it points and when that node was made
// or last given new rights. Empty while the path (or its target) is missing.
QString identityOf(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return {};
    }
    return info.symLinkTarget() + QLatin1Char('|') +
           QString::number(info.fileTime(QFileDevice::FileMetadataChangeTime).toMSecsSinceEpoch());
}

}  // namespace

PortArrivals::PortArrivals(QObject* parent) : QObject(parent) {}

PortArrivals::~PortArrivals() = default;

bool PortArrivals::watchDevices() {
    if (monitor_ && monitor_->isOpen()) {
        return true;
    }
    auto monitor = std::make_unique<DeviceMonitor>();
    const MonitorOpenResult opened = monitor->open();
    if (!opened.ok()) {
        // One line per process: a front end that asks again learns nothing new.
        static std::atomic<bool> said{false};
        if (!said.exchange(true)) {
            spdlog::debug("{} no device monitor, arrivals are polled: {}", kWatchDevices,
                          opened.systemMessage);
        }
        return false;
    }
#ifdef Q_OS_WIN
    auto* notifier = new QWinEventNotifier(reinterpret_cast<Qt::HANDLE>(monitor->waitable()), this);
    connect(notifier, &QWinEventNotifier::activated, this, &PortArrivals::takeDeviceNotices);
#else
    auto* notifier =
        new QSocketNotifier(static_cast<qintptr>(monitor->waitable()), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &PortArrivals::takeDeviceNotices);
#endif
    notifier_ = notifier;
    monitor_ = std::move(monitor);
    return true;
}

bool PortArrivals::watchPath(const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (path.isEmpty() || !QFileInfo(folder).isDir()) {
        return false;
    }
    if (watcher_ == nullptr) {
        watcher_ = new QFileSystemWatcher(this);
        connect(watcher_, &QFileSystemWatcher::directoryChanged, this,
                &PortArrivals::folderChanged);
    }
    seen_[info.absoluteFilePath()] = identityOf(info.absoluteFilePath());
    return watcher_->directories().contains(folder) || watcher_->addPath(folder);
}

void PortArrivals::takeDeviceNotices() {
    // All of them first: a receiver that runs an event loop must not find the monitor still
    // readable and be called again for the same notice.
    for (const std::string& port : monitor_->takeArrivals()) {
        Q_EMIT portMayHaveArrived(QString::fromStdString(port));
    }
}

void PortArrivals::folderChanged(const QString& folder) {
    lookAt(folder);
    rewatch();
}

void PortArrivals::rewatch() {
    // A watched folder that is removed (udev drops /dev/serial/by-id with the last device)
    // ends its watch: watch the nearest folder above it that exists until it is made again.
    const QStringList watched = watcher_->directories();
    std::set<QString> folders;
    for (const auto& [path, seen] : seen_) {
        folders.insert(QFileInfo(path).absolutePath());
    }
    for (const QString& folder : folders) {
        if (watched.contains(folder)) {
            continue;
        }
        if (QFileInfo(folder).isDir()) {
            if (watcher_->addPath(folder)) {
                lookAt(folder);  // what was made in it before the watch began
            }
            continue;
        }
        QString above = QFileInfo(folder).absolutePath();
        while (!QFileInfo(above).isDir() && above != QFileInfo(above).absolutePath()) {
            above = QFileInfo(above).absolutePath();
        }
        if (!watched.contains(above)) {
            watcher_->addPath(above);
        }
    }
}

void PortArrivals::lookAt(const QString& folder) {
    // The folder changes for every file in it; only a new or replaced path counts.
    for (auto& [path, seen] : seen_) {
        if (QFileInfo(path).absolutePath() != folder) {
            continue;
        }
        const QString identity = identityOf(path);
        if (identity == seen) {
            continue;
        }
        seen = identity;
        if (!identity.isEmpty()) {
            Q_EMIT portMayHaveArrived(path);
        }
    }
}

}  // namespace kvu
