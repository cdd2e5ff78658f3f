// Byte helpers for INI fixtures: literal bytes (NULs and high bytes included) and the bytes of
// a UTF-16LE file with its byte-order mark.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>

namespace kvu::presets::test {

template <size_t N>
QByteArray raw(const char (&text)[N]) {
    return QByteArray(text, static_cast<qsizetype>(N - 1));
}

inline QByteArray utf16File(const QString& text) {
    QByteArray out("\xFF\xFE", 2);
    for (QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

}  // namespace kvu::presets::test
