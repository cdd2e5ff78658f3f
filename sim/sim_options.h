#pragma once
// The kvu-sim command line: options to a device configuration. Pure.

#include <string>
#include <string_view>
#include <vector>

#include "sim/simulated_device.h"

namespace kvu::sim {

struct SimOptions {
    DeviceConfig config;
    std::string transcript;  // --transcript: every command line received is appended here
    bool help = false;
};

struct ParseResult {
    bool ok = false;
    std::string error;
};

// `args` without the program name.
ParseResult parseSimOptions(const std::vector<std::string>& args, SimOptions& options);

std::string simUsage();

// Decodes \r, \n, \t, \0, \\ and \xHH in a byte text given on the command line.
bool decodeEscapes(std::string_view text, std::string& bytes);

}  // namespace kvu::sim
