// Every message box and modal helper dialog of the program goes through this interface, so that
// tests can answer them without a screen. The real implementation uses Qt's dialogs.
#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace kvu {

class DialogService {
  public:
    enum class Icon { Information, Warning, Error };

    virtual ~DialogService() = default;

    // A message box with an OK button only; its caption is always the application title.
    virtual void messageBox(QWidget* parent, const QString& text, Icon icon) = 0;

    // Runs a fully built modal helper dialog (About box, result dialog) and returns its result
    // code (QDialog::Accepted or QDialog::Rejected).
    virtual int execDialog(QDialog& dialog) = 0;
};

}  // namespace kvu
