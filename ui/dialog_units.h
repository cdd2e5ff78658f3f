// Dialog units: layout coordinates relative to the dialog font, converted to pixels the way the
// Windows dialog manager does, so that a layout table reads like a dialog resource.
#pragma once

#include <QRect>

namespace kvu::ui {

// Horizontal and vertical base units in pixels (average character width, font height).
struct DialogBaseUnits {
    int x = 0;
    int y = 0;
};

// A rectangle in dialog units: x, y, width, height as written in a resource.
struct DluRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

// The 52 letters whose total advance defines the average character width.
inline constexpr const char* kBaseUnitAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Base units from the pixel width of kBaseUnitAlphabet and the font height: the width is
// averaged over 52 letters and rounded half up. Non-positive inputs give a zero unit.
DialogBaseUnits baseUnitsFromMetrics(int alphabetWidth, int fontHeight);

// value * base / divisor rounded to the nearest integer, halves away from zero.
int mulDivRound(int value, int base, int divisor);

// One horizontal or vertical dialog-unit length in pixels (x: base.x / 4, y: base.y / 8).
int dluToPixelsX(int dlu, DialogBaseUnits base);
int dluToPixelsY(int dlu, DialogBaseUnits base);

// Position and size converted independently, as the dialog manager places controls.
QRect dluToPixels(const DluRect& rect, DialogBaseUnits base);

}  // namespace kvu::ui
