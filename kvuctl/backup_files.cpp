#include "kvuctl/backup_files.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSaveFile>
#include <QTemporaryDir>

#include "kvuctl/result_output.h"
#include "presets/preset_layers.h"

namespace kvu::ctl {

namespace {

// A device's text is no path: keep it from leaving the folder the name points at.
QString namePart(QString text) {
    text.replace(u'/', u'_').replace(u'\\', u'_');
    return text.isEmpty() ? QStringLiteral("unknown") : text;
}

}  // namespace

QString fileForDevice(const QString& pattern, const DeviceRecord& record) {
    return QString(pattern)
        .replace(QStringLiteral("{serial}"), namePart(record.identity.serial))
        .replace(QStringLiteral("{port}"), namePart(QFileInfo(record.target.port).fileName()))
        .replace(QStringLiteral("{location}"), namePart(record.target.location));
}

bool hasDevicePlaceholder(const QString& pattern) {
    for (const char* placeholder : {"{serial}", "{port}", "{location}"}) {
        if (pattern.contains(QLatin1StringView(placeholder))) {
            return true;
        }
    }
    return false;
}

std::optional<QString> sharedFileProblem(const QString& pattern,
                                         const std::vector<DeviceRecord>& records) {
    QMap<QString, QString> owner;  // file: the first device read into it
    for (const DeviceRecord& r : records) {
        if (r.verdict != Verdict::Ok) {
            continue;
        }
        const QString file = fileForDevice(pattern, r);
        if (owner.contains(file)) {
            return QStringLiteral(
                       "%1 and %2 would both be read into %3; nothing was saved. Put {serial}, "
                       "{port} or {location} in the file name so that each device has its own")
                .arg(owner.value(file), deviceName(r), file);
        }
        owner.insert(file, deviceName(r));
    }
    return std::nullopt;
}

bool saveBackup(const QString& path, int wwanGroup, const DeviceProfiles& profiles,
                QString& error) {
    // The window's Save merges into a file; a backup is the device alone, so it is saved into an
    // empty file first and that file's text replaces the target in one rename.
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        error = QStringLiteral("%1: no temporary folder for the backup").arg(path);
        return false;
    }
    const QString fresh = scratch.filePath(QStringLiteral("backup.") + QFileInfo(path).suffix());
    if (!presets::savePreset(fresh, wwanGroup, profiles, error)) {
        error.replace(fresh, path);
        return false;
    }
    QFile written(fresh);
    if (!written.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(path, written.errorString());
        return false;
    }
    const QByteArray text = written.readAll();
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("%1: cannot be written (%2)").arg(path, target.errorString());
        return false;
    }
    target.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (target.write(text) != text.size() || !target.commit()) {
        error = QStringLiteral("%1: cannot be written (%2)").arg(path, target.errorString());
        return false;
    }
    return true;
}

}  // namespace kvu::ctl
