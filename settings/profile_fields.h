// Every field of the five profiles by name, for comparing what was meant with what a device
// holds, and the profiles as the window's controls would hand them to a write.
#pragma once

#include <QString>

#include <array>
#include <vector>

#include "settings/entry_validation.h"
#include "settings/profiles.h"

namespace kvu {

// One field of one group, in the order the window shows them.
struct ProfileField {
    int nNo = 0;          // 0-3 WWAN1-4, 4 Wi-Fi
    const char* key;      // "apn", "user", "password", "pdp", "auth"; "ssid", "security", ...
    QString name;         // "WWAN2 APN", "Wi-Fi passphrase"
    bool secret = false;  // a password or the passphrase
};

struct FieldDifference {
    ProfileField field;
    QString expected;
    QString actual;
};

// The five fields of each WWAN group, then the four of Wi-Fi: 24 in all.
const std::vector<ProfileField>& profileFields();
QString fieldValue(const DeviceProfiles& profiles, const ProfileField& field);

// Fields of the groups in `groups` (indexes 0-4) whose values differ.
std::vector<FieldDifference> profileDifferences(const DeviceProfiles& expected,
                                                const DeviceProfiles& actual,
                                                const std::array<bool, kGroupCount>& groups);
std::vector<FieldDifference> profileDifferences(const DeviceProfiles& expected,
                                                const DeviceProfiles& actual);

// What the window's controls give back after showing `profiles`: an enumerated field that is no
// item of its list reads back as "-1" (no selection).
DeviceProfiles asShownInWindow(const DeviceProfiles& profiles);

// The texts the entry checks look at, as the window would hold them after showing `profiles`.
EnteredTexts enteredTexts(const DeviceProfiles& profiles);

// An enumerated field's item text ("IPV4"); the stored text itself for a text field, or when it
// names no item.
QString itemText(const ProfileField& field, const QString& digit);

}  // namespace kvu
