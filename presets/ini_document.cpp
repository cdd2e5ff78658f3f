#include "presets/ini_document.h"

namespace kvu::presets {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

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

void IniDocument::classify(Line& line) {
    line.kind = Kind::Other;
    line.name.clear();
    line.value.clear();
    const QStringView text = trimmed(line.text);
    if (text.isEmpty() || text.front() == u';') {
        return;
    }
    if (text.front() == u'[') {
        const qsizetype close = text.lastIndexOf(u']');
        if (close > 0) {
            line.kind = Kind::Section;
            line.name = trimmed(text.sliced(1, close - 1)).toString();
            return;
        }
    }
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0) {
        return;  // a key without "=" has no value and is not looked up
    }
    line.kind = Kind::Key;
    line.name = trimmed(text.first(equals)).toString();
    line.value = unquoted(trimmed(text.sliced(equals + 1))).toString();
}

IniDocument IniDocument::fromBytes(const QByteArray& bytes) {
    IniDocument doc;
    const DetectedEncoding detected = detectEncoding(bytes);
    doc.encoding_ = detected.encoding;
    const QByteArrayView body = QByteArrayView(bytes).sliced(detected.bomSize);
    const qsizetype unit = detected.encoding == IniEncoding::Utf16Le ? 2 : 1;
    const qsizetype usable = body.size() - body.size() % unit;
    doc.tail_ = body.sliced(usable).toByteArray();

    auto unitAt = [&](qsizetype i) -> unsigned {
        const auto lo = static_cast<unsigned char>(body[i]);
        return unit == 1
                   ? lo
                   : lo | (static_cast<unsigned>(static_cast<unsigned char>(body[i + 1])) << 8);
    };
    auto addLine = [&](qsizetype start, qsizetype end, qsizetype eolSize) {
        Line line;
        line.rawText = body.sliced(start, end - start).toByteArray();
        line.rawEol = body.sliced(end, eolSize).toByteArray();
        line.text = decodeText(doc.encoding_, line.rawText);
        line.eol = decodeText(doc.encoding_, line.rawEol);
        classify(line);
        doc.lines_.push_back(std::move(line));
    };

    qsizetype start = 0;
    qsizetype i = 0;
    while (i < usable) {
        const unsigned c = unitAt(i);
        if (c != u'\r' && c != u'\n') {
            i += unit;
            continue;
        }
        qsizetype eolSize = unit;
        if (c == u'\r' && i + unit < usable && unitAt(i + unit) == u'\n') {
            eolSize = 2 * unit;
        }
        addLine(start, i, eolSize);
        i += eolSize;
        start = i;
    }
    if (start < usable) {
        addLine(start, usable, 0);
    }
    return doc;
}

QByteArray IniDocument::bytesIn(IniEncoding encoding, bool onlyChanged) const {
    QByteArray out = byteOrderMark(encoding);
    for (const Line& line : lines_) {
        out += onlyChanged && !line.textChanged ? line.rawText : encodeText(encoding, line.text);
        out += onlyChanged && !line.eolChanged ? line.rawEol : encodeText(encoding, line.eol);
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
    for (const Line& line : lines_) {
        fits = fits && (!line.textChanged || fitsWindows1252(line.text));
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
        if (line.kind == Kind::Section && !line.name.isEmpty()) {
            names.append(line.name);
        }
    }
    return names;
}

std::optional<size_t> IniDocument::findSection(QStringView section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Kind::Section && sameName(lines_[i].name, section)) {
            return i;
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
            if (lines_[i].kind == Kind::Key && sameName(lines_[i].name, key)) {
                return lines_[i].value.left(kMaxIniValueLength);
            }
        }
    }
    return defaultValue.left(kMaxIniValueLength);
}

void IniDocument::endLine(size_t index) {
    if (lines_[index].eol.isEmpty()) {
        lines_[index].eol = kCrLf;
        lines_[index].eolChanged = true;
    }
}

bool IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    if (!isPlainName(section) || !isPlainName(key) || key.contains(u'=') || key.front() == u';' ||
        key.front() == u'[' || hasLineBreak(value)) {
        return false;
    }
    Line line;
    line.text = key + u'=' + storedValue(value);
    line.eol = kCrLf;
    line.textChanged = true;
    line.eolChanged = true;
    classify(line);

    const auto header = findSection(section);
    if (!header) {
        if (!lines_.empty()) {
            endLine(lines_.size() - 1);
        }
        Line head;
        head.text = u'[' + section + u']';
        head.eol = kCrLf;
        head.textChanged = true;
        head.eolChanged = true;
        classify(head);
        lines_.push_back(std::move(head));
        lines_.push_back(std::move(line));
        return true;
    }
    const size_t end = sectionEnd(*header);
    size_t after = *header;
    for (size_t i = *header + 1; i < end; ++i) {
        if (lines_[i].kind != Kind::Key) {
            continue;
        }
        if (sameName(lines_[i].name, key)) {
            lines_[i].text = std::move(line.text);
            lines_[i].textChanged = true;
            classify(lines_[i]);
            return true;
        }
        after = i;
    }
    endLine(after);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1), std::move(line));
    return true;
}

}  // namespace kvu::presets
