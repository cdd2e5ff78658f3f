// Linux device monitor: libudev's monitor on the "udev" source, filtered to the tty subsystem,
// so that a port is announced only after the rules have run (its rights included).
#include "discovery/device_monitor.h"

#include <libudev.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kvu {

namespace {

// udevd's control socket: without a running udevd the monitor opens but never hears anything.
constexpr const char* kUdevControl = "/run/udev/control";

}  // namespace

struct DeviceMonitor::Handle {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
};

DeviceMonitor::DeviceMonitor() : handle_(std::make_unique<Handle>()) {}

DeviceMonitor::~DeviceMonitor() {
    close();
}

MonitorOpenResult DeviceMonitor::open() {
    close();
    MonitorOpenResult result;
    if (::access(kUdevControl, F_OK) != 0) {
        result.status = MonitorStatus::NoService;
        result.systemMessage =
            std::string("no udev daemon (") + kUdevControl + ": " + std::strerror(errno) + ")";
        return result;
    }
    Handle& h = *handle_;
    auto giveUp = [this, &result](const char* step) {
        result.status = MonitorStatus::Failed;
        result.systemMessage = std::string(step) + ": " + std::strerror(errno);
        close();
        return result;
    };
    h.context = udev_new();
    if (h.context == nullptr)
        return giveUp("udev_new");
    h.monitor = udev_monitor_new_from_netlink(h.context, "udev");
    if (h.monitor == nullptr)
        return giveUp("udev_monitor_new_from_netlink");
    if (udev_monitor_filter_add_match_subsystem_devtype(h.monitor, "tty", nullptr) < 0)
        return giveUp("udev_monitor_filter_add_match_subsystem_devtype");
    if (udev_monitor_enable_receiving(h.monitor) < 0)
        return giveUp("udev_monitor_enable_receiving");
    result.status = MonitorStatus::Open;
    return result;
}

bool DeviceMonitor::isOpen() const {
    return handle_->monitor != nullptr;
}

std::intptr_t DeviceMonitor::waitable() const {
    return handle_->monitor != nullptr ? udev_monitor_get_fd(handle_->monitor) : -1;
}

std::vector<std::string> DeviceMonitor::takeArrivals() {
    std::vector<std::string> ports;
    if (handle_->monitor == nullptr)
        return ports;
    // The monitor's socket does not block: this ends when nothing more is queued.
    while (udev_device* device = udev_monitor_receive_device(handle_->monitor)) {
        const char* action = udev_device_get_action(device);
        const char* node = udev_device_get_devnode(device);
        if (action != nullptr && node != nullptr && std::strcmp(action, "add") == 0)
            ports.emplace_back(node);
        udev_device_unref(device);
    }
    return ports;
}

void DeviceMonitor::close() {
    Handle& h = *handle_;
    if (h.monitor != nullptr) {
        udev_monitor_unref(h.monitor);
        h.monitor = nullptr;
    }
    if (h.context != nullptr) {
        udev_unref(h.context);
        h.context = nullptr;
    }
}

}  // namespace kvu
