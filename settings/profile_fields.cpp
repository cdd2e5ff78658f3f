#include "settings/profile_fields.h"

namespace kvu {

namespace {

struct WwanMember {
    const char* key;
    const char* name;
    QString WwanProfile::*member;
    bool secret;
};
struct WifiMember {
    const char* key;
    const char* name;
    QString WifiProfile::*member;
    bool secret;
};

constexpr WwanMember kWwanMembers[] = {
    {"apn", "APN", &WwanProfile::apn, false},
    {"user", "user name", &WwanProfile::userName, false},
    {"password", "password", &WwanProfile::password, true},
    {"pdp", "PDP type", &WwanProfile::pdpType, false},
    {"auth", "authentication", &WwanProfile::authType, false},
};
constexpr WifiMember kWifiMembers[] = {
    {"ssid", "SSID", &WifiProfile::ssid, false},
    {"security", "security", &WifiProfile::security, false},
    {"keyformat", "key format", &WifiProfile::keyFormat, false},
    {"passphrase", "passphrase", &WifiProfile::passphrase, true},
};

QStringList itemsOf(const ProfileField& field) {
    const QLatin1StringView key(field.key);
    if (key == QLatin1StringView("pdp")) {
        return pdpTypeItems();
    }
    if (key == QLatin1StringView("auth")) {
        return authTypeItems();
    }
    if (key == QLatin1StringView("security")) {
        return securityItems();
    }
    if (key == QLatin1StringView("keyformat")) {
        return keyFormatItems();
    }
    return {};
}

// The field's text in a const or mutable record.
template <typename Profiles>
auto& valueRef(Profiles& profiles, const ProfileField& field, std::size_t index) {
    if (field.nNo < kWifiGroup) {
        return profiles.wwan[static_cast<std::size_t>(field.nNo)].*kWwanMembers[index].member;
    }
    return profiles.wifi.*kWifiMembers[index].member;
}

// Index of the field within its group's member table.
std::size_t memberIndex(const ProfileField& field) {
    const QLatin1StringView key(field.key);
    if (field.nNo < kWifiGroup) {
        for (std::size_t i = 0; i < std::size(kWwanMembers); ++i) {
            if (key == QLatin1StringView(kWwanMembers[i].key)) {
                return i;
            }
        }
    }
    for (std::size_t i = 0; i < std::size(kWifiMembers); ++i) {
        if (key == QLatin1StringView(kWifiMembers[i].key)) {
            return i;
        }
    }
    return 0;
}

QString shownDigit(const QString& digit, const QStringList& items) {
    return digitForSelection(selectionForDigit(digit, static_cast<int>(items.size())));
}

}  // namespace

const std::vector<ProfileField>& profileFields() {
    static const std::vector<ProfileField> fields = [] {
        std::vector<ProfileField> all;
        for (int nNo = 0; nNo < kWwanCount; ++nNo) {
            for (const WwanMember& m : kWwanMembers) {
                all.push_back(
                    {nNo, m.key, groupName(nNo) + u' ' + QLatin1StringView(m.name), m.secret});
            }
        }
        for (const WifiMember& m : kWifiMembers) {
            all.push_back({kWifiGroup, m.key,
                           groupName(kWifiGroup) + u' ' + QLatin1StringView(m.name), m.secret});
        }
        return all;
    }();
    return fields;
}

QString fieldValue(const DeviceProfiles& profiles, const ProfileField& field) {
    return valueRef(profiles, field, memberIndex(field));
}

std::vector<FieldDifference> profileDifferences(const DeviceProfiles& expected,
                                                const DeviceProfiles& actual,
                                                const std::array<bool, kGroupCount>& groups) {
    std::vector<FieldDifference> differences;
    for (const ProfileField& field : profileFields()) {
        if (!groups[static_cast<std::size_t>(field.nNo)]) {
            continue;
        }
        const QString want = fieldValue(expected, field);
        const QString have = fieldValue(actual, field);
        if (want != have) {
            differences.push_back({field, want, have});
        }
    }
    return differences;
}

std::vector<FieldDifference> profileDifferences(const DeviceProfiles& expected,
                                                const DeviceProfiles& actual) {
    std::array<bool, kGroupCount> all{};
    all.fill(true);
    return profileDifferences(expected, actual, all);
}

DeviceProfiles asShownInWindow(const DeviceProfiles& profiles) {
    DeviceProfiles shown = profiles;
    for (WwanProfile& wwan : shown.wwan) {
        wwan.pdpType = shownDigit(wwan.pdpType, pdpTypeItems());
        wwan.authType = shownDigit(wwan.authType, authTypeItems());
    }
    shown.wifi.security = shownDigit(shown.wifi.security, securityItems());
    shown.wifi.keyFormat = shownDigit(shown.wifi.keyFormat, keyFormatItems());
    return shown;
}

EnteredTexts enteredTexts(const DeviceProfiles& profiles) {
    EnteredTexts texts;
    for (std::size_t i = 0; i < texts.wwan.size(); ++i) {
        texts.wwan[i] = {profiles.wwan[i].apn, profiles.wwan[i].userName,
                         profiles.wwan[i].password};
    }
    texts.ssid = profiles.wifi.ssid;
    texts.passphrase = profiles.wifi.passphrase;
    texts.keyFormat =
        selectionForDigit(profiles.wifi.keyFormat, static_cast<int>(keyFormatItems().size()));
    return texts;
}

QString itemText(const ProfileField& field, const QString& digit) {
    const QStringList items = itemsOf(field);
    const int index = selectionForDigit(digit, static_cast<int>(items.size()));
    return index >= 0 ? items[index] : digit;
}

}  // namespace kvu
