#include "link/port_finders.h"

#include <QFileInfo>

#include <spdlog/spdlog.h>

#include <memory>

#include "app/log_format.h"
#include "link/com_list.h"

namespace kvu {

bool GetKvuComPort(QStringList& ports, QString& port) {
    spdlog::debug("{}", "CKVUUtilityDlg::GetKvuComPort");
    ports.clear();
    const int count = CGetComList::EnumKVUCommPort(ports);
    if (count <= 0 || ports.isEmpty()) {
        return false;
    }
    port = ports.first();
    spdlog::info("GetKvuComPort num:{}, port:{}", count, port);
    return true;
}

PortFinder usbPortFinder() {
    auto ports = std::make_shared<QStringList>();
    return [ports](QString& port) { return GetKvuComPort(*ports, port); };
}

PortFinder fixedPortFinder(const QString& path) {
    return [path](QString& port) {
        if (path.isEmpty() || !QFileInfo::exists(path)) {
            return false;
        }
        port = path;
        return true;
    };
}

}  // namespace kvu
