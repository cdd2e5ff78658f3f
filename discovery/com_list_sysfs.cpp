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
    // Without the tty class there is no port set to look at; the line is the one readers of
    // the log know for that.
    if (!QFileInfo(sysRoot + QStringLiteral("/class/tty")).isDir()) {
        spdlog::debug("{} SetupDiGetClassDevs fail", "CGetComList::EnumKVUCommPort");
        return 0;
    }
    return matchKvuPorts(enumerateSysfsSerialPorts(sysRoot, devRoot), ports);
}

}  // namespace kvu
