// Linux discovery: the ports sysfs knows, through the same tests and log lines as on Windows.
#include "discovery/com_list.h"

#include "discovery/port_match.h"
#include "discovery/sysfs_ports.h"

#include <spdlog/spdlog.h>

#include <QFileInfo>

namespace kvu {

int KvuPortList::enumerate(QStringList& ports) {
    return enumerate(ports, QStringLiteral("/sys"), QStringLiteral("/dev"));
}

int KvuPortList::enumerate(QStringList& ports, const QString& sysRoot, const QString& devRoot) {
    const std::vector<KvuPort> found = list(sysRoot, devRoot);
    for (const KvuPort& port : found) {
        ports.append(port.port);
    }
    return static_cast<int>(found.size());
}

std::vector<KvuPort> KvuPortList::list() {
    return list(QStringLiteral("/sys"), QStringLiteral("/dev"));
}

std::vector<KvuPort> KvuPortList::list(const QString& sysRoot, const QString& devRoot) {
    // Without the tty class there is no port set to look at; the line is the one readers of
    // the log know for that.
    if (!QFileInfo(sysRoot + QStringLiteral("/class/tty")).isDir()) {
        spdlog::debug("{} SetupDiGetClassDevs fail", "CGetComList::EnumKVUCommPort");
        return {};
    }
    std::vector<KvuPort> found;
    for (const SerialPortInfo& info : enumerateSysfsSerialPorts(sysRoot, devRoot)) {
        if (matchKvuPort(info)) {
            found.push_back({info.portName, info.location});
        }
    }
    return found;
}

}  // namespace kvu
