// How long one connection attempt takes once the device's port is there: open, receive thread,
// version and serial queries, and the read of all five profiles, against the simulated device
// over a real pseudo-terminal, unpaced and paced like the device's 9600-baud line. Together
// with the one-second look for the device, this is the time from plug-in to a filled window.
// Usage: connect_benchmark [rounds]
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device/connection_supervisor.h"
#include "sim/simulated_device.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

// A device holding full-length values, so the read-all reply is as long as it gets in use.
kvu::sim::DeviceState fullDevice() {
    kvu::sim::DeviceState s;
    for (auto& w : s.wwan) {
        w = {std::string(32, 'a'), std::string(32, 'u'), std::string(32, 'p'), "2", "2"};
    }
    s.wifi = {std::string(32, 's'), "1", "0", std::string(63, 'k')};
    return s;
}

bool measure(const char* name, unsigned baud, int rounds) {
    kvu::sim::DeviceConfig config;
    config.initial = fullDevice();
    config.faults.baud = baud;
    kvu::sim::SimulatedDevice device(config);
    std::string error;
    if (!device.start(error)) {
        std::fprintf(stderr, "simulated device: %s\n", error.c_str());
        return false;
    }
    kvu::ConnectionSupervisor link([&](QString& port) {
        port = QString::fromStdString(device.slavePath());
        return true;
    });
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        const kvu::ConnectResult result = link.connect();
        const double ms = Ms(Clock::now() - start).count();
        if (result.outcome != kvu::ConnectOutcome::Connected) {
            std::fprintf(stderr, "%s: attempt %d did not connect\n", name, i + 1);
            return false;
        }
        link.disconnect();
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-22s rounds %3d  median %8.2f ms  min %8.2f ms  max %8.2f ms\n", name, rounds,
                times[times.size() / 2], times.front(), times.back());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    spdlog::set_default_logger(
        std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>()));
    std::printf("one connection attempt (open, thread, ver, serial, get; full-length values)\n");
    const bool ok =
        measure("unpaced line", 0, rounds) && measure("paced as 9600 baud", 9600, rounds);
    std::printf(
        "the window looks for the device once a second, so plug-in to filled window is\n"
        "at most 1000 ms plus the attempt above\n");
    return ok ? 0 : 1;
}
