#pragma once
// The device's command table: turns one received command line into the device's reply and the
// change it makes to the working values. Pure; no I/O.

#include <string>
#include <string_view>

#include "sim/device_state.h"

namespace kvu::sim {

enum class CommandKind { Version, Serial, ReadAll, Set, Erase, Commit, Invalid };

struct CommandOutcome {
    CommandKind kind = CommandKind::Invalid;
    std::string reply;
};

inline constexpr std::string_view kErrorReply = "ERROR\r\n";
inline constexpr std::string_view kEraseOkReply = "FE OK\r\n";
inline constexpr std::string_view kCommitOkReply = "FW OK\r\n";
inline constexpr std::string_view kSerialLeadIn = "SERIAL ";  // seven characters

// `line` is the command as received, closing "\r" included. Set lines store their value in
// `state`; "fe" erases the profiles of `state`. Committing is the caller's business.
CommandOutcome handleCommand(std::string_view line, DeviceState& state);

// The 24-line answer to "get".
std::string readAllReply(const DeviceState& state);

// Applies "<address> <key> <value>" (a set line without "set " and "\r"); false when the
// address/key pair does not exist or the text is malformed.
bool applySetText(std::string_view text, DeviceState& state);

}  // namespace kvu::sim
