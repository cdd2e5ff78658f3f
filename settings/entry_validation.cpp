#include "settings/entry_validation.h"

namespace kvu {

namespace {

const char* const kAsciiMessage = "Please enter only ASCII characters other than spaces.";
const char* const kLength32Message = "Please enter 32 characters or less.";
const char* const kLength8To63Message = "Please enter characters length of 8 to 63.";
const char* const kHexMessage = "Please enter only hexadecimal characters.";
const char* const kHex64Message = "Please enter 64 digits.";

constexpr qsizetype kMaxText = 32;
constexpr qsizetype kMinAsciiPassphrase = 8;
constexpr qsizetype kMaxAsciiPassphrase = 63;
constexpr qsizetype kHexPassphrase = 64;

// The message for a 32-unit text, characters tested first; nothing when it passes.
const char* shortTextProblem(const QString& text) {
    if (text.isEmpty()) {
        return nullptr;
    }
    if (!isAsciiWithoutSpace(text)) {
        return kAsciiMessage;
    }
    if (text.size() > kMaxText) {
        return kLength32Message;
    }
    return nullptr;
}

// Length first, then characters; the key format decides which rules.
const char* passphraseProblem(const QString& text, bool asciiFormat) {
    if (text.isEmpty()) {
        return nullptr;
    }
    if (asciiFormat) {
        if (text.size() < kMinAsciiPassphrase || text.size() > kMaxAsciiPassphrase) {
            return kLength8To63Message;
        }
        return isAsciiWithoutSpace(text) ? nullptr : kAsciiMessage;
    }
    if (text.size() != kHexPassphrase) {
        return kHex64Message;
    }
    return isHexDigits(text) ? nullptr : kHexMessage;
}

QString wwanMessage(int nNo, const char* entryName, const char* problem) {
    return QStringLiteral("WWAN %1 - %2\n%3")
        .arg(nNo + 1)
        .arg(QLatin1StringView(entryName), QLatin1StringView(problem));
}

}  // namespace

bool isAsciiWithoutSpace(const QString& text) {
    for (const QChar unit : text) {
        if (unit.unicode() >= 0x80 || unit.unicode() == 0x20) {
            return false;
        }
    }
    return true;
}

bool isHexDigits(const QString& text) {
    for (const QChar unit : text) {
        const char16_t c = unit.unicode();
        const bool hex =
            (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
        if (!hex) {
            return false;
        }
    }
    return true;
}

std::optional<EntryRejection> firstRejectedEntry(const EnteredTexts& texts) {
    struct WwanEntry {
        EntryKind kind;
        const char* name;
        const QString EnteredTexts::Wwan::*text;
    };
    const WwanEntry wwanEntries[] = {
        {EntryKind::Apn, "APN", &EnteredTexts::Wwan::apn},
        {EntryKind::UserName, "User Name", &EnteredTexts::Wwan::userName},
        {EntryKind::Password, "Password", &EnteredTexts::Wwan::password},
    };
    for (int nNo = 0; nNo < kWwanCount; ++nNo) {
        const EnteredTexts::Wwan& group = texts.wwan[static_cast<std::size_t>(nNo)];
        for (const WwanEntry& entry : wwanEntries) {
            if (const char* problem = shortTextProblem(group.*entry.text)) {
                return EntryRejection{nNo, entry.kind, wwanMessage(nNo, entry.name, problem)};
            }
        }
    }
    if (const char* problem = shortTextProblem(texts.ssid)) {
        return EntryRejection{kWifiGroup, EntryKind::Ssid,
                              QStringLiteral("Wi-Fi - SSID\n") + QLatin1StringView(problem)};
    }
    // Only item 0 is ASCII: HEX and no selection both take the HEX rules.
    const bool asciiFormat = texts.keyFormat == 0;
    if (const char* problem = passphraseProblem(texts.passphrase, asciiFormat)) {
        const QString name = asciiFormat ? QStringLiteral("Wi-Fi - Passphrase (ASCII)\n")
                                         : QStringLiteral("Wi-Fi - Passphrase (HEX)\n");
        return EntryRejection{kWifiGroup, EntryKind::Passphrase, name + QLatin1StringView(problem)};
    }
    return std::nullopt;
}

}  // namespace kvu
