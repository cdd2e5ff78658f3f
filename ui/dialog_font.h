// The fonts the program's dialogs are laid out with, and their dialog base units.
#pragma once

#include <QFont>

#include "ui/dialog_units.h"

namespace kvu::ui {

inline constexpr const char* kDialogFontFamily = "Segoe UI";
inline constexpr int kDialogFontPointSize = 9;

// "Segoe UI" 9 pt when that family is installed, else the system's general UI font.
QFont dialogFont();

// The result dialog keeps its template's font. Where no font of that name is installed, the font
// system's substitute for it is drawn and measured.
inline constexpr const char* kResultDialogFontFamily = "MS Shell Dlg";
inline constexpr int kResultDialogFontPointSize = 8;
QFont resultDialogFont();

// Base units measured from the font as the dialog manager measures them.
DialogBaseUnits baseUnitsForFont(const QFont& font);

}  // namespace kvu::ui
