#include "sim/device_state.h"

namespace kvu::sim {

const std::vector<FieldRef>& readAllOrder() {
    static const std::vector<FieldRef> order = [] {
        std::vector<FieldRef> fields;
        for (char n = '1'; n <= '4'; ++n) {
            for (std::string_view key : {"apn", "user", "pw", "auth", "pdp"}) {
                fields.push_back({n, key});
            }
        }
        for (std::string_view key : {"ssid", "sec", "pw_type", "pw"}) {
            fields.push_back({'w', key});
        }
        return fields;
    }();
    return order;
}

const std::string* profileField(const DeviceState& state, char address, std::string_view key) {
    if (address >= '1' && address <= '4') {
        const WwanValues& w = state.wwan[static_cast<std::size_t>(address - '1')];
        if (key == "apn")
            return &w.apn;
        if (key == "user")
            return &w.user;
        if (key == "pw")
            return &w.pw;
        if (key == "auth")
            return &w.auth;
        if (key == "pdp")
            return &w.pdp;
        return nullptr;
    }
    if (address == 'w') {
        if (key == "ssid")
            return &state.wifi.ssid;
        if (key == "sec")
            return &state.wifi.sec;
        if (key == "pw_type")
            return &state.wifi.pwType;
        if (key == "pw")
            return &state.wifi.pw;
    }
    return nullptr;
}

std::string* profileField(DeviceState& state, char address, std::string_view key) {
    return const_cast<std::string*>(
        profileField(static_cast<const DeviceState&>(state), address, key));
}

void eraseProfiles(DeviceState& state) {
    state.wwan = {};
    state.wifi = {};
}

void copyProfiles(const DeviceState& from, DeviceState& to) {
    to.wwan = from.wwan;
    to.wifi = from.wifi;
}

bool sameProfiles(const DeviceState& a, const DeviceState& b) {
    for (const FieldRef& f : readAllOrder()) {
        if (*profileField(a, f.address, f.key) != *profileField(b, f.address, f.key)) {
            return false;
        }
    }
    return true;
}

}  // namespace kvu::sim
