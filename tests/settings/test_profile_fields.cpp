// The profile fields by name: the comparison that read-back and diff rely on, and the profiles
// as the window's controls give them back.
#include "settings/profile_fields.h"

#include <gtest/gtest.h>

#include <set>

namespace kvu {
namespace {

TEST(ProfileFields, EachOfTheTwentyFourFieldsIsSeenOnceByName) {
    const std::vector<ProfileField>& fields = profileFields();
    ASSERT_EQ(fields.size(), 24u);
    std::set<QString> names;
    for (const ProfileField& field : fields) {
        names.insert(field.name);
    }
    EXPECT_EQ(names.size(), 24u);
    EXPECT_EQ(fields[0].name, "WWAN1 APN");
    EXPECT_EQ(fields[7].name, "WWAN2 password");
    EXPECT_TRUE(fields[7].secret);
    EXPECT_EQ(fields[23].name, "Wi-Fi passphrase");
    EXPECT_TRUE(fields[23].secret);

    // Changing one field at a time is seen as exactly that field, with both values.
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const ProfileField& field = fields[i];
        SCOPED_TRACE(field.name.toStdString());
        const DeviceProfiles before;
        DeviceProfiles after;
        if (field.nNo < kWifiGroup) {
            WwanProfile& w = after.wwan[static_cast<std::size_t>(field.nNo)];
            QString* members[] = {&w.apn, &w.userName, &w.password, &w.pdpType, &w.authType};
            *members[i % 5] = "x";
        } else {
            WifiProfile& w = after.wifi;
            QString* members[] = {&w.ssid, &w.security, &w.keyFormat, &w.passphrase};
            *members[i - 20] = "x";
        }
        EXPECT_EQ(fieldValue(after, field), "x");
        const std::vector<FieldDifference> one = profileDifferences(before, after);
        ASSERT_EQ(one.size(), 1u);
        EXPECT_EQ(one[0].field.name, field.name);
        EXPECT_EQ(one[0].expected, "");
        EXPECT_EQ(one[0].actual, "x");
        EXPECT_TRUE(profileDifferences(after, after).empty());
    }
}

TEST(ProfileFields, DifferencesCanBeLimitedToTheGroupsAFileSets) {
    DeviceProfiles device;
    device.wwan[0].apn = "device.apn";
    device.wifi.ssid = "DeviceAP";
    DeviceProfiles file = device;
    file.wwan[0].apn = "file.apn";
    file.wifi.ssid = "FileAP";
    std::array<bool, kGroupCount> onlyWifi{};
    onlyWifi[kWifiGroup] = true;
    const std::vector<FieldDifference> differences = profileDifferences(file, device, onlyWifi);
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(differences[0].field.name, "Wi-Fi SSID");
    EXPECT_EQ(profileDifferences(file, device).size(), 2u);
}

TEST(ProfileFields, ListFieldsReadBackAsTheControlsShowThem) {
    struct Row {
        const char* stored;
        const char* pdp;       // 3 items
        const char* security;  // 2 items
    };
    const Row rows[] = {
        {"0", "0", "0"}, {"2", "2", "-1"},  {"7", "-1", "-1"},
        {"", "0", "0"},  {" 1x", "1", "1"}, {"-1", "-1", "-1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        DeviceProfiles p;
        p.wwan[2].pdpType = row.stored;
        p.wwan[2].apn = row.stored;  // texts stay as they are
        p.wifi.security = row.stored;
        const DeviceProfiles shown = asShownInWindow(p);
        EXPECT_EQ(shown.wwan[2].pdpType, row.pdp);
        EXPECT_EQ(shown.wifi.security, row.security);
        EXPECT_EQ(shown.wwan[2].apn, row.stored);
    }
}

TEST(ProfileFields, ItemTextNamesListItemsAndLeavesTextsAlone) {
    const std::vector<ProfileField>& fields = profileFields();
    const ProfileField& apn = fields[0];
    const ProfileField& pdp = fields[3];
    const ProfileField& security = fields[21];
    EXPECT_EQ(itemText(apn, "1"), "1");
    EXPECT_EQ(itemText(pdp, "2"), "IPV4V6");
    EXPECT_EQ(itemText(pdp, "7"), "7");
    EXPECT_EQ(itemText(security, "1"), "WPA2-PSK (AES)");
}

TEST(ProfileFields, EntryTextsTakeTheKeyFormatAsTheListSelectsIt) {
    DeviceProfiles p;
    p.wwan[1] = {"apn", "user", "pw", "0", "0"};
    p.wifi = {"AP", "1", "1", "secret"};
    const EnteredTexts texts = enteredTexts(p);
    EXPECT_EQ(texts.wwan[1].apn, "apn");
    EXPECT_EQ(texts.wwan[1].password, "pw");
    EXPECT_EQ(texts.ssid, "AP");
    EXPECT_EQ(texts.keyFormat, 1);
    // HEX rules for a HEX key format: a 6-character passphrase is refused with the HEX message.
    const auto rejected = firstRejectedEntry(texts);
    ASSERT_TRUE(rejected.has_value());
    EXPECT_EQ(rejected->message, "Wi-Fi - Passphrase (HEX)\nPlease enter 64 digits.");
    p.wifi.keyFormat = "9";
    EXPECT_EQ(enteredTexts(p).keyFormat, -1);
}

}  // namespace
}  // namespace kvu
