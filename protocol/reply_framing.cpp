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

// The oldest owed reply that is complete at the front of `rest`, from `first` on.
struct LateMatch {
    bool found = false;
    bool pending = false;  // none is complete, but one may still become so
    std::size_t index = 0;
    qsizetype length = 0;
};

LateMatch lateReplyAtFront(const LateReplies& late, std::size_t first, const QString& rest) {
    LateMatch match;
    for (std::size_t i = first; i < late.unanswered.size(); ++i) {
        const ParsedReply r = parseReply(late.unanswered[i], rest);
        if (isComplete(r) && r.length > 0) {
            return {true, false, i, r.length};
        }
        match.pending = match.pending || r.state == ReplyState::Incomplete;
    }
    return match;
}

}  // namespace

bool canAnswerLate(const QString& cmd) {
    return cmd == kCmdReadAll || cmd == kCmdErase || cmd == kCmdCommit ||
           cmd.startsWith(kSetPrefix);
}

FramedReply frameReply(const QString& currentCmd, const QString& buffer, const LateReplies& late) {
    FramedReply f;
    // Nothing yet: what an empty buffer gives the command (unhandled for a command without rule).
    const ParsedReply nothingYet = parseReply(currentCmd, QString());
    f.reply = nothingYet;
    if (!nothingYet.handled) {
        return f;
    }
    // The serial reply has no grammar of its own, so a late reply in front is looked for first;
    // every other reply is tried first and the late ones only where it does not fit.
    const bool lateFirst = currentCmd == kCmdSerial;
    bool tailOpen = late.versionTail;
    std::size_t nextLate = 0;
    qsizetype pos = 0;

    for (;;) {
        const QString rest = buffer.mid(pos);
        if (tailOpen) {
            QString mcuId;
            qsizetype length = 0;
            const Tail tail = versionTail(rest, mcuId, length);
            if (tail == Tail::Waiting) {
                return f;
            }
            tailOpen = false;
            if (tail == Tail::Found) {
                f.tailMcuId = mcuId;
                pos += length;
                continue;
            }
        }
        ParsedReply r = lateFirst ? nothingYet : parseReply(currentCmd, rest);
        if (lateFirst || r.state == ReplyState::Mismatch) {
            const LateMatch earlier = lateReplyAtFront(late, nextLate, rest);
            if (earlier.found) {
                f.lateCommands.append(late.unanswered[earlier.index]);
                f.lateAnswered = earlier.index + 1;
                nextLate = earlier.index + 1;
                pos += earlier.length;
                continue;
            }
            if (lateFirst) {
                r = parseReply(currentCmd, rest);
            } else if (earlier.pending) {
                r = nothingYet;
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
