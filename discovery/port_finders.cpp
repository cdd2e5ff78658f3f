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
