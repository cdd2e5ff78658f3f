#include "protocol/response_parser.h"

#include <array>
#include <vector>

#include "protocol/commands.h"

namespace kvu::protocol {

namespace {

bool isLineBreak(QChar c) {
    return c == u'\r' || c == u'\n';
}

QString trimmedOfLineBreaks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isLineBreak(text[begin])) {
        ++begin;
    }
    while (end > begin && isLineBreak(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin);
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

ParsedReply positive() {
    ParsedReply r;
    r.handled = true;
    r.state = ReplyState::Positive;
    return r;
}

ParsedReply withState(ReplyState state) {
    ParsedReply r;
    r.handled = true;
    r.state = state;
    return r;
}

ParsedReply parseVersion(const QString& b) {
    ParsedReply r = withState(ReplyState::Incomplete);
    if (!endsWithCrLf(b)) {
        return r;
    }
    if (b.contains(QLatin1StringView{"VER "})) {
        // "SN " wins over "MCUID " when both are present.
        qsizetype split = b.indexOf(QLatin1StringView{"SN "});
        if (split < 0) {
            split = b.indexOf(QLatin1StringView{"MCUID "});
        }
        if (split >= 0) {
            r.version = trimmedOfLineBreaks(b.left(split));
            r.mcuId = trimmedOfLineBreaks(b.mid(split));
        } else {
            r.version = trimmedOfLineBreaks(b);
        }
    } else if (b.startsWith(QLatin1StringView{"\r\nSN"}) ||
               b.startsWith(QLatin1StringView{"\r\nMCUID"})) {
        r.mcuId = trimmedOfLineBreaks(b);
    } else {
        return r;
    }
    r.state = ReplyState::Positive;
    r.versionEvent = true;
    return r;
}

ParsedReply parseSerial(const QString& b) {
    // Line breaks in front (the late end of the version reply, or a device that opens its
    // reply with CR LF) would shift the lead-in; nothing but line breaks is no reply yet.
    qsizetype begin = 0;
    while (begin < b.size() && isLineBreak(b[begin])) {
        ++begin;
    }
    const QString reply = b.mid(begin);
    if (reply.isEmpty() || !endsWithCrLf(reply)) {
        return withState(ReplyState::Incomplete);
    }
    // The serial query is not judged by its reply: "ERROR\r\n" just leaves no number.
    ParsedReply r = positive();
    r.serial = reply == kReplyError ? QString() : trimmedOfLineBreaks(reply.mid(7));
    return r;
}

ParsedReply parseExact(const QString& b, QLatin1StringView ok) {
    if (b == ok) {
        return positive();
    }
    if (endsWithError(b)) {
        return withState(ReplyState::Negative);
    }
    return withState(ReplyState::Incomplete);
}

struct Line {
    qsizetype begin;
    qsizetype length;
};

// Lines closed by CR or LF; a run of separators is one, leading separators are skipped. The
// unterminated tail is left out: it may still be growing.
std::vector<Line> closedLines(const QString& b, size_t wanted) {
    std::vector<Line> lines;
    qsizetype i = 0;
    const qsizetype n = b.size();
    while (i < n && isLineBreak(b[i])) {
        ++i;
    }
    while (i < n && lines.size() < wanted) {
        const qsizetype begin = i;
        while (i < n && !isLineBreak(b[i])) {
            ++i;
        }
        if (i == n) {
            break;
        }
        lines.push_back({begin, i - begin});
        while (i < n && isLineBreak(b[i])) {
            ++i;
        }
    }
    return lines;
}

constexpr size_t kReadAllLines = 24;
// Prefix lengths of "GET %d apn ", "GET %d user ", "GET %d pw ", "GET %d auth ", "GET %d pdp ".
constexpr std::array<qsizetype, 5> kWwanPrefix{10, 11, 9, 11, 10};
// "GET w ssid ", "GET w sec ", "GET w pw_type ", "GET w pw ".
constexpr std::array<qsizetype, 4> kWifiPrefix{11, 10, 14, 9};

ParsedReply parseReadAll(const QString& b) {
    if (lastLineIsError(b)) {
        return withState(ReplyState::Negative);
    }
    const std::vector<Line> lines = closedLines(b, kReadAllLines);
    if (lines.size() != kReadAllLines) {
        return withState(ReplyState::Incomplete);
    }
    // Values by position and prefix length only; the prefix text itself is not compared.
    auto value = [&](size_t index, qsizetype prefix) {
        const Line& line = lines[index];
        return line.length > prefix ? b.mid(line.begin + prefix, line.length - prefix) : QString();
    };
    DeviceProfiles p;
    size_t index = 0;
    for (WwanProfile& w : p.wwan) {
        w.apn = value(index++, kWwanPrefix[0]);
        w.userName = value(index++, kWwanPrefix[1]);
        w.password = value(index++, kWwanPrefix[2]);
        w.authType = value(index++, kWwanPrefix[3]);
        w.pdpType = value(index++, kWwanPrefix[4]);
    }
    p.wifi.ssid = value(index++, kWifiPrefix[0]);
    p.wifi.security = value(index++, kWifiPrefix[1]);
    p.wifi.keyFormat = value(index++, kWifiPrefix[2]);
    p.wifi.passphrase = value(index++, kWifiPrefix[3]);
    ParsedReply r = positive();
    r.profiles = std::move(p);
    return r;
}

char16_t foldAsciiUpper(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

ParsedReply parseSet(const QString& cmd, const QString& b) {
    const qsizetype k = cmd.size();
    bool echoed = b.size() >= k;
    for (qsizetype i = 0; echoed && i < k; ++i) {
        echoed = foldAsciiUpper(b[i].unicode()) == foldAsciiUpper(cmd[i].unicode());
    }
    if (lastLineIsError(b)) {
        return withState(ReplyState::Negative);
    }
    return withState(echoed ? ReplyState::Positive : ReplyState::Incomplete);
}

}  // namespace

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
