#include "discovery/port_finders.h"

#include <QFileInfo>

#include <spdlog/spdlog.h>

#include <memory>
#include <utility>

#include "discovery/com_list.h"
#include "logging/log_format.h"

namespace kvu {

bool findKvuPort(QStringList& ports, QString& port, const PortEnumerator& enumerate) {
    spdlog::debug("{}", "CKVUUtilityDlg::GetKvuComPort");
    ports.clear();
    const int count = enumerate ? enumerate(ports) : KvuPortList::enumerate(ports);
    if (count <= 0 || ports.isEmpty()) {
        return false;
    }
    port = ports.first();
    spdlog::info("GetKvuComPort num:{}, port:{}", count, port);
    return true;
}

PortFinder usbPortFinder(PortEnumerator enumerate) {
    auto ports = std::make_shared<QStringList>();
    return [ports, enumerate = std::move(enumerate)](QString& port) {
        return findKvuPort(*ports, port, enumerate);
    };
}

bool isWindowsDeviceName(const QString& name) {
    if (name.startsWith(QLatin1String("\\\\.\\"))) {
        return name.size() > 4;
    }
    if (name.size() < 4 || !name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        return false;
    }
    for (qsizetype i = 3; i < name.size(); ++i) {
        if (!name[i].isDigit()) {
            return false;
        }
    }
    return true;
}

bool portMayBePresent(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
#ifdef Q_OS_WIN
    if (isWindowsDeviceName(path)) {
        return true;
    }
#endif
    return QFileInfo::exists(path);
}

PortFinder fixedPortFinder(const QString& path) {
    return [path](QString& port) {
        if (!portMayBePresent(path)) {
            return false;
        }
        port = path;
        return true;
    };
}

}  // namespace kvu
