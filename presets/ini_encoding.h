// Character encodings of preset files: how their bytes become text and back, with our own
// Windows-1252 table so that files move between this program and Windows in both directions.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace kvu::presets {

enum class IniEncoding {
    Ansi,     // Windows-1252 without a byte-order mark; plain ASCII files too
    Utf8,     // valid UTF-8 without a byte-order mark
    Utf8Bom,  // UTF-8 after EF BB BF
    Utf16Le,  // UTF-16LE after FF FE
};

struct DetectedEncoding {
    IniEncoding encoding = IniEncoding::Ansi;
    qsizetype bomSize = 0;
};

// The encoding a file's bytes are read in: the UTF-16LE mark first, then a UTF-8 mark, then
// valid UTF-8 with at least one non-ASCII byte; everything else is Windows-1252.
DetectedEncoding detectEncoding(QByteArrayView bytes);

QByteArray byteOrderMark(IniEncoding encoding);

// Bytes after the byte-order mark to text and back. Decoding never fails; encoding replaces
// characters that have no Windows-1252 byte with '?', so check fitsWindows1252 first.
QString decodeText(IniEncoding encoding, QByteArrayView bytes);
QByteArray encodeText(IniEncoding encoding, QStringView text);

QString decodeWindows1252(QByteArrayView bytes);
QByteArray encodeWindows1252(QStringView text);
bool fitsWindows1252(QStringView text);

// Strict: no overlong forms, no surrogates, nothing above U+10FFFF, no cut-off sequence.
bool isValidUtf8(QByteArrayView bytes);
bool isAscii(QByteArrayView bytes);

}  // namespace kvu::presets
