// Dialog units to pixels, and base units from font measures.
#include <gtest/gtest.h>

#include "ui/dialog_units.h"

using namespace kvu::ui;

TEST(DialogUnits, BaseUnitsAverageTheAlphabetRoundingHalfUp) {
    struct Case {
        int alphabetWidth;
        int height;
        int x;
        int y;
    };
    const Case cases[] = {
        {364, 15, 7, 15},  // exactly 7 per letter
        {337, 15, 6, 15},  // 6.48: down
        {338, 16, 7, 16},  // 6.5: up
        {390, 13, 8, 13},  // 7.5: up
        {389, 13, 7, 13},  // 7.48: down
        {0, 0, 0, 0},     {-5, -3, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.alphabetWidth);
        const DialogBaseUnits u = baseUnitsFromMetrics(c.alphabetWidth, c.height);
        EXPECT_EQ(u.x, c.x);
        EXPECT_EQ(u.y, c.y);
    }
}

TEST(DialogUnits, MulDivRoundsToNearestHalvesAwayFromZero) {
    struct Case {
        int value, base, divisor, result;
    };
    const Case cases[] = {
        {10, 7, 4, 18},  // 17.5
        {9, 7, 4, 16},   // 15.75
        {5, 7, 4, 9},    // 8.75
        {3, 6, 4, 5},    // 4.5
        {-3, 6, 4, -5},  // -4.5
        {1, 15, 8, 2},   // 1.875
        {4, 15, 8, 8},   // 7.5
        {3, 15, 8, 6},   // 5.625
        {0, 15, 8, 0},
        {7, 3, 0, 0},                   // no divisor: nothing sensible, no crash
        {1000000, 5000, 8, 625000000},  // beyond 32-bit intermediate
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << "*" << c.base << "/" << c.divisor);
        EXPECT_EQ(mulDivRound(c.value, c.base, c.divisor), c.result);
    }
}

TEST(DialogUnits, RectanglesConvertPositionAndSizeSeparately) {
    const DialogBaseUnits units{7, 15};
    // x = 18*7/4 = 31.5 -> 32; w = 50*7/4 = 87.5 -> 88; y = 18*15/8 = 33.75 -> 34; h = 26.25 -> 26
    EXPECT_EQ(dluToPixels({18, 18, 50, 14}, units), QRect(32, 34, 88, 26));
    EXPECT_EQ(dluToPixelsX(528, units), 924);
    EXPECT_EQ(dluToPixelsY(280, units), 525);
    const DialogBaseUnits segoe{7, 16};  // 9 pt at 96 dpi
    EXPECT_EQ(dluToPixels({6, 6, 168, 132}, segoe), QRect(11, 12, 294, 264));
}
