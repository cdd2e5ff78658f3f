// Which part of the received text is the reply to the command in progress. The device answers
// one command after another, so text in front of the reply can only be the late end of earlier
// exchanges: the MCU id line of a version reply that came without it, or the reply to a command
// whose wait ran out. Those are recognised by their own grammar and set aside; nothing else is.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "protocol/response_parser.h"

namespace kvu::protocol {

// What may still arrive from earlier exchanges.
struct LateReplies {
    // Commands whose reply did not come (or did not fit) in time, oldest first.
    std::vector<QString> unanswered;
    // The last version reply had no MCU id line; it may follow before the next reply.
    bool versionTail = false;
};

struct FramedReply {
    ParsedReply reply;                 // the current command's reply; lengths from the buffer start
    std::optional<QString> tailMcuId;  // the version reply's late MCU id line
    // How many of LateReplies::unanswered were answered here (those before them never will be).
    std::size_t lateAnswered = 0;
    QStringList lateCommands;  // the commands whose late replies were set aside, for the log
};

// Pure: decides on the whole buffer afresh, as parseReply does.
FramedReply frameReply(const QString& currentCmd, const QString& buffer, const LateReplies& late);

// Whether a command's reply is worth waiting for after its own wait ran out: those whose grammar
// tells them from any other reply.
bool canAnswerLate(const QString& cmd);

}  // namespace kvu::protocol
