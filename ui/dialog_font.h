// The font every dialog of the program is laid out with, and its dialog base units.
#pragma once

#include <QFont>

#include "ui/dialog_units.h"

namespace kvu::ui {

inline constexpr const char* kDialogFontFamily = "Segoe UI";
inline constexpr int kDialogFontPointSize = 9;

// "Segoe UI" 9 pt when that family is installed, else the system's general UI font.
QFont dialogFont();

// Base units measured from the font as the dialog manager measures them.
DialogBaseUnits baseUnitsForFont(const QFont& font);

}  // namespace kvu::ui
