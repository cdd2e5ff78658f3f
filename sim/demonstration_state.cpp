#include "sim/demonstration_state.h"

namespace kvu::sim {

DeviceState demonstrationState() {
    DeviceState state;
    state.serial = "SIM0001";
    state.wwan[0] = {"internet.example", "", "", "0", "0"};
    state.wwan[1] = {"m2m.example", "fielduser", "fieldpass", "1", "2"};
    // No space: the device takes an SSID only as ASCII without spaces.
    state.wifi = {"Site-WLAN", "1", "0", "change-me-please"};
    return state;
}

}  // namespace kvu::sim
