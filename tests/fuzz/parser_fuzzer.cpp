// Feeds arbitrary received bytes to the reply parser and the log masking, chunk by chunk as the
// receive thread does, and aborts when a result breaks one of the parser's promises.
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "protocol/log_masking.h"
#include "protocol/reply_framing.h"
#include "protocol/response_parser.h"

namespace {

using kvu::protocol::ParsedReply;
using kvu::protocol::ReplyState;

const std::array<const char*, 12> kCommands = {
    "ver\r",
    "serial\r",
    "get\r",
    "fe\r",
    "fw\r",
    "set 1 auth 1\r",
    "set 2 pw \r",
    "set w pw_type 0\r",
    "set 3 apn ERROR\r",
    "set w ssid a b\r",
    "GET\r",
    "unknown\r",
};

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

int count(const QString& s, char16_t c) {
    int n = 0;
    for (QChar x : s) {
        n += x == c ? 1 : 0;
    }
    return n;
}

void checkReply(const QString& cmd, const QString& buffer, const ParsedReply& r) {
    const bool isVer = cmd == QLatin1StringView{"ver\r"};
    const bool isSerial = cmd == QLatin1StringView{"serial\r"};
    const bool isGet = cmd == QLatin1StringView{"get\r"};
    const bool isFe = cmd == QLatin1StringView{"fe\r"};
    const bool isFw = cmd == QLatin1StringView{"fw\r"};
    const bool isSet = cmd.startsWith(QLatin1StringView{"set "});
    check(r.handled == (isVer || isSerial || isGet || isFe || isFw || isSet), "handled");
    if (!r.handled || r.state != ReplyState::Positive) {
        check(!r.version && !r.mcuId && !r.serial && !r.profiles && !r.versionEvent,
              "values only with a positive reply");
    }
    check(!r.profiles || isGet, "profiles only for get");
    check(!r.serial || isSerial, "serial only for serial");
    check((!r.version && !r.mcuId) || isVer, "version only for ver");
    check(r.versionEvent == (isVer && r.state == ReplyState::Positive), "version event");
    check(!(isVer || isSerial) || r.state != ReplyState::Negative, "no negative form");
    if (isGet && r.state == ReplyState::Positive) {
        check(r.profiles.has_value(), "positive read-all carries profiles");
    }
    qsizetype lead = 0;
    while (lead < buffer.size() && (buffer[lead] == u'\r' || buffer[lead] == u'\n')) {
        ++lead;
    }
    const QStringView rest = QStringView(buffer).mid(lead);
    if (isSerial) {
        // Line breaks in front are skipped; line breaks alone are no reply yet.
        const bool complete = rest.contains(QLatin1StringView{"\r\n"});
        check((r.state == ReplyState::Positive) == complete, "serial completes at its CR LF");
        check(r.state != ReplyState::Positive || r.serial.has_value(), "serial value");
    }
    if ((isFe || isFw) && r.state == ReplyState::Positive) {
        check(rest.startsWith(QLatin1StringView{isFe ? "FE OK\r\n" : "FW OK\r\n"}), "exact OK");
    }
    if (r.state == ReplyState::Negative) {
        check(buffer.endsWith(QLatin1StringView{"ERROR\r\n"}) ||
                  rest.startsWith(QLatin1StringView{"ERROR\r\n"}),
              "negative is an ERROR line");
    }
    check(r.state != ReplyState::Mismatch || (!r.version && !r.mcuId && !r.serial && !r.profiles),
          "a mismatch carries nothing");
    const bool complete = r.state == ReplyState::Positive || r.state == ReplyState::Negative;
    check(!complete || (r.length > 0 && r.length <= buffer.size()), "a reply's length");
    for (const std::optional<QString>* id : {&r.version, &r.mcuId, &r.serial}) {
        if (id->has_value()) {
            check(kvu::protocol::withoutControlCharacters(**id) == **id,
                  "identities hold no control characters");
        }
    }
    if (isSet && r.state == ReplyState::Positive) {
        check(buffer.size() >= cmd.size(), "set echo is whole");
    }
}

void checkMasking(const QString& text) {
    const QString masked = kvu::protocol::maskSecretsForLog(text);
    check(kvu::protocol::maskSecretsForLog(masked) == masked, "masking is idempotent");
    check(count(masked, u'\r') == count(text, u'\r') && count(masked, u'\n') == count(text, u'\n'),
          "masking keeps separators");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const QString cmd = QString::fromLatin1(kCommands[data[0] % kCommands.size()]);
    // A zero byte ends a chunk, as in the receive thread; the parser runs after every chunk.
    QString buffer;
    size_t i = 1;
    while (i < size) {
        size_t end = i;
        while (end < size && data[end] != 0) {
            ++end;
        }
        buffer += QString::fromLatin1(reinterpret_cast<const char*>(data + i),
                                      static_cast<qsizetype>(end - i));
        const ParsedReply r = kvu::protocol::parseReply(cmd, buffer);
        checkReply(cmd, buffer, r);
        i = end + 1;
    }
    checkReply(cmd, buffer, kvu::protocol::parseReply(cmd, buffer));

    // Late replies in front never give the current reply values it does not carry itself.
    kvu::protocol::LateReplies late;
    late.versionTail = (data[0] & 0x80) != 0;
    for (int bit = 0; bit < 3; ++bit) {
        if ((data[0] >> (4 + bit)) & 1) {
            late.unanswered.push_back(
                QString::fromLatin1(kCommands[(bit * 5 + 2) % kCommands.size()]));
        }
    }
    const kvu::protocol::FramedReply framed = kvu::protocol::frameReply(cmd, buffer, late);
    check(framed.lateAnswered <= late.unanswered.size(), "late answers are owed ones");
    check(framed.lateCommands.size() <= late.unanswered.size(), "each late reply once");
    check(!framed.tailMcuId || late.versionTail, "a tail only when one may come");
    const bool framedComplete =
        framed.reply.state == ReplyState::Positive || framed.reply.state == ReplyState::Negative;
    check(!framedComplete || framed.reply.length <= buffer.size(), "framed length");
    if (late.unanswered.empty() && !late.versionTail) {
        check(framed.reply.state == kvu::protocol::parseReply(cmd, buffer).state,
              "nothing owed: framing is the parser");
    }
    checkMasking(buffer);
    checkMasking(cmd + buffer);
    return 0;
}
