#include "presets/ini_document.h"

namespace kvu::presets {

namespace {

// Lines a save may add to a file (a section header and its keys, five times over) without
// the line table growing.
constexpr size_t kEditRoom = 64;

bool isBlank(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == 0x0B || u == 0x0C || u == u'\r' ||
           u == 0x1A;
}

QStringView trimmed(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    return text.sliced(begin, end - begin);
}

bool isQuote(QChar c) {
    return c == u'"' || c == u'\'';
}

QStringView unquoted(QStringView value) {
    if (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front()) {
        return value.sliced(1, value.size() - 2);
    }
    return value;
}

bool sameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasLineBreak(QStringView text) {
    return text.contains(u'\r') || text.contains(u'\n');
}

bool isPlainName(QStringView name) {
    return !name.isEmpty() && !hasLineBreak(name) && trimmed(name).size() == name.size();
}

// Quotes only where reading would otherwise change the value: blanks at either end, or a
// matching pair of quotes that reading would strip.
QString storedValue(const QString& value) {
    if (!value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()) ||
                             unquoted(value).size() != value.size())) {
        return u'"' + value + u'"';
    }
    return value;
}

}  // namespace

IniDocument::Parsed IniDocument::parse(QStringView line) {
    Parsed parsed;
    const QStringView text = trimmed(line);
    if (text.isEmpty() || text.front() == u';') {
        return parsed;
    }
    if (text.front() == u'[') {
        const qsizetype close = text.lastIndexOf(u']');
        if (close > 0) {
            parsed.kind = Kind::Section;
            parsed.name = trimmed(text.sliced(1, close - 1));
            return parsed;
        }
    }
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0) {
        return parsed;  // a key without "=" has no value and is not looked up
    }
    parsed.kind = Kind::Key;
    parsed.name = trimmed(text.first(equals));
    parsed.value = unquoted(trimmed(text.sliced(equals + 1)));
    return parsed;
}

QString IniDocument::textOf(const Line& line) const {
    if (line.edited) {
        return edited_[line.begin];
    }
    return decodeText(encoding_, QByteArrayView(raw_).sliced(line.begin, line.size));
}

IniDocument IniDocument::fromBytes(const QByteArray& bytes) {
    IniDocument doc;
    const DetectedEncoding detected = detectEncoding(bytes);
    doc.encoding_ = detected.encoding;
    doc.raw_ = bytes;
    const QByteArrayView all(doc.raw_);
    const qsizetype unit = detected.encoding == IniEncoding::Utf16Le ? 2 : 1;
    const qsizetype body = all.size() - detected.bomSize;
    const qsizetype usable = detected.bomSize + body - body % unit;
    doc.tail_ = all.sliced(usable).toByteArray();

    auto unitAt = [&](qsizetype i) -> unsigned {
        const auto lo = static_cast<unsigned char>(all[i]);
        return unit == 1
                   ? lo
                   : lo | (static_cast<unsigned>(static_cast<unsigned char>(all[i + 1])) << 8);
    };
    // Calls `line(start, end, eol)` for every line; the ends are offsets into the bytes.
    auto forEachLine = [&](auto&& line) {
        qsizetype start = detected.bomSize;
        qsizetype i = start;
        while (i < usable) {
            const unsigned c = unitAt(i);
            if (c != u'\r' && c != u'\n') {
                i += unit;
                continue;
            }
            Eol eol = c == u'\r' ? Eol::Cr : Eol::Lf;
            if (c == u'\r' && i + unit < usable && unitAt(i + unit) == u'\n') {
                eol = Eol::CrLf;
            }
            line(start, i, eol);
            i += eol == Eol::CrLf ? 2 * unit : unit;
            start = i;
        }
        if (start < usable) {
            line(start, usable, Eol::None);
        }
    };
    // Counted first, so that the table is allocated once at its size, with room for the few
    // lines a save adds, instead of doubling while it fills.
    size_t count = 0;
    forEachLine([&](qsizetype, qsizetype, Eol) { ++count; });
    doc.lines_.reserve(count + kEditRoom);
    forEachLine([&](qsizetype start, qsizetype end, Eol eol) {
        Line line;
        line.begin = static_cast<quint32>(start);
        line.size = static_cast<quint32>(end - start);
        line.eol = eol;
        if (line.size > 0) {
            line.kind = parse(doc.textOf(line)).kind;
        }
        doc.lines_.push_back(line);
    });
    return doc;
}

