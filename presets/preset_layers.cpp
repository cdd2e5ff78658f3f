#include "presets/preset_layers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "presets/preset_files.h"

namespace kvu::presets {

namespace {

QString shown(const QString& file) {
    return QDir::toNativeSeparators(file);
}

// A file the reader would quietly take as empty is an error here: nobody means to load nothing.
bool readable(const QString& file, QString& error) {
    const QFileInfo info(file);
    if (!info.exists()) {
        error = QStringLiteral("%1: no such file").arg(shown(file));
        return false;
    }
    if (info.isDir()) {
        error = QStringLiteral("%1: is a folder, not a preset file").arg(shown(file));
        return false;
    }
    QFile probe(file);
    if (!probe.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: cannot be read (%2)").arg(shown(file), probe.errorString());
        return false;
    }
    return true;
}

bool validWwanGroup(int wwanGroup, QString& error) {
    if (wwanGroup >= 0 && wwanGroup < kWwanCount) {
        return true;
    }
    error = QStringLiteral("a .wwan file holds one WWAN group; name it (1-%1)").arg(kWwanCount);
    return false;
}

}  // namespace

PresetKind presetKindOf(const QString& file) {
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == u"all") {
        return PresetKind::All;
    }
    if (suffix == u"wwan") {
        return PresetKind::Wwan;
    }
    if (suffix == u"wifi") {
        return PresetKind::Wifi;
    }
    return PresetKind::Unknown;
}

PresetLayer layPresetOver(const QString& file, int wwanGroup, const DeviceProfiles& base) {
    PresetLayer layer;
    layer.profiles = base;
    if (!readable(file, layer.error)) {
        return layer;
    }
    switch (presetKindOf(file)) {
        case PresetKind::All:
            for (int nNo = 0; nNo < kWwanCount; ++nNo) {
                const std::size_t i = static_cast<std::size_t>(nNo);
                layer.groups[i] = readWwanPreset(nNo, file, true, layer.profiles.wwan[i]);
            }
            layer.groups[kWifiGroup] = readWifiPreset(file, layer.profiles.wifi);
            if (std::find(layer.groups.begin(), layer.groups.end(), true) == layer.groups.end()) {
                layer.error =
                    QStringLiteral("%1: none of the sections WWAN1, WWAN2, WWAN3, WWAN4, Wi-Fi")
                        .arg(shown(file));
                return layer;
            }
            break;
        case PresetKind::Wwan:
            if (!validWwanGroup(wwanGroup, layer.error)) {
                return layer;
            }
            if (!readWwanPreset(wwanGroup, file, false,
                                layer.profiles.wwan[static_cast<std::size_t>(wwanGroup)])) {
                layer.error = QStringLiteral("%1: no section WWAN").arg(shown(file));
                return layer;
            }
            layer.groups[static_cast<std::size_t>(wwanGroup)] = true;
            break;
        case PresetKind::Wifi:
            if (!readWifiPreset(file, layer.profiles.wifi)) {
                layer.error = QStringLiteral("%1: no section Wi-Fi").arg(shown(file));
                return layer;
            }
            layer.groups[kWifiGroup] = true;
            break;
        case PresetKind::Unknown:
            layer.error =
                QStringLiteral("%1: not a preset file (.all, .wwan or .wifi)").arg(shown(file));
            return layer;
    }
    layer.ok = true;
    return layer;
}

bool savePreset(const QString& file, int wwanGroup, const DeviceProfiles& profiles,
                QString& error) {
    switch (presetKindOf(file)) {
        case PresetKind::All:
            // The first section that fails stops the save, as the window's Save does.
            for (int nNo = 0; nNo < kWwanCount; ++nNo) {
                if (!writeWwanPreset(nNo, file, true, profiles.wwan[static_cast<std::size_t>(nNo)],
                                     error)) {
                    return false;
                }
            }
            return writeWifiPreset(file, profiles.wifi, error);
        case PresetKind::Wwan:
            return validWwanGroup(wwanGroup, error) &&
                   writeWwanPreset(wwanGroup, file, false,
                                   profiles.wwan[static_cast<std::size_t>(wwanGroup)], error);
        case PresetKind::Wifi:
            return writeWifiPreset(file, profiles.wifi, error);
        case PresetKind::Unknown:
            break;
    }
    error = QStringLiteral("%1: not a preset file (.all, .wwan or .wifi)").arg(shown(file));
    return false;
}

}  // namespace kvu::presets
