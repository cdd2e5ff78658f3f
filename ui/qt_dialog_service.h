// The dialog service of the running program: Qt message boxes, or a transcript file and the
// default answers when KVU_DIALOG_TRANSCRIPT is set (tests that run the program unattended).
#pragma once

#include "ui/dialog_service.h"

namespace kvu {

class QtDialogService : public DialogService {
  public:
    void messageBox(QWidget* parent, const QString& text, Icon icon) override;
};

}  // namespace kvu
