// Reading and saving preset files on disk: bounded reads, and saves that replace the file in
// one step so that a failure never leaves a half-written preset behind.
#pragma once

#include <QString>

#include "presets/ini_document.h"

namespace kvu::presets {

// Preset files are a few hundred bytes; anything above this is not read.
inline constexpr qint64 kMaxIniFileSize = 1024 * 1024;

// For lookups: a missing, unreadable, oversized or non-regular file reads as an empty document.
IniDocument readIniFile(const QString& path);

// For changing a file: a missing file gives an empty document; a file that exists but cannot
// be read whole fails with "<path>: <reason>", so that saving never drops its contents.
bool readIniFileForUpdate(const QString& path, IniDocument& document, QString& error);

// Writes a temporary file in the same folder and renames it over the target. On failure the
// old file is left as it was and error holds "<path>: <reason>".
bool writeIniFile(const QString& path, const IniDocument& document, QString& error);

}  // namespace kvu::presets
