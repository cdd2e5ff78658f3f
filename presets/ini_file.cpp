#include "presets/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kvu::presets {

namespace {

QString failure(const QString& path, const QString& reason) {
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason);
}

// Only regular files are opened: a pipe or device could block or never end.
bool readBounded(const QString& path, QByteArray& bytes, QString& error) {
    if (!QFileInfo(path).isFile()) {
        error = failure(path, QStringLiteral("Not a regular file"));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = failure(path, file.errorString());
        return false;
    }
    bytes = file.read(kMaxIniFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        error = failure(path, file.errorString());
        return false;
    }
    if (bytes.size() > kMaxIniFileSize) {
        error = failure(path, QStringLiteral("File is larger than 1 MiB"));
        return false;
    }
    return true;
}

}  // namespace

IniDocument readIniFile(const QString& path) {
    QByteArray bytes;
    QString error;
    if (!QFileInfo::exists(path) || !readBounded(path, bytes, error)) {
        return {};
    }
    return IniDocument::fromBytes(bytes);
}

bool readIniFileForUpdate(const QString& path, IniDocument& document, QString& error) {
    if (!QFileInfo::exists(path)) {
        document = IniDocument();
        return true;
    }
    QByteArray bytes;
    if (!readBounded(path, bytes, error)) {
        return false;
    }
    document = IniDocument::fromBytes(bytes);
    return true;
}

bool writeIniFile(const QString& path, const IniDocument& document, QString& error) {
    // A rename would replace even a read-only file; opening it gives the system's own reason.
    if (QFileInfo::exists(path)) {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
            error = failure(path, probe.errorString());
            return false;
        }
    }
    // Unbuffered, with our own loop: a buffered QSaveFile takes a short write (a full disk
    // part-way through) for success and would rename the cut-off file over the preset.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        error = failure(path, file.errorString());
        return false;
    }
    const QByteArray bytes = document.toBytes();
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            error = failure(path, file.errorString());
            file.cancelWriting();
            return false;
        }
        done += n;
    }
    if (!file.commit()) {
        error = failure(path, file.errorString());
        return false;
    }
    return true;
}

}  // namespace kvu::presets
