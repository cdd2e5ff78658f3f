#include "kvuctl/preset_checks.h"

#include "settings/profile_fields.h"

namespace kvu::ctl {

std::optional<QString> presetBytesProblem(const QString& file, const QByteArray& bytes) {
    if (bytes.size() > kMaxPresetBytes) {
        return QStringLiteral("%1: too large for a preset (more than %2 bytes)")
            .arg(file)
            .arg(kMaxPresetBytes);
    }
    if (const qsizetype at = bytes.indexOf('\0'); at >= 0) {
        return QStringLiteral("%1: line %2 holds a NUL byte, which no entry may hold")
            .arg(file)
            .arg(bytes.left(at).count('\n') + 1);
    }
    return std::nullopt;
}

std::optional<QString> maskedSecretProblem(const QString& file, const presets::PresetLayer& layer) {
    const QString mask = QStringLiteral("********");
    for (const ProfileField& field : profileFields()) {
        if (field.secret && layer.groups[static_cast<std::size_t>(field.nNo)] &&
            fieldValue(layer.profiles, field) == mask) {
            return QStringLiteral(
                       "%1: %2 is \"%3\", the mask of a hidden secret, not the secret itself; "
                       "nothing was sent. A backup that can be written back comes from "
                       "`kvuctl read -o FILE` or `kvuctl read --show-secrets`.")
                .arg(file, field.name, mask);
        }
    }
    return std::nullopt;
}

}  // namespace kvu::ctl
