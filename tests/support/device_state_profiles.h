#pragma once
// A simulated device's values as the window and the core hold them, to compare what a test shows
// or sends with what the device has.

#include <QString>

#include "settings/profiles.h"
#include "sim/device_state.h"

namespace kvu::test {

inline DeviceProfiles profilesOf(const sim::DeviceState& s) {
    auto q = [](const std::string& text) { return QString::fromStdString(text); };
    DeviceProfiles p;
    for (std::size_t i = 0; i < 4; ++i) {
        p.wwan[i].apn = q(s.wwan[i].apn);
        p.wwan[i].userName = q(s.wwan[i].user);
        p.wwan[i].password = q(s.wwan[i].pw);
        p.wwan[i].authType = q(s.wwan[i].auth);
        p.wwan[i].pdpType = q(s.wwan[i].pdp);
    }
    p.wifi.ssid = q(s.wifi.ssid);
    p.wifi.security = q(s.wifi.sec);
    p.wifi.keyFormat = q(s.wifi.pwType);
    p.wifi.passphrase = q(s.wifi.pw);
    return p;
}

}  // namespace kvu::test
