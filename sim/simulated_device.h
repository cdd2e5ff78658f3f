#pragma once
// A KVU device on a pseudo-terminal, served by one thread, with faults that can be changed while
// it runs. The host side opens slavePath() (or the configured symlink) like a real port.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/device_state.h"
#include "sim/fault_plan.h"
#include "sim/faults.h"
#include "sim/line_assembler.h"
#include "sim/pty_port.h"
#include "sim/usb_sysfs.h"

namespace kvu::sim {

struct DeviceConfig {
    DeviceState initial;  // identity and the values held when no state file exists yet
    Faults faults;
    std::string linkPath;   // symlink kept pointing at the current line; empty: none
    std::string stateFile;  // committed values are kept here; empty: nothing survives a stop
    // Listed as a USB device while plugged, its tty named after the symlink (needs linkPath).
    UsbSysfsConfig usb;
    // Called on the service thread after every replug (new path) and hang-up (empty path).
    std::function<void(const std::string& path)> onLineChange;
    // Called on the service thread with every command line as received ("\r" included), before
    // it is answered. Must not call back into the device.
    std::function<void(const std::string& line)> onCommand;
};

class SimulatedDevice {
  public:
    SimulatedDevice();
    explicit SimulatedDevice(DeviceConfig config);
    ~SimulatedDevice();
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    // Opens the line, loads the state file and starts the service thread.
    bool start(std::string& error);
    // Stops the thread and closes the line; the state file keeps what was committed.
    void stop();

    // The path of the current line; empty while unplugged or stopped.
    std::string slavePath() const;
    bool plugged() const;

    // Closes the line now, as pulling the cable would. Returns once it is closed.
    void hangUp();
    // Comes back on a new line (hanging up first if still plugged) and moves the symlink.
    bool replug(std::string& error);
    bool replug();

    bool setFaults(const Faults& faults, std::string& error);
    Faults faults() const;

    // The values the device answers "get" with; committedState(): what "fw" last saved.
    DeviceState state() const;
    DeviceState committedState() const;

    // Every command line received, byte-exact with its "\r", oldest first.
    std::vector<std::string> received() const;
    void clearReceived();
    // Waits until received() holds at least `count` lines.
    bool waitForCommands(std::size_t count, std::chrono::milliseconds timeout) const;
    // Commands since start(), the number fault counts refer to.
    std::size_t commandCount() const;

  private:
    enum class Request { None, HangUp, Replug, Stop };

    void run();
    bool requestAndWait(Request request, std::unique_lock<std::mutex>& lock);
    void serveRequest(Request request, std::unique_lock<std::mutex>& lock);
    void doHangUp(std::unique_lock<std::mutex>& lock);
    bool doPlug(std::unique_lock<std::mutex>& lock, std::string& error);
    void handleLine(const ReceivedLine& line, std::unique_lock<std::mutex>& lock);
    bool sendReply(const std::string& bytes, std::unique_lock<std::mutex>& lock);
    bool writeAll(int fd, const char* data, std::size_t size, std::unique_lock<std::mutex>& lock);
    void babbleOnce(std::unique_lock<std::mutex>& lock);
    // Sleeps until `deadline`; false when a request came in meanwhile.
    bool pause(std::chrono::steady_clock::time_point deadline, std::unique_lock<std::mutex>& lock);
    void wake();

    DeviceConfig config_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::thread thread_;
    bool running_ = false;
    int wakePipe_[2] = {-1, -1};

    Request request_ = Request::None;
    std::size_t requestsServed_ = 0;
    std::string requestError_;
    bool requestOk_ = true;

    PtyPair pty_;
    std::string linkTarget_;
    std::optional<UsbSysfsLayout> usbLayout_;
    LineAssembler assembler_;
    std::chrono::steady_clock::time_point replugAt_{};
    bool replugPending_ = false;

    std::shared_ptr<const FaultPlan> plan_;
    DeviceState working_;
    DeviceState committed_;
    std::vector<std::string> received_;
    std::size_t commandCount_ = 0;
    std::size_t babbleOffset_ = 0;
};

}  // namespace kvu::sim
