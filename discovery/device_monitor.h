// The system's notices of serial ports being added, behind one small interface: a handle to wait
// on and a read of what is pending. No logging and no Qt here. Linux: a udev monitor; Windows:
// the COM-port interface notices of a message-only window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvu {

enum class MonitorStatus {
    Open,       // notices will come
    NoService,  // nothing announces devices here (a container without udev)
    Failed,     // the monitor could not be set up
};

struct MonitorOpenResult {
    MonitorStatus status = MonitorStatus::Failed;
    std::string systemMessage;  // why, when not open (English)
    bool ok() const { return status == MonitorStatus::Open; }
};

// Not thread-safe: open, takeArrivals and close belong to one thread. On Windows that thread
// must dispatch window messages (any Qt event loop does).
class DeviceMonitor {
  public:
    DeviceMonitor();
    ~DeviceMonitor();
    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;

    // Starts listening for added serial ports. On Linux the notices come from udev once its
    // rules, the access rights among them, have been applied to the port.
    MonitorOpenResult open();
    bool isOpen() const;
    // Ready when notices are pending: a descriptor to poll for input (POSIX) or an event handle
    // (Windows); -1 while closed.
    std::intptr_t waitable() const;
    // The ports added since the last call, never waiting: the device node ("/dev/ttyACM0") on
    // Linux, the port or interface name on Windows.
    std::vector<std::string> takeArrivals();
    void close();

  private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

}  // namespace kvu
