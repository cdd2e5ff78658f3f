// Log conventions shared by every subsystem: QString arguments become UTF-8 at the logging
// boundary, and secrets are replaced by a fixed mask before they reach any sink.
#pragma once

#include <fmt/format.h>
#include <QString>
#include <string_view>

namespace kvu {

// Stands in the log wherever a WWAN password or a Wi-Fi passphrase would be.
inline constexpr std::string_view kSecretMask = "********";

inline QString secretMask() {
    return QString::fromLatin1(kSecretMask.data(), static_cast<qsizetype>(kSecretMask.size()));
}

// A password or passphrase as the log shows it: the mask, or empty when there is none, so that a
// missing value stays visible.
inline QString secretForLog(const QString& secret) {
    return secret.isEmpty() ? QString() : secretMask();
}

}  // namespace kvu

template <>
struct fmt::formatter<QString> : fmt::formatter<std::string_view> {
    template <typename FormatContext>
    auto format(const QString& text, FormatContext& ctx) const -> decltype(ctx.out()) {
        const QByteArray utf8 = text.toUtf8();
        return fmt::formatter<std::string_view>::format(
            std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), ctx);
    }
};
