#include "ui/qt_dialog_service.h"

#include <QMessageBox>

#include "app/app_info.h"

namespace kvu {

void QtDialogService::messageBox(QWidget* parent, const QString& text, Icon icon) {
    QMessageBox::Icon qtIcon = QMessageBox::Information;
    if (icon == Icon::Warning) {
        qtIcon = QMessageBox::Warning;
    } else if (icon == Icon::Error) {
        qtIcon = QMessageBox::Critical;
    }
    QMessageBox box(qtIcon, QString::fromUtf8(kAppTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace kvu
