// Windows discovery: the SetupAPI walk, judged and logged by the shared port tests.
#include "discovery/com_list.h"

#include "discovery/port_match.h"
#include "discovery/setupapi_com_ports.h"
#include "logging/log_format.h"

#include <spdlog/spdlog.h>

namespace kvu {

namespace {

constexpr const char* kEnumKVUCommPort = "CGetComList::EnumKVUCommPort";

void logFailure(win::ComPortFailure failure) {
    switch (failure) {
        case win::ComPortFailure::GetClassDevs:
            spdlog::debug("{} SetupDiGetClassDevs fail", kEnumKVUCommPort);
            break;
        case win::ComPortFailure::OpenDevRegKey:
            spdlog::debug("{} SetupDiOpenDevRegKey fail", kEnumKVUCommPort);
            break;
        case win::ComPortFailure::QueryPortName:
            spdlog::debug("{} RegQueryValueEx fail", kEnumKVUCommPort);
            break;
        case win::ComPortFailure::GetParent:
            spdlog::debug("{} SetupDiGetDeviceProperty fail", kEnumKVUCommPort);
            break;
        case win::ComPortFailure::GetHardwareIds:
            spdlog::debug("{} SetupDiGetDeviceRegistryProperty fail1", kEnumKVUCommPort);
            break;
    }
}

SerialPortInfo toInfo(const win::ComPortIds& ids) {
    return SerialPortInfo{
        QString::fromStdWString(ids.portName), QString::fromStdWString(ids.parentInstanceId),
        QString::fromStdWString(ids.firstHardwareId), QString::fromStdWString(ids.location)};
}

}  // namespace

int KvuPortList::enumerate(QStringList& ports) {
    const std::vector<KvuPort> found = list();
    for (const KvuPort& port : found) {
        ports.append(port.port);
    }
    return static_cast<int>(found.size());
}

std::vector<KvuPort> KvuPortList::list() {
    std::vector<KvuPort> found;
    win::ComPortVisitor visitor;
    visitor.failed = logFailure;
    // The hub is judged before the hardware ids are read, so a port behind another parent
    // never reaches that read.
    visitor.acceptParent = [](const win::ComPortIds& ids) {
        return matchKvuHub(QString::fromStdWString(ids.parentInstanceId));
    };
    visitor.port = [&](const win::ComPortIds& ids) {
        const SerialPortInfo info = toInfo(ids);
        if (matchKvuPort(info)) {
            found.push_back({info.portName, info.location});
        }
    };
    if (!win::walkComPorts(visitor)) {
        return {};
    }
    return found;
}

}  // namespace kvu
