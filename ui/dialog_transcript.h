// The unattended form of the dialogs: one line per dialog appended to a file, for tests that
// run the whole program as a separate process and check what it would have shown.
#pragma once

#include <QString>

#include "ui/dialog_service.h"

namespace kvu {

// Environment variable naming the transcript file; unset or empty means dialogs are shown.
inline constexpr const char* kDialogTranscriptVariable = "KVU_DIALOG_TRANSCRIPT";

// "Information", "Warning" or "Error".
QString iconName(DialogService::Icon icon);

// Backslash, CR and LF written as \\, \r and \n, so that one dialog is one line.
QString escapeTranscriptText(const QString& text);

// "<icon>\t<escaped text>" for a message box.
QString messageTranscriptLine(DialogService::Icon icon, const QString& text);

// "Dialog\t<escaped caption>" for a modal helper dialog.
QString dialogTranscriptLine(const QString& caption);

// "FileOpen\t<default extension>\t<filter>" (or "FileSave..."), each text escaped, for a file
// dialog. Unattended, a file dialog counts as cancelled: nobody chose a file.
QString fileDialogTranscriptLine(const FileDialogRequest& request);

// Appends line and a line feed, UTF-8. False with the reason in error when the file cannot
// be written.
bool appendTranscriptLine(const QString& path, const QString& line, QString* error = nullptr);

}  // namespace kvu
