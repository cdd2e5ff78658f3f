#include "protocol/log_masking.h"

#include "logging/log_format.h"

namespace kvu::protocol {

namespace {

bool isLineBreak(QChar c) {
    return c == u'\r' || c == u'\n';
}

bool isAddress(QChar c) {
    return (c >= u'1' && c <= u'4') || c == u'w' || c == u'W';
}

// Length of the "set 1 pw " style lead-in when the line carries a secret, else 0.
qsizetype secretLeadIn(QStringView line) {
    constexpr qsizetype kLeadIn = 9;  // "set " + address + " pw "
    if (line.size() < kLeadIn) {
        return 0;
    }
    const QStringView verb = line.first(4);
    const bool verbOk = verb.compare(QLatin1StringView{"set "}, Qt::CaseInsensitive) == 0 ||
                        verb.compare(QLatin1StringView{"get "}, Qt::CaseInsensitive) == 0;
    if (!verbOk || !isAddress(line[4]) || line[5] != u' ') {
        return 0;
    }
    if (line.sliced(6, 3).compare(QLatin1StringView{"pw "}, Qt::CaseInsensitive) != 0) {
        return 0;
    }
    return kLeadIn;
}

}  // namespace

QString maskSecretsForLog(const QString& text) {
    const QString mask = secretMask();
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype begin = i;
        while (i < n && !isLineBreak(text[i])) {
            ++i;
        }
        const QStringView line = QStringView(text).sliced(begin, i - begin);
        const qsizetype leadIn = secretLeadIn(line);
        if (leadIn > 0 && line.size() > leadIn) {
            out += line.first(leadIn);
            out += mask;
        } else {
            out += line;
        }
        while (i < n && isLineBreak(text[i])) {
            out += text[i];
            ++i;
        }
    }
    return out;
}

}  // namespace kvu::protocol
