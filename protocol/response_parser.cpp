#include "protocol/response_parser.h"

#include <array>
#include <vector>

#include "protocol/commands.h"

namespace kvu::protocol {

namespace {

bool isLineBreak(QChar c) {
    return c == u'\r' || c == u'\n';
}

qsizetype skipLineBreaks(const QString& text, qsizetype from) {
    while (from < text.size() && isLineBreak(text[from])) {
        ++from;
    }
    return from;
}

qsizetype lineEnd(const QString& text, qsizetype from) {
    while (from < text.size() && !isLineBreak(text[from])) {
        ++from;
    }
    return from;
}

// The first line of the text, for an identity value.
QString identityLine(const QString& text) {
    const qsizetype begin = skipLineBreaks(text, 0);
    return withoutControlCharacters(text.mid(begin, lineEnd(text, begin) - begin));
}

bool endsWithCrLf(const QString& b) {
    return b.endsWith(QLatin1StringView{"\r\n"});
}

bool endsWithError(const QString& b) {
    return b.endsWith(kReplyError);
}

// The device's refusal is a line of its own: a value that ends in "ERROR" leaves the buffer
// ending the same way while the reply is still arriving, and is no refusal.
bool lastLineIsError(const QString& b) {
    const qsizetype n = kReplyError.size();
    return b == kReplyError ||
           (b.size() > n && endsWithError(b) && isLineBreak(b[b.size() - n - 1]));
}

char16_t foldAsciiUpper(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// The first n characters of `text` from `at` equal `expected`'s, letters in any case.
bool sameIgnoringCase(const QString& text, qsizetype at, QStringView expected, qsizetype n) {
    if (text.size() - at < n || expected.size() < n) {
        return false;
    }
    for (qsizetype i = 0; i < n; ++i) {
        if (foldAsciiUpper(text[at + i].unicode()) != foldAsciiUpper(expected[i].unicode())) {
            return false;
        }
    }
    return true;
}

// `text` from `at` could still grow into `expected` (letters in any case).
bool couldBecome(const QString& text, qsizetype at, QStringView expected) {
    const qsizetype n = text.size() - at;
    return n <= expected.size() && sameIgnoringCase(text, at, expected, n);
}

ParsedReply withState(ReplyState state, qsizetype length = 0) {
    ParsedReply r;
    r.handled = true;
    r.state = state;
    r.length = length;
    return r;
}

ParsedReply mismatch(const QString& b, qsizetype at) {
    ParsedReply r = withState(ReplyState::Mismatch);
    r.misfit = b.mid(at, lineEnd(b, at) - at);
    return r;
}

// Where a complete reply ends: after `end` and the line breaks that follow it.
qsizetype replyLength(const QString& b, qsizetype end) {
    return skipLineBreaks(b, end);
}

ParsedReply parseVersion(const QString& b) {
    ParsedReply r = withState(ReplyState::Incomplete);
    if (!endsWithCrLf(b)) {
        return r;
    }
    // Lines before the version line are stray text on the line, not part of the reply.
    const qsizetype version = b.indexOf(QLatin1StringView{"VER "});
    if (version >= 0) {
        // "SN " wins over "MCUID " when both are present.
        qsizetype split = b.indexOf(QLatin1StringView{"SN "}, version);
        if (split < 0) {
            split = b.indexOf(QLatin1StringView{"MCUID "}, version);
        }
        if (split >= 0) {
            r.version = identityLine(b.mid(version, split - version));
            r.mcuId = identityLine(b.mid(split));
        } else {
            r.version = identityLine(b.mid(version));
        }
    } else if (b.startsWith(QLatin1StringView{"\r\nSN"}) ||
               b.startsWith(QLatin1StringView{"\r\nMCUID"})) {
        r.mcuId = identityLine(b);
    } else {
        return r;
    }
    r.state = ReplyState::Positive;
    r.versionEvent = true;
    r.length = b.size();
    return r;
}

ParsedReply parseSerial(const QString& b) {
    // Line breaks in front (a device that opens its reply with CR LF) would shift the lead-in;
    // nothing but line breaks is no reply yet. The reply is one line.
    const qsizetype begin = skipLineBreaks(b, 0);
    const qsizetype end = b.indexOf(QLatin1StringView{"\r\n"}, begin);
    if (begin == b.size() || end < 0) {
        return withState(ReplyState::Incomplete);
    }
    const QString line = b.mid(begin, end - begin);
    // The serial query is not judged by its reply: "ERROR" just leaves no number.
    ParsedReply r = withState(ReplyState::Positive, replyLength(b, end));
    r.serial =
        line == QLatin1StringView{"ERROR"} ? QString() : withoutControlCharacters(line.mid(7));
    return r;
}

// "FE OK" or "FW OK", or the refusal; any other line is no reply to the command.
ParsedReply parseExact(const QString& b, QLatin1StringView ok) {
    if (lastLineIsError(b)) {
        return withState(ReplyState::Negative, b.size());
    }
    const qsizetype begin = skipLineBreaks(b, 0);
    if (QStringView(b).mid(begin).startsWith(ok)) {
        return withState(ReplyState::Positive, replyLength(b, begin + ok.size()));
    }
    if (QStringView(b).mid(begin).startsWith(kReplyError)) {
        return withState(ReplyState::Negative, replyLength(b, begin + kReplyError.size()));
    }
    const QStringView rest = QStringView(b).mid(begin);
    if (ok.startsWith(rest) || kReplyError.startsWith(rest)) {
        return withState(ReplyState::Incomplete);
    }
    return mismatch(b, begin);
}

struct Line {
    qsizetype begin;
    qsizetype length;
};

// Lines closed by CR or LF; a run of separators is one, leading separators are skipped. The
// unterminated tail is left out: it may still be growing.
std::vector<Line> closedLines(const QString& b, size_t wanted) {
    std::vector<Line> lines;
    qsizetype i = skipLineBreaks(b, 0);
    const qsizetype n = b.size();
    while (i < n && lines.size() < wanted) {
        const qsizetype begin = i;
        i = lineEnd(b, i);
        if (i == n) {
            break;
        }
        lines.push_back({begin, i - begin});
        i = skipLineBreaks(b, i);
    }
    return lines;
}

constexpr size_t kReadAllLines = 24;
// The read-all lines' prefixes in reply order; '#' is the profile's address, which is not
// compared (only the keyword tells the lines apart).
constexpr std::array<const char16_t*, kReadAllLines> kReadAllPrefix = [] {
    std::array<const char16_t*, kReadAllLines> p{};
    const std::array<const char16_t*, 5> wwan{u"GET # apn ", u"GET # user ", u"GET # pw ",
                                              u"GET # auth ", u"GET # pdp "};
    for (size_t n = 0; n < 4; ++n) {
        for (size_t f = 0; f < wwan.size(); ++f) {
            p[n * wwan.size() + f] = wwan[f];
        }
    }
    p[20] = u"GET # ssid ";
    p[21] = u"GET # sec ";
    p[22] = u"GET # pw_type ";
    p[23] = u"GET # pw ";
    return p;
}();

// A line fits its place when it carries that place's keyword: "GET", any address, the keyword,
// then a space and the value, or nothing (an empty value whose space the device left off).
bool fitsReadAllLine(const QString& b, const Line& line, QStringView prefix) {
    const qsizetype keywordEnd = prefix.size() - 1;
    if (line.length < keywordEnd) {
        return false;
    }
    for (qsizetype i = 0; i < keywordEnd; ++i) {
        if (prefix[i] == u'#') {
            continue;
        }
        if (foldAsciiUpper(b[line.begin + i].unicode()) != foldAsciiUpper(prefix[i].unicode())) {
            return false;
        }
    }
    return line.length == keywordEnd || b[line.begin + keywordEnd] == u' ';
}

ParsedReply parseReadAll(const QString& b) {
    if (lastLineIsError(b)) {
        return withState(ReplyState::Negative, b.size());
    }
    const std::vector<Line> lines = closedLines(b, kReadAllLines);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!fitsReadAllLine(b, lines[i], QStringView(kReadAllPrefix[i]))) {
            return mismatch(b, lines[i].begin);
        }
    }
    if (lines.size() != kReadAllLines) {
        return withState(ReplyState::Incomplete);
    }
    auto value = [&](size_t index) {
        const Line& line = lines[index];
        const qsizetype prefix = QStringView(kReadAllPrefix[index]).size();
        return line.length > prefix ? b.mid(line.begin + prefix, line.length - prefix) : QString();
    };
    DeviceProfiles p;
    size_t index = 0;
    for (WwanProfile& w : p.wwan) {
        w.apn = value(index++);
        w.userName = value(index++);
        w.password = value(index++);
        w.authType = value(index++);
        w.pdpType = value(index++);
    }
    p.wifi.ssid = value(index++);
    p.wifi.security = value(index++);
    p.wifi.keyFormat = value(index++);
    p.wifi.passphrase = value(index++);
    const Line& last = lines.back();
    ParsedReply r = withState(ReplyState::Positive, replyLength(b, last.begin + last.length));
    r.profiles = std::move(p);
    return r;
}

ParsedReply parseSet(const QString& cmd, const QString& b) {
    if (lastLineIsError(b)) {
        return withState(ReplyState::Negative, b.size());
    }
    // A line break in front is the end of the previous echo, which the device closes with LF.
    const qsizetype begin = skipLineBreaks(b, 0);
    if (sameIgnoringCase(b, begin, cmd, cmd.size())) {
        return withState(ReplyState::Positive, replyLength(b, begin + cmd.size()));
    }
    if (QStringView(b).mid(begin).startsWith(kReplyError)) {
        return withState(ReplyState::Negative, replyLength(b, begin + kReplyError.size()));
    }
    if (couldBecome(b, begin, cmd) || kReplyError.startsWith(QStringView(b).mid(begin))) {
        return withState(ReplyState::Incomplete);
    }
    return mismatch(b, begin);
}

}  // namespace

QString withoutControlCharacters(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u != 0x7F && !(u >= 0x80 && u <= 0x9F)) {
            out.append(c);
        }
    }
    return out;
}

ParsedReply parseReply(const QString& currentCmd, const QString& buffer) {
    if (currentCmd == kCmdVersion) {
        return parseVersion(buffer);
    }
    if (currentCmd == kCmdSerial) {
        return parseSerial(buffer);
    }
    if (currentCmd == kCmdCommit) {
        return parseExact(buffer, kReplyCommitOk);
    }
    if (currentCmd == kCmdErase) {
        return parseExact(buffer, kReplyEraseOk);
    }
    if (currentCmd == kCmdReadAll) {
        return parseReadAll(buffer);
    }
    if (currentCmd.startsWith(kSetPrefix)) {
        return parseSet(currentCmd, buffer);
    }
    return {};
}

}  // namespace kvu::protocol
