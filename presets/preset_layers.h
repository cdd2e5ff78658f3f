// Whole preset files for a front end that works without the window: which kind a file is by its
// name, its sections laid over a device's profiles as the window's Load does, and a device's
// profiles saved as the window's Save does.
#pragma once

#include <QString>

#include <array>

#include "settings/profiles.h"

namespace kvu::presets {

enum class PresetKind { All, Wwan, Wifi, Unknown };

// By the file name's extension, in any letter case: .all, .wwan, .wifi.
PresetKind presetKindOf(const QString& file);

struct PresetLayer {
    bool ok = false;
    QString error;                           // why not, naming the file
    std::array<bool, kGroupCount> groups{};  // the groups the file set
    DeviceProfiles profiles;                 // the base with those groups replaced
};

// The file's sections over `base`: every section an .all file has (at least one of them), the
// one of a .wifi file, or the one of a .wwan file as group `wwanGroup` (0-3).
PresetLayer layPresetOver(const QString& file, int wwanGroup, const DeviceProfiles& base);

// Merges the profiles into the file (all five for .all, group `wwanGroup` for .wwan, Wi-Fi for
// .wifi), creating it where missing. False with the reason in `error`.
bool savePreset(const QString& file, int wwanGroup, const DeviceProfiles& profiles, QString& error);

}  // namespace kvu::presets
