#include "ui/dialog_transcript.h"

#include <QFile>

namespace kvu {

QString iconName(DialogService::Icon icon) {
    switch (icon) {
        case DialogService::Icon::Information:
            return QStringLiteral("Information");
        case DialogService::Icon::Warning:
            return QStringLiteral("Warning");
        case DialogService::Icon::Error:
            return QStringLiteral("Error");
    }
    return QStringLiteral("Information");
}

QString escapeTranscriptText(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\') {
            escaped += QStringLiteral("\\\\");
        } else if (c == u'\n') {
            escaped += QStringLiteral("\\n");
        } else if (c == u'\r') {
            escaped += QStringLiteral("\\r");
        } else {
            escaped += c;
        }
    }
    return escaped;
}

QString messageTranscriptLine(DialogService::Icon icon, const QString& text) {
    return iconName(icon) + u'\t' + escapeTranscriptText(text);
}

QString dialogTranscriptLine(const QString& caption) {
    return QStringLiteral("Dialog\t") + escapeTranscriptText(caption);
}

QString fileDialogTranscriptLine(const FileDialogRequest& request) {
    const QString kind = request.kind == FileDialogRequest::Kind::Open ? QStringLiteral("FileOpen")
                                                                       : QStringLiteral("FileSave");
    return kind + u'\t' + escapeTranscriptText(request.defaultExtension) + u'\t' +
           escapeTranscriptText(request.filter);
}

bool appendTranscriptLine(const QString& path, const QString& line, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error != nullptr) {
            *error = file.errorString();
        }
        return false;
    }
    const QByteArray bytes = (line + u'\n').toUtf8();
    if (file.write(bytes) != bytes.size()) {
        if (error != nullptr) {
            *error = file.errorString();
        }
        return false;
    }
    return true;
}

}  // namespace kvu
