#include "ui/dialog_units.h"

#include <cstdint>

namespace kvu::ui {

DialogBaseUnits baseUnitsFromMetrics(int alphabetWidth, int fontHeight) {
    DialogBaseUnits units;
    // (width / 26 + 1) / 2 is width / 52 rounded half up, in integers as the system computes it.
    units.x = alphabetWidth > 0 ? (alphabetWidth / 26 + 1) / 2 : 0;
    units.y = fontHeight > 0 ? fontHeight : 0;
    return units;
}

int mulDivRound(int value, int base, int divisor) {
    if (divisor == 0) {
        return 0;
    }
    const std::int64_t product = static_cast<std::int64_t>(value) * base;
    const bool negative = (product < 0) != (divisor < 0);
    const std::int64_t magnitude = product < 0 ? -product : product;
    const std::int64_t d = divisor < 0 ? -static_cast<std::int64_t>(divisor) : divisor;
    const std::int64_t rounded = (magnitude + d / 2) / d;
    return static_cast<int>(negative ? -rounded : rounded);
}

int dluToPixelsX(int dlu, DialogBaseUnits base) {
    return mulDivRound(dlu, base.x, 4);
}

int dluToPixelsY(int dlu, DialogBaseUnits base) {
    return mulDivRound(dlu, base.y, 8);
}

QRect dluToPixels(const DluRect& rect, DialogBaseUnits base) {
    return QRect(dluToPixelsX(rect.x, base), dluToPixelsY(rect.y, base), dluToPixelsX(rect.w, base),
                 dluToPixelsY(rect.h, base));
}

}  // namespace kvu::ui
