#include "ui/qt_dialog_service.h"

#include "ui/control_tag.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QtGlobal>

#include <utility>
#include <vector>

#include <spdlog/spdlog.h>

#include "logging/app_info.h"
#include "logging/log_format.h"
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

QStringList qtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        if (patterns.isEmpty()) {
            continue;
        }
        // Qt reads the patterns from the brackets at the end of the description.
        const QString bracketed = u'(' + patterns.join(u' ') + u')';
        if (description.endsWith(bracketed)) {
            filters.append(description);
        } else if (description.isEmpty()) {
            filters.append(bracketed);
        } else {
            filters.append(description + u' ' + bracketed);
        }
    }
    return filters;
}

QString suffixOfPattern(const QString& pattern) {
    if (!pattern.startsWith(QStringLiteral("*."))) {
        return QString();
    }
    const QString suffix = pattern.mid(2);
    const bool wildcard = suffix.contains(u'*') || suffix.contains(u'?');
    return wildcard ? QString() : suffix;
}

FileDialogResult QtDialogService::fileDialog(QWidget* parent, const FileDialogRequest& request) {
    const QString path = transcriptPath();
    if (!path.isEmpty()) {
        writeTranscript(path, fileDialogTranscriptLine(request));
        return {};
    }

    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // Neither kind insists that the file exists, and a save replaces a file without asking.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (request.kind == FileDialogRequest::Kind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
    }
    dialog.setNameFilters(qtNameFilters(request.filter));
    dialog.setDefaultSuffix(suffixOfPattern(request.defaultExtension));

    std::vector<std::pair<int, QCheckBox*>> boxes;
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!request.checkButtons.empty() && grid != nullptr) {
        auto* row = new QHBoxLayout;
        for (const FileDialogRequest::CheckButton& button : request.checkButtons) {
            auto* box = new QCheckBox(button.label, &dialog);
            kvu::ui::tagControl(box, button.id);
            box->setChecked(button.checked);
            row->addWidget(box);
            boxes.emplace_back(button.id, box);
        }
        row->addStretch();
        grid->addLayout(row, grid->rowCount(), 0, 1, grid->columnCount());
    }

    FileDialogResult result;
    result.accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (!result.accepted) {
        return result;
    }
    result.path = QDir::toNativeSeparators(dialog.selectedFiles().first());
    for (const auto& [id, box] : boxes) {
        result.checkStates[id] = box->isChecked();
    }
    return result;
}

}  // namespace kvu
