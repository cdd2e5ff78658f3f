#pragma once
// The values the built-in simulated device of --simulate starts with. Every one of them passes
// the window's entry checks, so that Write, Reload and Erase work on it as it starts.

#include "sim/device_state.h"

namespace kvu::sim {

// Two cellular profiles and a Wi-Fi network; the other two profiles are factory-empty.
DeviceState demonstrationState();

}  // namespace kvu::sim
