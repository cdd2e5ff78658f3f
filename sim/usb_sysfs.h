#pragma once
// Lists the simulated device as a USB device in a look-alike sysfs tree (device 0483:5740 below
// hub 1a40:0201, its tty in class/tty), so that port discovery finds it. Several simulators may
// share one tree and one hub.

#include <string>
#include <string_view>

namespace kvu::sim {

struct UsbSysfsConfig {
    std::string root;            // the look-alike /sys; empty: not listed
    std::string path = "1-1.1";  // the device's bus-port path, below at least one hub
};

// Every path of one device's entries, absolute below the root.
struct UsbSysfsLayout {
    std::string root;
    std::string hubDir;       // the parent of deviceDir; shared with other devices
    std::string deviceDir;    // removed on unplug
    std::string ttyDir;       // <deviceDir>/<path>:1.0/tty/<tty>
    std::string deviceLink;   // <ttyDir>/device
    std::string classLink;    // <root>/class/tty/<tty>
    std::string classTarget;  // what classLink holds: relative, as sysfs writes it
};

// True for "<bus>-<port>.<port>[.<port>...]" with decimal numbers: a device below a hub.
bool validUsbPath(std::string_view path);

// The layout for a device at `usbPath` whose tty is called `tty`. Pure; `usbPath` must be valid.
UsbSysfsLayout usbSysfsLayout(const std::string& root, const std::string& usbPath,
                              const std::string& tty);

// Creates the hub (attributes only where absent), the device, its interface and tty, and last the
// class link, so that a reader never finds a half-made device. Safe against other processes
// doing the same in the same tree. Fails when another tty already sits at the same path.
bool addUsbDevice(const UsbSysfsLayout& layout, std::string& error);

// Removes the class link and the device folder while they are still this device's; the hub
// stays.
void removeUsbDevice(const UsbSysfsLayout& layout);

}  // namespace kvu::sim
