#include "presets/ini_encoding.h"

#include <array>

namespace kvu::presets {

namespace {

// 0x80..0x9F; the five bytes Windows leaves undefined map to the C1 control of the same value,
// as its own conversion does, so that every byte survives a round trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

// The Windows-1252 byte of a character, or -1 when it has none.
int windows1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return c;
    }
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

}  // namespace

QString decodeWindows1252(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        out.append(QChar(u >= 0x80 && u <= 0x9F ? kHighControls[u - 0x80] : char16_t(u)));
    }
    return out;
}

QByteArray encodeWindows1252(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        const int b = windows1252Byte(c.unicode());
        out.append(static_cast<char>(b < 0 ? '?' : b));
    }
    return out;
}

bool fitsWindows1252(QStringView text) {
    for (QChar c : text) {
        if (windows1252Byte(c.unicode()) < 0) {
            return false;
        }
    }
    return true;
}

bool isAscii(QByteArrayView bytes) {
    for (char b : bytes) {
        if (static_cast<unsigned char>(b) >= 0x80) {
            return false;
        }
    }
    return true;
}

bool isValidUtf8(QByteArrayView bytes) {
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        unsigned char lo = 0x80;  // bounds of the second byte rule out overlongs and surrogates
        unsigned char hi = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            extra = 1;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            extra = 2;
            lo = b0 == 0xE0 ? 0xA0 : 0x80;
            hi = b0 == 0xED ? 0x9F : 0xBF;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            extra = 3;
            lo = b0 == 0xF0 ? 0x90 : 0x80;
            hi = b0 == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (n - i <= extra) {
            return false;
        }
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        if (b1 < lo || b1 > hi) {
            return false;
        }
        for (int k = 2; k <= extra; ++k) {
            const auto bk = static_cast<unsigned char>(bytes[i + k]);
            if (bk < 0x80 || bk > 0xBF) {
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

DetectedEncoding detectEncoding(QByteArrayView bytes) {
    if (bytes.startsWith(QByteArrayView("\xFF\xFE", 2))) {
        return {IniEncoding::Utf16Le, 2};
    }
    if (bytes.startsWith(QByteArrayView("\xEF\xBB\xBF", 3))) {
        return {IniEncoding::Utf8Bom, 3};
    }
    if (!isAscii(bytes) && isValidUtf8(bytes)) {
        return {IniEncoding::Utf8, 0};
    }
    return {IniEncoding::Ansi, 0};
}

QByteArray byteOrderMark(IniEncoding encoding) {
    switch (encoding) {
        case IniEncoding::Utf8Bom:
            return QByteArray("\xEF\xBB\xBF", 3);
        case IniEncoding::Utf16Le:
            return QByteArray("\xFF\xFE", 2);
        case IniEncoding::Ansi:
        case IniEncoding::Utf8:
            break;
    }
    return {};
}

QString decodeText(IniEncoding encoding, QByteArrayView bytes) {
    switch (encoding) {
        case IniEncoding::Ansi:
            return decodeWindows1252(bytes);
        case IniEncoding::Utf8:
        case IniEncoding::Utf8Bom:
            return QString::fromUtf8(bytes);
        case IniEncoding::Utf16Le: {
            // Unit by unit, so that even a lone surrogate comes back as the same bytes.
            QString out;
            out.reserve(bytes.size() / 2);
            for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
                out.append(QChar(char16_t(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8))));
            }
            return out;
        }
    }
    return {};
}

QByteArray encodeText(IniEncoding encoding, QStringView text) {
    switch (encoding) {
        case IniEncoding::Ansi:
            return encodeWindows1252(text);
        case IniEncoding::Utf8:
        case IniEncoding::Utf8Bom:
            return text.toUtf8();
        case IniEncoding::Utf16Le: {
            QByteArray out;
            out.reserve(text.size() * 2);
            for (QChar c : text) {
                out.append(static_cast<char>(c.unicode() & 0xFF));
                out.append(static_cast<char>(c.unicode() >> 8));
            }
            return out;
        }
    }
    return {};
}

}  // namespace kvu::presets
