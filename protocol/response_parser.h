// Decides whether the text received since a command was sent is a complete reply to it, and
// what that reply carries. Pure: the caller stores the values and releases the waiting side.
#pragma once

#include <QString>
#include <optional>

#include "settings/profiles.h"

namespace kvu::protocol {

enum class ReplyState { Incomplete, Positive, Negative };

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
};

// Interprets the whole buffer afresh against the command in progress (closing "\r" included).
ParsedReply parseReply(const QString& currentCmd, const QString& buffer);

}  // namespace kvu::protocol
