// The main window as one table of controls, written like its dialog resource: the window is
// built from this table and tests check the built window against it.
#pragma once

#include <span>

#include "ui/dialog_units.h"

namespace kvu::ui {

enum class ControlKind { GroupBox, PushButton, Label, Edit, DropDownList, CheckBox };

// Style bits of a control, combined with |.
enum ControlFlag : unsigned {
    kNoFlags = 0,
    kDisabled = 1u << 0,
    kReadOnly = 1u << 1,
    kHidden = 1u << 2,
    kRightAlign = 1u << 3,
    kNoBorder = 1u << 4,
    kLargeFont = 1u << 5,  // the status edit: the dialog font at twice its size
};

struct ControlSpec {
    int id;  // IDC_STATIC for controls nobody addresses
    ControlKind kind;
    const char* text;                    // UTF-8 caption; empty for edits and lists
    std::span<const char* const> items;  // list entries in display order (unsorted)
    DluRect rect;
    unsigned flags;
};

// Client area of the main window in dialog units.
inline constexpr int kMainDialogWidth = 528;
inline constexpr int kMainDialogHeight = 280;

// Every control of the main window in resource order; the focusable ones in this order are the
// tab order.
std::span<const ControlSpec> mainDialogControls();

// The row of one control id, or nullptr.
const ControlSpec* findControlSpec(int id);

}  // namespace kvu::ui
