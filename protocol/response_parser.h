// Decides whether the text received since a command was sent is a complete reply to it, and
// what that reply carries. Pure: the caller stores the values and releases the waiting side.
#pragma once

#include <QString>
#include <optional>

#include "settings/profiles.h"

namespace kvu::protocol {

enum class ReplyState {
    Incomplete,  // not yet a whole reply; more text may complete it
    Positive,
    Negative,  // the device said "ERROR"
    Mismatch,  // text that no reply to this command can begin with
};

struct ParsedReply {
    // The command has a reply rule; the caller logs the "send:[...]" line for every such call.
    bool handled = false;
    ReplyState state = ReplyState::Incomplete;
    std::optional<QString> version;          // "ver\r": keyword "VER " kept
    std::optional<QString> mcuId;            // "ver\r": keyword "MCUID " or "SN " kept
    std::optional<QString> serial;           // "serial\r"
    std::optional<DeviceProfiles> profiles;  // "get\r": all 24 fields
    // A complete version reply; the caller logs the "SetEvent" line after releasing the wait.
    bool versionEvent = false;
    // A complete reply: how much of the buffer it took, line breaks after it included.
    qsizetype length = 0;
    // Mismatch: the line that does not fit.
    QString misfit;
};

// Interprets the whole buffer afresh against the command in progress (closing "\r" included).
// Every line of a reply must fit its command: a read-all line its keyword, a set reply the
// echo, a commit or erase reply its exact text. Identity texts carry no control characters.
ParsedReply parseReply(const QString& currentCmd, const QString& buffer);

// The text without control characters (C0, DEL, C1): a device's identity is shown, logged and
// used in file names.
QString withoutControlCharacters(const QString& text);

}  // namespace kvu::protocol
