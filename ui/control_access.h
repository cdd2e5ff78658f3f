// Reading and setting the window's controls by id, for the files that make up the main window.
#pragma once

#include <QComboBox>
#include <QLineEdit>

#include "ui/main_dialog.h"

namespace kvu::ui {

inline QLineEdit* editOf(const CKVUUtilityDlg& dlg, int id) {
    return qobject_cast<QLineEdit*>(dlg.control(id));
}

inline QComboBox* comboOf(const CKVUUtilityDlg& dlg, int id) {
    return qobject_cast<QComboBox*>(dlg.control(id));
}

inline void setEditText(const CKVUUtilityDlg& dlg, int id, const QString& text) {
    if (QLineEdit* edit = editOf(dlg, id)) {
        edit->setText(text);
    }
}

inline QString editText(const CKVUUtilityDlg& dlg, int id) {
    const QLineEdit* edit = editOf(dlg, id);
    return edit != nullptr ? edit->text() : QString();
}

inline void enableControl(const CKVUUtilityDlg& dlg, int id, bool enable) {
    if (QWidget* widget = dlg.control(id)) {
        widget->setEnabled(enable);
    }
}

}  // namespace kvu::ui
