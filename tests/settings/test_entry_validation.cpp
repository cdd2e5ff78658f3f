// The entry checks before a Write, from one table: which entry fails first and with what text.
#include "settings/entry_validation.h"

#include <gtest/gtest.h>

#include <functional>

namespace kvu {
namespace {

struct Case {
    const char* name;
    std::function<void(EnteredTexts&)> enter;
    // Expected rejection; nNo -1: everything passes.
    int nNo;
    EntryKind entry;
    const char* message;
};

QString repeat(const char* unit, int count) {
    return QString::fromUtf8(unit).repeated(count);
}

// A character outside the Basic Multilingual Plane: two UTF-16 units.
const QString kOutsideBmp = QString::fromUtf8("\xF0\x9F\x98\x80");

TEST(EntryValidation, FirstFailingEntryAndItsMessage) {
    const Case cases[] = {
        {"all empty passes", [](EnteredTexts&) {}, -1, EntryKind::Apn, ""},
        {"APN of 32 passes", [](EnteredTexts& t) { t.wwan[0].apn = repeat("a", 32); }, -1,
         EntryKind::Apn, ""},
        {"APN of 33", [](EnteredTexts& t) { t.wwan[1].apn = repeat("a", 33); }, 1, EntryKind::Apn,
         "WWAN 2 - APN\nPlease enter 32 characters or less."},
        {"long user name with a space gets the character message",
         [](EnteredTexts& t) { t.wwan[0].userName = repeat("a", 40) + " x"; }, 0,
         EntryKind::UserName,
         "WWAN 1 - User Name\nPlease enter only ASCII characters other than spaces."},
        {"accented password in WWAN3, WWAN4 and Wi-Fi not tested",
         [](EnteredTexts& t) {
             t.wwan[0].apn = "internet";
             t.wwan[1].password = "ok-pass";
             t.wwan[2].password = QString::fromUtf8("caf\xC3\xA9");
             t.wwan[3].apn = repeat("b", 50);
             t.ssid = "bad ssid";
         },
         2, EntryKind::Password,
         "WWAN 3 - Password\nPlease enter only ASCII characters other than spaces."},
        {"order within a group: APN before user name",
         [](EnteredTexts& t) {
             t.wwan[3].userName = "x y";
             t.wwan[3].apn = repeat("c", 33);
         },
         3, EntryKind::Apn, "WWAN 4 - APN\nPlease enter 32 characters or less."},
        {"a tab passes the ASCII rule",
         [](EnteredTexts& t) {
             t.wwan[0].apn = "in\tternet";
             t.ssid = "\x01\x7F";
         },
         -1, EntryKind::Apn, ""},
        {"outside the BMP fails the ASCII rule",
         [](EnteredTexts& t) { t.ssid = "net" + kOutsideBmp; }, 4, EntryKind::Ssid,
         "Wi-Fi - SSID\nPlease enter only ASCII characters other than spaces."},
        {"SSID of 33", [](EnteredTexts& t) { t.ssid = repeat("s", 33); }, 4, EntryKind::Ssid,
         "Wi-Fi - SSID\nPlease enter 32 characters or less."},
        {"ASCII passphrase of 7", [](EnteredTexts& t) { t.passphrase = repeat("p", 7); }, 4,
         EntryKind::Passphrase,
         "Wi-Fi - Passphrase (ASCII)\nPlease enter characters length of 8 to 63."},
        {"ASCII passphrase of 8 passes", [](EnteredTexts& t) { t.passphrase = repeat("p", 8); }, -1,
         EntryKind::Passphrase, ""},
        {"ASCII passphrase of 63 passes", [](EnteredTexts& t) { t.passphrase = repeat("p", 63); },
         -1, EntryKind::Passphrase, ""},
        {"ASCII passphrase of 64", [](EnteredTexts& t) { t.passphrase = repeat("p", 64); }, 4,
         EntryKind::Passphrase,
         "Wi-Fi - Passphrase (ASCII)\nPlease enter characters length of 8 to 63."},
        {"ASCII passphrase of 10 with a space: length passes first",
         [](EnteredTexts& t) { t.passphrase = "pass word1"; }, 4, EntryKind::Passphrase,
         "Wi-Fi - Passphrase (ASCII)\nPlease enter only ASCII characters other than spaces."},
        {"ASCII passphrase: a BMP-outside character counts two units",
         [](EnteredTexts& t) { t.passphrase = repeat("p", 62) + kOutsideBmp; }, 4,
         EntryKind::Passphrase,
         "Wi-Fi - Passphrase (ASCII)\nPlease enter characters length of 8 to 63."},
        {"HEX passphrase of 63",
         [](EnteredTexts& t) {
             t.keyFormat = 1;
             t.passphrase = repeat("a", 63);
         },
         4, EntryKind::Passphrase, "Wi-Fi - Passphrase (HEX)\nPlease enter 64 digits."},
        {"HEX passphrase of 65 whatever its characters",
         [](EnteredTexts& t) {
             t.keyFormat = 1;
             t.passphrase = repeat("z", 65);
         },
         4, EntryKind::Passphrase, "Wi-Fi - Passphrase (HEX)\nPlease enter 64 digits."},
        {"HEX passphrase of 64 with a g",
         [](EnteredTexts& t) {
             t.keyFormat = 1;
             t.passphrase = repeat("0", 63) + "g";
         },
         4, EntryKind::Passphrase,
         "Wi-Fi - Passphrase (HEX)\nPlease enter only hexadecimal characters."},
        {"HEX passphrase of 64 mixed case passes",
         [](EnteredTexts& t) {
             t.keyFormat = 1;
             t.passphrase = repeat("0123456789abcdefABCDEF", 3).left(64);
         },
         -1, EntryKind::Passphrase, ""},
        {"no Key Format selection takes the HEX rules",
         [](EnteredTexts& t) {
             t.keyFormat = -1;
             t.passphrase = "password123";
         },
         4, EntryKind::Passphrase, "Wi-Fi - Passphrase (HEX)\nPlease enter 64 digits."},
        {"empty passphrase passes with HEX", [](EnteredTexts& t) { t.keyFormat = 1; }, -1,
         EntryKind::Passphrase, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EnteredTexts texts;
        c.enter(texts);
        const std::optional<EntryRejection> got = firstRejectedEntry(texts);
        if (c.nNo < 0) {
            EXPECT_FALSE(got.has_value()) << got->message.toStdString();
            continue;
        }
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(got->nNo, c.nNo);
        EXPECT_EQ(got->entry, c.entry);
        EXPECT_EQ(got->message.toStdString(), c.message);
    }
}

}  // namespace
}  // namespace kvu
