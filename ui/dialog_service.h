// Every message box and modal helper dialog of the program goes through this interface, so that
// tests can answer them without a screen. The real implementation uses Qt's dialogs.
#pragma once

#include <QString>

#include <map>
#include <vector>

class QDialog;
class QWidget;

namespace kvu {

// A file dialog as the commands describe it, in the platform's terms.
struct FileDialogRequest {
    enum class Kind { Open, Save };
    // A check button added to the dialog, by id, with its label and first state.
    struct CheckButton {
        int id = 0;
        QString label;
        bool checked = false;
    };

    Kind kind = Kind::Open;
    QString defaultExtension;  // a pattern such as "*.wwan"
    // "Description|pattern|" entries, such as "All Preset File(*.all)|*.all|".
    QString filter;
    unsigned flags = 0;  // the platform's flag word; 1 is OFN_READONLY
    std::vector<CheckButton> checkButtons;
};

// How the operator closed a file dialog.
struct FileDialogResult {
    bool accepted = false;            // OK, not cancelled
    QString path;                     // full path of the chosen file, taken as it stands
    std::map<int, bool> checkStates;  // by check button id
};

// A check button whose state is not known counts as not ticked.
inline bool isTicked(const FileDialogResult& result, int id) {
    const auto it = result.checkStates.find(id);
    return it != result.checkStates.end() && it->second;
}

class DialogService {
  public:
    enum class Icon { Information, Warning, Error };

    virtual ~DialogService() = default;

    // A message box with an OK button only; its caption is always the application title.
    virtual void messageBox(QWidget* parent, const QString& text, Icon icon) = 0;

    // Runs a fully built modal helper dialog (About box, result dialog) and returns its result
    // code (QDialog::Accepted or QDialog::Rejected).
    virtual int execDialog(QDialog& dialog) = 0;

    // Shows a modal open or save file dialog and tells how it was closed.
    virtual FileDialogResult fileDialog(QWidget* parent, const FileDialogRequest& request) = 0;
};

}  // namespace kvu
