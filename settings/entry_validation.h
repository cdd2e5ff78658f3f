// The checks an operator's entries must pass before they are written to the device: what the
// device accepts for each text, as one pure function over the texts in the window.
#pragma once

#include <QString>

#include <array>
#include <optional>

#include "settings/profiles.h"

namespace kvu {

enum class EntryKind { Apn, UserName, Password, Ssid, Passphrase };

// The texts as typed, and the Key Format list's selection (-1: none).
struct EnteredTexts {
    struct Wwan {
        QString apn;
        QString userName;
        QString password;
    };
    std::array<Wwan, kWwanCount> wwan;
    QString ssid;
    QString passphrase;
    int keyFormat = 0;
};

struct EntryRejection {
    int nNo = 0;  // 0-3 WWAN1-4, 4 Wi-Fi
    EntryKind entry = EntryKind::Apn;
    QString message;  // two lines: the entry's name, then what is wrong
};

// The first entry that fails, in the fixed order WWAN1 APN, user name, password ... WWAN4,
// then SSID and passphrase; nothing when all pass. Lengths count UTF-16 code units.
std::optional<EntryRejection> firstRejectedEntry(const EnteredTexts& texts);

// Every unit below 0x80 and none a space.
bool isAsciiWithoutSpace(const QString& text);
bool isHexDigits(const QString& text);

}  // namespace kvu
