#include "protocol/commands.h"

#include <fmt/format.h>

#include "logging/log_format.h"

namespace kvu::protocol {

namespace {

QLatin1StringView keyword(WwanField field) {
    switch (field) {
        case WwanField::Apn:
            return QLatin1StringView{"apn"};
        case WwanField::User:
            return QLatin1StringView{"user"};
        case WwanField::Password:
            return QLatin1StringView{"pw"};
        case WwanField::Auth:
            return QLatin1StringView{"auth"};
        case WwanField::Pdp:
            return QLatin1StringView{"pdp"};
    }
    return {};
}

QLatin1StringView keyword(WifiField field) {
    switch (field) {
        case WifiField::Ssid:
            return QLatin1StringView{"ssid"};
        case WifiField::Security:
            return QLatin1StringView{"sec"};
        case WifiField::KeyFormat:
            return QLatin1StringView{"pw_type"};
        case WifiField::Passphrase:
            return QLatin1StringView{"pw"};
    }
    return {};
}

QString setLine(const QString& address, QLatin1StringView key, const QString& value) {
    return kSetPrefix + address + u' ' + key + u' ' + value + u'\r';
}

}  // namespace

QString wwanSetLine(int n, WwanField field, const QString& value) {
    return setLine(QString::number(n), keyword(field), value);
}

QString wifiSetLine(WifiField field, const QString& value) {
    return setLine(QStringLiteral("w"), keyword(field), value);
}

std::vector<SetLine> writeAllLines(const DeviceProfiles& profiles) {
    std::vector<SetLine> lines;
    lines.reserve(kWwanCount * 5 + 4);
    for (int i = 0; i < kWwanCount; ++i) {
        const WwanProfile& p = profiles.wwan[static_cast<size_t>(i)];
        const int n = i + 1;
        lines.push_back(
            {wwanSetLine(n, WwanField::Apn, p.apn), fmt::format("Write WWAN {} APN {}", n, p.apn)});
        lines.push_back({wwanSetLine(n, WwanField::User, p.userName),
                         fmt::format("Write WWAN {} username {}", n, p.userName)});
        // The wire needs the password in the clear; the log never sees it.
        lines.push_back({wwanSetLine(n, WwanField::Password, p.password),
                         fmt::format("Write WWAN {} password {}", n, kSecretMask)});
        lines.push_back({wwanSetLine(n, WwanField::Auth, p.authType),
                         fmt::format("Write WWAN {} Auth {}", n, p.authType)});
        lines.push_back({wwanSetLine(n, WwanField::Pdp, p.pdpType),
                         fmt::format("Write WWAN {} PDP {}", n, p.pdpType)});
    }
    const WifiProfile& w = profiles.wifi;
    lines.push_back(
        {wifiSetLine(WifiField::Ssid, w.ssid), fmt::format("Write WiFi SSID {}", w.ssid)});
    lines.push_back({wifiSetLine(WifiField::Security, w.security),
                     fmt::format("Write WiFi security {}", w.security)});
    lines.push_back({wifiSetLine(WifiField::KeyFormat, w.keyFormat),
                     fmt::format("Write WiFi key_fmt {}", w.keyFormat)});
    lines.push_back({wifiSetLine(WifiField::Passphrase, w.passphrase),
                     fmt::format("Write WiFi passphrase {}", kSecretMask)});
    return lines;
}

}  // namespace kvu::protocol
