#include "app/simulated_port.h"

#ifdef KVU_HAVE_SIMULATOR
#include "sim/simulated_device.h"
#endif

namespace kvu {

#ifdef KVU_HAVE_SIMULATOR
namespace {

// Values a demonstration can start from: two cellular profiles and a Wi-Fi network.
sim::DeviceConfig demonstrationDevice() {
    sim::DeviceConfig config;
    config.initial.serial = "SIM0001";
    config.initial.wwan[0] = {"internet.example", "", "", "0", "0"};
    config.initial.wwan[1] = {"m2m.example", "fielduser", "fieldpass", "1", "2"};
    config.initial.wifi = {"Site WLAN", "1", "0", "change-me-please"};
    return config;
}

}  // namespace

struct SimulatedPort::Device {
    sim::SimulatedDevice device{demonstrationDevice()};
};
#else
struct SimulatedPort::Device {};
#endif

SimulatedPort::SimulatedPort() = default;
SimulatedPort::~SimulatedPort() = default;

bool SimulatedPort::start(QString& error) {
#ifdef KVU_HAVE_SIMULATOR
    device_ = std::make_unique<Device>();
    std::string reason;
    if (!device_->device.start(reason)) {
        error = QString::fromStdString(reason);
        device_.reset();
        return false;
    }
    return true;
#else
    error = QStringLiteral("the simulated device needs pseudo-terminals, which this system lacks");
    return false;
#endif
}

PortFinder SimulatedPort::finder() const {
#ifdef KVU_HAVE_SIMULATOR
    const sim::SimulatedDevice* device = device_ ? &device_->device : nullptr;
    return [device](QString& port) {
        if (device == nullptr) {
            return false;
        }
        const std::string path = device->slavePath();
        if (path.empty()) {
            return false;
        }
        port = QString::fromStdString(path);
        return true;
    };
#else
    return {};
#endif
}

}  // namespace kvu
