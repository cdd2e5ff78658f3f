#pragma once
// Keeps the committed profiles across restarts in a small text file.
//
// Format: the line "kvu-sim state 1", then one line per field "<address> <key> <value>", the
// value with backslash, control bytes and bytes above 0x7e written as \xHH. Fields that are
// missing keep their factory values.

#include <string>
#include <string_view>

#include "sim/device_state.h"

namespace kvu::sim {

std::string formatStateFile(const DeviceState& state);

// Fills the profile fields of `state` from `text`; identity texts stay. False with `error` set
// (and `state` unchanged) on a malformed file.
bool parseStateFile(std::string_view text, DeviceState& state, std::string& error);

// Writes through a temporary file and a rename, so a crash never leaves half a file.
bool saveStateFile(const std::string& path, const DeviceState& state, std::string& error);

// `found` is false (and the call succeeds) when the file does not exist yet.
bool loadStateFile(const std::string& path, DeviceState& state, bool& found, std::string& error);

}  // namespace kvu::sim
