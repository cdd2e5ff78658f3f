// The dialog service of the running program: Qt message boxes and modal dialogs, or, when
// KVU_DIALOG_TRANSCRIPT names a file, one transcript line per dialog and its default answer at
// once without showing anything (tests that run the program unattended).
#pragma once

#include "ui/dialog_service.h"

namespace kvu {

class QtDialogService : public DialogService {
  public:
    void messageBox(QWidget* parent, const QString& text, Icon icon) override;
    // Unattended, a helper dialog counts as closed with its default button (OK).
    int execDialog(QDialog& dialog) override;
};

}  // namespace kvu
