#include "sim/state_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/command_handler.h"
#include "sim/hex_digit.h"

namespace kvu::sim {
namespace {

constexpr std::string_view kHeader = "kvu-sim state 1";

std::string escape(std::string_view value) {
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    for (const char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b > 0x7e || c == '\\') {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

bool unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 3 >= text.size() || text[i + 1] != 'x') {
            return false;
        }
        const int hi = hexDigit(text[i + 2]);
        const int lo = hexDigit(text[i + 3]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        out += static_cast<char>(hi * 16 + lo);
        i += 3;
    }
    return true;
}

}  // namespace

std::string formatStateFile(const DeviceState& state) {
    std::string text(kHeader);
    text += '\n';
    for (const FieldRef& f : readAllOrder()) {
        text += f.address;
        text += ' ';
        text += f.key;
        text += ' ';
        text += escape(*profileField(state, f.address, f.key));
        text += '\n';
    }
    return text;
}

bool parseStateFile(std::string_view text, DeviceState& state, std::string& error) {
    DeviceState parsed = state;
    eraseProfiles(parsed);
    std::size_t lineNo = 0;
    bool headerSeen = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNo;
        if (!headerSeen) {
            if (line != kHeader) {
                error = "not a kvu-sim state file";
                return false;
            }
            headerSeen = true;
            continue;
        }
        if (line.empty()) {
            continue;
        }
        // "<address> <key> <value>" is the set line's own syntax; decode the value first.
        const std::size_t keyEnd = line.size() > 2 ? line.find(' ', 2) : std::string_view::npos;
        std::string value;
        if (keyEnd == std::string_view::npos || !unescape(line.substr(keyEnd + 1), value) ||
            !applySetText(std::string(line.substr(0, keyEnd + 1)) + value, parsed)) {
            error = "state file line " + std::to_string(lineNo) + " is malformed";
            return false;
        }
    }
    if (!headerSeen) {
        error = "not a kvu-sim state file";
        return false;
    }
    copyProfiles(parsed, state);
    return true;
}

bool saveStateFile(const std::string& path, const DeviceState& state, std::string& error) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << formatStateFile(state);
        out.flush();
        if (!out) {
            error = "cannot write " + temp;
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

bool loadStateFile(const std::string& path, DeviceState& state, bool& found, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        found = false;
        if (ec) {
            error = "cannot read " + path + ": " + ec.message();
            return false;
        }
        return true;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    found = true;
    std::ostringstream text;
    text << in.rdbuf();
    if (!parseStateFile(text.str(), state, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace kvu::sim
