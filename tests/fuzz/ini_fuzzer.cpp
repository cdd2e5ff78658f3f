// Feeds arbitrary file bytes to the preset INI reader, sets one key as a save would, and aborts
// when the reader or writer breaks a promise: unchanged files keep every byte, a written value
// reads back, and nothing else changes.
//
// Input: byte 0 picks the key and the section, byte 1 the length of the value taken from the
// end of the input; the bytes in between are the file.
#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "presets/ini_document.h"
#include "presets/preset_files.h"

namespace {

using kvu::presets::IniDocument;
using kvu::presets::kMaxIniValueLength;

const std::array<const char*, 8> kKeys = {
    "APN", "USERNAME", "PASSWORD", "AUTHTYPE", "PDPTYPE", "SSID", "PASSPHRASE", "SECURITY",
};
const QString kMissing = QStringLiteral("\x01missing");

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

bool isBlank(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || (u >= 0x09 && u <= 0x0D) || u == 0x1A;
}

bool hasLineBreak(const QString& s) {
    return s.contains(u'\r') || s.contains(u'\n');
}

// Latin-1, with two bytes standing for characters outside Windows-1252 and inside it.
QString valueFrom(const uint8_t* data, size_t size) {
    QString out;
    for (size_t i = 0; i < size; ++i) {
        out.append(data[i] == 0xFE   ? QChar(0x4E2D)
                   : data[i] == 0xFD ? QChar(0x20AC)
                                     : QChar(char16_t(data[i])));
    }
    return out;
}

void checkRead(const IniDocument& doc, const QStringList& names) {
    for (const QString& name : names) {
        check(!name.isEmpty() && !isBlank(name.front()) && !isBlank(name.back()),
              "section names are trimmed and not empty");
        check(!hasLineBreak(name), "section names hold no line break");
    }
    for (qsizetype i = 0; i < names.size() && i < 8; ++i) {
        for (const char* key : kKeys) {
            const QString v = doc.value(names[i], QString::fromLatin1(key), kMissing);
            check(v.size() <= kMaxIniValueLength, "values are capped");
            check(!hasLineBreak(v), "values hold no line break");
        }
    }
    for (const char* probe : {"WWAN", "Wi-Fi"}) {
        const QString section = QString::fromLatin1(probe);
        bool named = false;
        for (const QString& name : names) {
            named = named || name.startsWith(section);  // the last listed name may be cut
        }
        check(!kvu::presets::isSectionListed(names, section) || named,
              "a listed section is one of the names, case included");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const QString key = QString::fromLatin1(kKeys[data[0] % kKeys.size()]);
    const size_t valueSize = std::min<size_t>(data[1], size - 2);
    const QByteArray file(reinterpret_cast<const char*>(data + 2),
                          static_cast<qsizetype>(size - 2 - valueSize));
    const QString value = valueFrom(data + size - valueSize, valueSize);

    IniDocument doc = IniDocument::fromBytes(file);
    check(doc.toBytes() == file, "an unchanged document keeps every byte");
    const QStringList names = doc.sectionNames();
    checkRead(doc, names);

    const bool useExisting = (data[0] & 0x08) != 0 && !names.isEmpty();
    const QString section = useExisting             ? names[(data[0] >> 4) % names.size()]
                            : (data[0] & 0x10) != 0 ? QStringLiteral("Wi-Fi")
                                                    : QStringLiteral("WWAN");
    const IniDocument before = doc;
    const bool stored = doc.setValue(section, key, value);
    check(stored == !hasLineBreak(value), "every value without a line break is stored");
    if (!stored) {
        check(doc.toBytes() == file, "a refused value changes nothing");
        return 0;
    }

    const IniDocument reread = IniDocument::fromBytes(doc.toBytes());
    check(reread.value(section, key, kMissing) == value.left(kMaxIniValueLength),
          "the written value reads back");
    bool known = false;
    for (const QString& name : names) {
        known = known || name.compare(section, Qt::CaseInsensitive) == 0;
    }
    check(reread.sectionNames() == (known ? names : names + QStringList{section}),
          "only a missing section is added");
    for (qsizetype i = 0; i < names.size() && i < 8; ++i) {
        for (const char* k : kKeys) {
            const QString other = QString::fromLatin1(k);
            if (names[i].compare(section, Qt::CaseInsensitive) == 0 &&
                other.compare(key, Qt::CaseInsensitive) == 0) {
                continue;
            }
            check(
                reread.value(names[i], other, kMissing) == before.value(names[i], other, kMissing),
                "other keys keep their values");
        }
    }
    return 0;
}
