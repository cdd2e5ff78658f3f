#include "protocol/reply_framing.h"

#include "protocol/commands.h"

namespace kvu::protocol {

namespace {

qsizetype skipLineBreaks(const QString& text, qsizetype from) {
    while (from < text.size() && (text[from] == u'\r' || text[from] == u'\n')) {
        ++from;
    }
    return from;
}

bool isComplete(const ParsedReply& r) {
    return r.state == ReplyState::Positive || r.state == ReplyState::Negative;
}

enum class Tail { None, Waiting, Found };

// The MCU id line that a version reply may send after its version line.
Tail versionTail(const QString& rest, QString& mcuId, qsizetype& length) {
    const qsizetype begin = skipLineBreaks(rest, 0);
    const QStringView text = QStringView(rest).mid(begin);
    for (const QLatin1StringView keyword :
         {QLatin1StringView{"MCUID "}, QLatin1StringView{"SN "}}) {
        if (text.size() < keyword.size()) {
            if (keyword.startsWith(text)) {
                return Tail::Waiting;
            }
            continue;
        }
        if (!text.startsWith(keyword)) {
            continue;
        }
        const qsizetype end = rest.indexOf(QLatin1StringView{"\r\n"}, begin);
        if (end < 0) {
            return Tail::Waiting;
        }
        mcuId = withoutControlCharacters(rest.mid(begin, end - begin));
        length = skipLineBreaks(rest, end);
        return Tail::Found;
    }
    return Tail::None;
}

}  // namespace

bool canAnswerLate(const QString& cmd) {
    return cmd == kCmdReadAll || cmd == kCmdErase || cmd == kCmdCommit ||
           cmd.startsWith(kSetPrefix);
}

FramedReply frameReply(const QString& currentCmd, const QString& buffer, const LateReplies& late) {
    FramedReply f;
    f.reply = parseReply(currentCmd, QString());
    if (!f.reply.handled) {
        return f;
    }
    // The serial reply has no grammar of its own, so a late reply in front is looked for first;
    // every other reply is tried first and the late ones only where it does not fit.
    const bool lateFirst = currentCmd == kCmdSerial;
    bool tailOpen = late.versionTail;
    std::size_t nextLate = 0;
    qsizetype pos = 0;

    // The oldest late reply complete at the front of `rest`; Incomplete when one may still be.
    auto lateReply = [&](const QString& rest, std::size_t& index) {
        ReplyState state = ReplyState::Mismatch;
        ParsedReply found;
        for (std::size_t i = nextLate; i < late.unanswered.size(); ++i) {
            const ParsedReply r = parseReply(late.unanswered[i], rest);
            if (isComplete(r) && r.length > 0) {
                index = i;
                return r;
            }
            if (r.state == ReplyState::Incomplete) {
                state = ReplyState::Incomplete;
            }
        }
        found.handled = true;
        found.state = state;
        return found;
    };
    auto setAside = [&](std::size_t index, qsizetype length) {
        f.lateCommands.append(late.unanswered[index]);
        f.lateAnswered = index + 1;
        nextLate = index + 1;
        pos += length;
    };

    for (;;) {
        const QString rest = buffer.mid(pos);
        if (tailOpen) {
            QString mcuId;
            qsizetype length = 0;
            const Tail tail = versionTail(rest, mcuId, length);
            if (tail == Tail::Waiting) {
                f.reply = parseReply(currentCmd, QString());
                return f;
            }
            tailOpen = false;
            if (tail == Tail::Found) {
                f.tailMcuId = mcuId;
                pos += length;
                continue;
            }
        }
        std::size_t index = 0;
        if (lateFirst) {
            const ParsedReply earlier = lateReply(rest, index);
            if (isComplete(earlier)) {
                setAside(index, earlier.length);
                continue;
            }
        }
        ParsedReply r = parseReply(currentCmd, rest);
        if (r.state == ReplyState::Mismatch && !lateFirst) {
            const ParsedReply earlier = lateReply(rest, index);
            if (isComplete(earlier)) {
                setAside(index, earlier.length);
                continue;
            }
            if (earlier.state == ReplyState::Incomplete) {
                r = parseReply(currentCmd, QString());
            }
        }
        if (isComplete(r)) {
            r.length += pos;
        }
        f.reply = std::move(r);
        return f;
    }
}

}  // namespace kvu::protocol
