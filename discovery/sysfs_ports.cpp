#include "discovery/sysfs_ports.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace kvu {

namespace {

// A USB interface directory: <bus>-<port>[.<port>...]:<configuration>.<interface>, e.g. 1-1.2:1.0
bool isUsbInterfaceName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^\\d+-\\d+(\\.\\d+)*:\\d+\\.\\d+$"));
    return pattern.match(name).hasMatch();
}

// Four upper-case hex digits from an attribute such as "0483\n"; empty when unreadable.
QString hexAttribute(const QString& dir, const char* name) {
    QFile file(dir + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray text = file.read(64).trimmed();
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (text.isEmpty() || !ok || value > 0xFFFF) {
        return {};
    }
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

// USB\VID_0483&PID_5740&REV_0200
QString hardwareId(const QString& deviceDir) {
    const QString vid = hexAttribute(deviceDir, "idVendor");
    const QString pid = hexAttribute(deviceDir, "idProduct");
    const QString rev = hexAttribute(deviceDir, "bcdDevice");
    if (vid.isEmpty() || pid.isEmpty() || rev.isEmpty()) {
        return {};
    }
    return QStringLiteral("USB\\VID_%1&PID_%2&REV_%3").arg(vid, pid, rev);
}

// USB\VID_1A40&PID_0201\1-1: the bus-port path stands where Windows puts its instance part.
QString instanceId(const QString& deviceDir) {
    const QString vid = hexAttribute(deviceDir, "idVendor");
    const QString pid = hexAttribute(deviceDir, "idProduct");
    if (vid.isEmpty() || pid.isEmpty()) {
        return {};
    }
    return QStringLiteral("USB\\VID_%1&PID_%2\\%3").arg(vid, pid, QFileInfo(deviceDir).fileName());
}

QString parentOf(const QString& canonicalPath) {
    return canonicalPath.left(canonicalPath.lastIndexOf(QLatin1Char('/')));
}

}  // namespace

std::vector<SerialPortInfo> enumerateSysfsSerialPorts(const QString& sysRoot,
                                                      const QString& devRoot) {
    std::vector<SerialPortInfo> ports;
    const QString root = QFileInfo(sysRoot).canonicalFilePath();
    if (root.isEmpty()) {
        return ports;
    }
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    const auto inside = [&prefix](const QString& path) {
        return path.startsWith(prefix) && path.size() > prefix.size();
    };

    const QDir ttyDir(root + QStringLiteral("/class/tty"));
    const QStringList names = ttyDir.entryList(
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted);
    const QDir dev(devRoot);
    for (const QString& name : names) {
        // A tty without a device link is virtual (tty0, console, ptmx).
        const QString iface =
            QFileInfo(ttyDir.filePath(name) + QStringLiteral("/device")).canonicalFilePath();
        if (iface.isEmpty() || !inside(iface) || !isUsbInterfaceName(QFileInfo(iface).fileName())) {
            continue;
        }
        const QString device = parentOf(iface);
        const QString parent = parentOf(device);
        SerialPortInfo port;
        port.portName = dev.filePath(name);
        port.firstHardwareId = inside(device) ? hardwareId(device) : QString();
        port.parentInstanceId = inside(parent) ? instanceId(parent) : QString();
        port.location = inside(device) ? QFileInfo(device).fileName() : QString();
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
        return a.portName < b.portName;
    });
    return ports;
}

}  // namespace kvu
