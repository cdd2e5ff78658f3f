// The serial-port devices present on Windows, walked with SetupAPI and the registry. Standard
// library and Win32 only, so that it builds and can be checked without Qt.
#pragma once

#include <functional>
#include <string>

namespace kvu::win {

// Which platform call failed; each skips one port, except the first, which ends the walk.
enum class ComPortFailure {
    GetClassDevs,    // SetupDiGetClassDevsW
    OpenDevRegKey,   // SetupDiOpenDevRegKey
    QueryPortName,   // RegQueryValueExW "PortName"
    GetParent,       // SetupDiGetDevicePropertyW DEVPKEY_Device_Parent
    GetHardwareIds,  // SetupDiGetDeviceRegistryPropertyW SPDRP_HARDWAREID
};

struct ComPortIds {
    std::wstring portName;          // "COM5"
    std::wstring parentInstanceId;  // USB\VID_1A40&PID_0201\...
    std::wstring firstHardwareId;   // first string of the hardware-id list
    std::wstring location;          // "Port_#0003.Hub_#0001"; empty when the driver gives none
};

struct ComPortVisitor {
    std::function<void(ComPortFailure)> failed;
    // Asked once the parent is known (firstHardwareId still empty); false skips the port
    // before its hardware ids are read.
    std::function<bool(const ComPortIds&)> acceptParent;
    std::function<void(const ComPortIds&)> port;
};

// Visits the present serial-port interfaces in the host's order; false when the device set
// cannot be got (after reporting GetClassDevs).
bool walkComPorts(const ComPortVisitor& visitor);

}  // namespace kvu::win
