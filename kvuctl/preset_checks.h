// What makes a preset file bad input for kvuctl beyond the window's entry checks: a file too
// large to be a preset, a NUL byte, a secret that is only the mask of one.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include "presets/preset_layers.h"

namespace kvu::ctl {

// A preset holds five short groups: anything near this size is some other file.
constexpr qsizetype kMaxPresetBytes = 64 * 1024;

// Why `bytes`, the content of `file`, cannot be a preset; nothing when it may be one.
std::optional<QString> presetBytesProblem(const QString& file, const QByteArray& bytes);

// The first secret among the file's groups that holds the mask "********" that kvuctl shows
// for a hidden secret: written, it would become the password.
std::optional<QString> maskedSecretProblem(const QString& file, const presets::PresetLayer& layer);

}  // namespace kvu::ctl
