#include "ui/qt_dialog_service.h"

#include <QDialog>
#include <QMessageBox>
#include <QtGlobal>

#include <spdlog/spdlog.h>

#include "app/app_info.h"
#include "app/log_format.h"
#include "ui/dialog_transcript.h"

namespace kvu {
namespace {

QString transcriptPath() {
    return qEnvironmentVariable(kDialogTranscriptVariable);
}

void writeTranscript(const QString& path, const QString& line) {
    QString error;
    if (!appendTranscriptLine(path, line, &error)) {
        spdlog::error("QtDialogService: cannot write dialog transcript {}: {}", path, error);
    }
}

QMessageBox::Icon toQtIcon(DialogService::Icon icon) {
    switch (icon) {
        case DialogService::Icon::Information:
            return QMessageBox::Information;
        case DialogService::Icon::Warning:
            return QMessageBox::Warning;
        case DialogService::Icon::Error:
            return QMessageBox::Critical;
    }
    return QMessageBox::Information;
}

}  // namespace

void QtDialogService::messageBox(QWidget* parent, const QString& text, Icon icon) {
    const QString path = transcriptPath();
    if (!path.isEmpty()) {
        writeTranscript(path, messageTranscriptLine(icon, text));
        return;
    }
    QMessageBox box(toQtIcon(icon), QString::fromUtf8(kAppTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

int QtDialogService::execDialog(QDialog& dialog) {
    const QString path = transcriptPath();
    if (!path.isEmpty()) {
        writeTranscript(path, dialogTranscriptLine(dialog.windowTitle()));
        return QDialog::Accepted;
    }
    return dialog.exec();
}

}  // namespace kvu
