#include "discovery/port_match.h"

#include "logging/log_format.h"

#include <spdlog/spdlog.h>

namespace kvu {

namespace {

constexpr const char* kEnumKVUCommPort = "CGetComList::EnumKVUCommPort";

// Matched case-sensitively as substrings, as the host spells them.
const QString kHubVendor = QStringLiteral("VID_1A40");
const QString kHubProduct = QStringLiteral("PID_0201");
const QString kDeviceVendor = QStringLiteral("VID_0483");
const QString kDeviceProduct = QStringLiteral("PID_5740");

}  // namespace

bool matchKvuHub(const QString& parentInstanceId) {
    // Another vendor's parent is the common case (every other port), so it stays silent.
    if (!parentInstanceId.contains(kHubVendor, Qt::CaseSensitive)) {
        return false;
    }
    if (!parentInstanceId.contains(kHubProduct, Qt::CaseSensitive)) {
        spdlog::debug("{} not HUB2", kEnumKVUCommPort);
        spdlog::debug("{}", parentInstanceId);
        return false;
    }
    return true;
}

bool matchKvuPort(const SerialPortInfo& port) {
    if (!matchKvuHub(port.parentInstanceId)) {
        return false;
    }
    if (!port.firstHardwareId.contains(kDeviceVendor, Qt::CaseSensitive)) {
        spdlog::debug("{} not KVU1", kEnumKVUCommPort);
        spdlog::debug("{}", port.firstHardwareId);
        return false;
    }
    if (!port.firstHardwareId.contains(kDeviceProduct, Qt::CaseSensitive)) {
        spdlog::debug("{} not KVU2", kEnumKVUCommPort);
        spdlog::debug("{}", port.firstHardwareId);
        return false;
    }
    spdlog::debug("Add {}", port.portName);
    return true;
}

int matchKvuPorts(const std::vector<SerialPortInfo>& ports, QStringList& out) {
    int count = 0;
    for (const SerialPortInfo& port : ports) {
        if (matchKvuPort(port)) {
            out.append(port.portName);
            ++count;
        }
    }
    return count;
}

}  // namespace kvu