QByteArray IniDocument::bytesIn(IniEncoding encoding, bool onlyChanged) const {
    const QByteArray eolBytes[] = {{},
                                   encodeText(encoding, u"\r\n"),
                                   encodeText(encoding, u"\n"),
                                   encodeText(encoding, u"\r")};
    QByteArray out = byteOrderMark(encoding);
    out.reserve(raw_.size() * (encoding == IniEncoding::Utf16Le ? 2 : 1) + 64);
    for (const Line& line : lines_) {
        if (onlyChanged && !line.edited) {
            out += QByteArrayView(raw_).sliced(line.begin, line.size);
        } else {
            out += encodeText(encoding, textOf(line));
        }
        // Line ends are CR and LF alone, so encoding them gives back the bytes they were read from.
        out += eolBytes[static_cast<size_t>(line.eol)];
    }
    if (onlyChanged) {
        out += tail_;
    }
    return out;
}

QByteArray IniDocument::toBytes() const {
    if (encoding_ != IniEncoding::Ansi) {
        return bytesIn(encoding_, true);
    }
    // A Windows-1252 file stays one while the new text fits and the whole is not taken for
    // UTF-8 on reading; otherwise it becomes UTF-16LE, which every reader tells apart.
    bool fits = true;
    for (const QString& text : edited_) {
        fits = fits && fitsWindows1252(text);
    }
    if (fits) {
        QByteArray out = bytesIn(IniEncoding::Ansi, true);
        if (detectEncoding(out).encoding == IniEncoding::Ansi) {
            return out;
        }
    }
    return bytesIn(IniEncoding::Utf16Le, false);
}

QStringList IniDocument::sectionNames() const {
    QStringList names;
    for (const Line& line : lines_) {
        if (line.kind == Kind::Section) {
            const QString text = textOf(line);
            const QStringView name = parse(text).name;
            if (!name.isEmpty()) {
                names.append(name.toString());
            }
        }
    }
    return names;
}

std::optional<size_t> IniDocument::findSection(QStringView section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Kind::Section) {
            const QString text = textOf(lines_[i]);
            if (sameName(parse(text).name, section)) {
                return i;
            }
        }
    }
    return std::nullopt;
}

size_t IniDocument::sectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Kind::Section) {
        ++i;
    }
    return i;
}

QString IniDocument::value(QStringView section, QStringView key,
                           const QString& defaultValue) const {
    if (const auto header = findSection(section)) {
        const size_t end = sectionEnd(*header);
        for (size_t i = *header + 1; i < end; ++i) {
            if (lines_[i].kind != Kind::Key) {
                continue;
            }
            const QString text = textOf(lines_[i]);
            const Parsed parsed = parse(text);
            if (sameName(parsed.name, key)) {
                return parsed.value.left(kMaxIniValueLength).toString();
            }
        }
    }
    return defaultValue.left(kMaxIniValueLength);
}

void IniDocument::endLine(size_t index) {
    if (lines_[index].eol == Eol::None) {
        lines_[index].eol = Eol::CrLf;
    }
}

IniDocument::Line IniDocument::editedLine(const QString& text, Eol eol) {
    Line line;
    line.begin = static_cast<quint32>(edited_.size());
    line.eol = eol;
    line.kind = parse(text).kind;
    line.edited = true;
    edited_.push_back(text);
    return line;
}

bool IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    if (!isPlainName(section) || !isPlainName(key) || key.contains(u'=') || key.front() == u';' ||
        key.front() == u'[' || hasLineBreak(value)) {
        return false;
    }
    const QString text = key + u'=' + storedValue(value);

    const auto header = findSection(section);
    if (!header) {
        if (!lines_.empty()) {
            endLine(lines_.size() - 1);
        }
        lines_.push_back(editedLine(u'[' + section + u']', Eol::CrLf));
        lines_.push_back(editedLine(text, Eol::CrLf));
        return true;
    }
    const size_t end = sectionEnd(*header);
    size_t after = *header;
    for (size_t i = *header + 1; i < end; ++i) {
        if (lines_[i].kind != Kind::Key) {
            continue;
        }
        const QString current = textOf(lines_[i]);
        if (sameName(parse(current).name, key)) {
            if (lines_[i].edited) {
                edited_[lines_[i].begin] = text;
            } else {
                lines_[i] = editedLine(text, lines_[i].eol);
            }
            return true;
        }
        after = i;
    }
    endLine(after);
    const Line line = editedLine(text, Eol::CrLf);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1), line);
    return true;
}

}  // namespace kvu::presets
