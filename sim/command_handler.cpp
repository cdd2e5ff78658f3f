#include "sim/command_handler.h"

namespace kvu::sim {

std::string readAllReply(const DeviceState& state) {
    std::string reply;
    for (const FieldRef& f : readAllOrder()) {
        reply += "GET ";
        reply += f.address;
        reply += ' ';
        reply += f.key;
        reply += ' ';
        reply += *profileField(state, f.address, f.key);
        reply += "\r\n";
    }
    return reply;
}

bool applySetText(std::string_view text, DeviceState& state) {
    // "<address> <key> <value>": the value is everything after the key's space, may be empty.
    if (text.size() < 2 || text[1] != ' ') {
        return false;
    }
    const char address = text[0];
    const std::string_view rest = text.substr(2);
    const std::size_t space = rest.find(' ');
    if (space == std::string_view::npos) {
        return false;
    }
    std::string* field = profileField(state, address, rest.substr(0, space));
    if (field == nullptr) {
        return false;
    }
    *field = std::string(rest.substr(space + 1));
    return true;
}

CommandOutcome handleCommand(std::string_view line, DeviceState& state) {
    std::string_view text = line;
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    if (text == "ver") {
        return {CommandKind::Version, "VER " + state.version + "\r\nMCUID " + state.mcuId + "\r\n"};
    }
    if (text == "serial") {
        return {CommandKind::Serial, std::string(kSerialLeadIn) + state.serial + "\r\n"};
    }
    if (text == "get") {
        return {CommandKind::ReadAll, readAllReply(state)};
    }
    if (text == "fe") {
        eraseProfiles(state);
        return {CommandKind::Erase, std::string(kEraseOkReply)};
    }
    if (text == "fw") {
        return {CommandKind::Commit, std::string(kCommitOkReply)};
    }
    constexpr std::string_view kSetPrefix = "set ";
    if (text.substr(0, kSetPrefix.size()) == kSetPrefix &&
        applySetText(text.substr(kSetPrefix.size()), state)) {
        // The device repeats the line exactly as it came, then a line feed.
        return {CommandKind::Set, std::string(line) + "\n"};
    }
    return {CommandKind::Invalid, std::string(kErrorReply)};
}

}  // namespace kvu::sim
