#pragma once
// What the simulated device holds: its identity texts and the five network profiles.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace kvu::sim {

// One cellular profile as the device stores it. Factory values: empty texts, no authentication
// ("0") and IPv4 ("0").
struct WwanValues {
    std::string apn;
    std::string user;
    std::string pw;
    std::string auth = "0";
    std::string pdp = "0";
};

// The Wi-Fi profile. Factory values: empty SSID and passphrase, open network ("0"), ASCII key
// ("0").
struct WifiValues {
    std::string ssid;
    std::string sec = "0";
    std::string pwType = "0";
    std::string pw;
};

struct DeviceState {
    std::string version = "1.0.0";   // firmware version, sent after "VER "
    std::string mcuId = "0001";      // sent after "MCUID "
    std::string serial = "SIM0001";  // sent after the seven-character lead-in
    std::array<WwanValues, 4> wwan;
    WifiValues wifi;
};

// Names one profile field on the line: address '1'..'4' or 'w', and its keyword.
struct FieldRef {
    char address;
    std::string_view key;
};

// The 24 fields in the order the device lists them for "get".
const std::vector<FieldRef>& readAllOrder();

// The field an address and keyword name, or nullptr when the pair does not exist.
std::string* profileField(DeviceState& state, char address, std::string_view key);
const std::string* profileField(const DeviceState& state, char address, std::string_view key);

// Puts every profile field back to its factory value; identity texts stay.
void eraseProfiles(DeviceState& state);

// Copies the profile fields of `from` into `to`; identity texts of `to` stay.
void copyProfiles(const DeviceState& from, DeviceState& to);

bool sameProfiles(const DeviceState& a, const DeviceState& b);

}  // namespace kvu::sim
