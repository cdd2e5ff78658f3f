#include "settings/profiles.h"

#include <gtest/gtest.h>

namespace kvu {
namespace {

struct DigitCase {
    const char* text;
    int items;
    int selection;
};

TEST(Profiles, DigitFieldSelectsItemByDecimalValue) {
    const DigitCase cases[] = {
        {"", 3, 0},  // empty text reads as 0
        {"0", 3, 0},   {"2", 3, 2},   {"1x", 3, 1},           {"abc", 3, 0}, {"3", 3, -1},
        {"-1", 3, -1}, {"02", 3, 2},  {"  +1", 3, 1},         {"\t2", 3, 2}, {"1", 2, 1},
        {"2", 2, -1},  {"- 1", 3, 0}, {"99999999999", 3, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(selectionForDigit(QString::fromUtf8(c.text), c.items), c.selection)
            << '"' << c.text << "\" with " << c.items << " items";
    }
}

TEST(Profiles, ReadDecimalSaturatesLikeTheCRuntime) {
    EXPECT_EQ(readDecimal("2147483647"), 2147483647);
    EXPECT_EQ(readDecimal("2147483648"), 2147483647);
    EXPECT_EQ(readDecimal("-2147483649"), -2147483647 - 1);
    EXPECT_EQ(readDecimal("-7z"), -7);
}

TEST(Profiles, SelectionReadsBackAsPlainIndex) {
    EXPECT_EQ(digitForSelection(2), "2");
    EXPECT_EQ(digitForSelection(-1), "-1");
    EXPECT_EQ(digitForSelection(selectionForDigit("02", 3)), "2");
}

TEST(Profiles, ValueSetsAndGroupNames) {
    EXPECT_EQ(authTypeItems(), (QStringList{"none", "CHAP", "PAP"}));
    EXPECT_EQ(pdpTypeItems(), (QStringList{"IPV4", "IPV6", "IPV4V6"}));
    EXPECT_EQ(securityItems(), (QStringList{"none", "WPA2-PSK (AES)"}));
    EXPECT_EQ(keyFormatItems(), (QStringList{"ASCII", "HEX"}));
    EXPECT_EQ(groupName(0), "WWAN1");
    EXPECT_EQ(groupName(3), "WWAN4");
    EXPECT_EQ(groupName(4), "Wi-Fi");
    EXPECT_TRUE(groupName(5).isEmpty());
}

}  // namespace
}  // namespace kvu
