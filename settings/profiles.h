// Profile records held by the utility: four cellular data profiles and one Wi-Fi profile. All
// fields are text; enumerated fields hold the decimal digit that is their combo-box item index.
#pragma once

#include <QString>
#include <QStringList>
#include <array>

namespace kvu {

inline constexpr int kWwanCount = 4;
inline constexpr int kGroupCount = 5;  // nNo 0..3 are WWAN1..WWAN4, 4 is Wi-Fi
inline constexpr int kWifiGroup = 4;

struct WwanProfile {
    QString apn;
    QString userName;
    QString password;
    QString pdpType;
    QString authType;

    bool operator==(const WwanProfile&) const = default;
};

struct WifiProfile {
    QString ssid;
    QString security;
    QString keyFormat;
    QString passphrase;

    bool operator==(const WifiProfile&) const = default;
};

// All five profiles of one device, as read from it or about to be written to it.
struct DeviceProfiles {
    std::array<WwanProfile, kWwanCount> wwan;
    WifiProfile wifi;

    bool operator==(const DeviceProfiles&) const = default;
};

// Combo-box items, in the order the lists are filled; the stored digit is the item index.
QStringList authTypeItems();   // "none", "CHAP", "PAP"
QStringList pdpTypeItems();    // "IPV4", "IPV6", "IPV4V6"
QStringList securityItems();   // "none", "WPA2-PSK (AES)"
QStringList keyFormatItems();  // "ASCII", "HEX"

// Reads text the way a C decimal conversion does: leading white space, an optional sign, then
// digits up to the first other character. No digits reads as 0; out-of-range values saturate.
int readDecimal(const QString& text);

// The combo-box selection for a stored digit field: its decimal value when it is an item index
// of a list of itemCount items, otherwise -1 (no selection).
int selectionForDigit(const QString& text, int itemCount);

// The stored text for a combo-box selection: the index formatted as "%d" ("-1" for none).
QString digitForSelection(int index);

// Group captions and .all section names: "WWAN1".."WWAN4", "Wi-Fi".
QString groupName(int nNo);

}  // namespace kvu
