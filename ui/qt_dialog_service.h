// The dialog service of the running program: Qt message boxes, modal and file dialogs, or, when
// KVU_DIALOG_TRANSCRIPT names a file, one transcript line per dialog and its default answer at
// once without showing anything (tests that run the program unattended).
#pragma once

#include <QString>
#include <QStringList>

#include "ui/dialog_service.h"

namespace kvu {

// One name filter per description and pattern pair: "WWAN Preset File(*.wwan)|*.wwan|" gives
// "WWAN Preset File(*.wwan)". A description that does not end with its patterns in brackets
// gets them appended, " (*.a *.b)" for "*.a;*.b". A pair without a pattern is dropped.
QStringList qtNameFilters(const QString& filter);

// The default-extension pattern as a suffix: "*.wwan" gives "wwan"; a pattern that names no
// plain extension ("*.*", "*", "") gives "".
QString suffixOfPattern(const QString& pattern);

class QtDialogService : public DialogService {
  public:
    void messageBox(QWidget* parent, const QString& text, Icon icon) override;
    // Unattended, a helper dialog counts as closed with its default button (OK).
    int execDialog(QDialog& dialog) override;
    // Qt's own file dialog rather than the system's, so that check buttons can join its layout
    // (object name and property "controlId" carry their ids). Unattended it counts as cancelled.
    FileDialogResult fileDialog(QWidget* parent, const FileDialogRequest& request) override;
};

}  // namespace kvu
