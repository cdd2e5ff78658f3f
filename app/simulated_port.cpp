#include "app/simulated_port.h"

#ifdef KVU_HAVE_SIMULATOR
#include "sim/demonstration_state.h"
#include "sim/simulated_device.h"
#endif

namespace kvu {

#ifdef KVU_HAVE_SIMULATOR
namespace {

sim::DeviceConfig demonstrationDevice() {
    sim::DeviceConfig config;
    config.initial = sim::demonstrationState();
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
