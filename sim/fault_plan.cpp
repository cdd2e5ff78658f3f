#include "sim/fault_plan.h"

#include <algorithm>

namespace kvu::sim {
namespace {

bool compileAll(const std::vector<CommandPattern>& patterns, auto& out, std::string& error) {
    out.clear();
    for (const CommandPattern& p : patterns) {
        std::regex re;
        if (p.regex) {
            try {
                re = std::regex(p.text, std::regex::ECMAScript);
            } catch (const std::regex_error& e) {
                error = "bad pattern '" + p.text + "': " + e.what();
                return false;
            }
        }
        out.push_back({p, std::move(re)});
    }
    return true;
}

bool contains(const std::vector<std::size_t>& list, std::size_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

bool FaultPlan::compile(const Faults& faults, FaultPlan& plan, std::string& error) {
    FaultPlan fresh;
    fresh.faults_ = faults;
    if (!compileAll(faults.errorOn, fresh.errorOn_, error) ||
        !compileAll(faults.silentOn, fresh.silentOn_, error) ||
        !compileAll(faults.delayOn, fresh.delayOn_, error)) {
        return false;
    }
    const DeviceState blank;
    for (const FieldName& field : faults.forgetOnCommit) {
        if (profileField(blank, field.address, field.key) == nullptr) {
            error = std::string("no field '") + field.address + ' ' + field.key + "' to forget";
            return false;
        }
    }
    plan = std::move(fresh);
    return true;
}

bool FaultPlan::matchesAny(const std::vector<Matcher>& matchers, std::string_view text) {
    for (const Matcher& m : matchers) {
        if (m.pattern.regex) {
            if (std::regex_search(text.begin(), text.end(), m.regex)) {
                return true;
            }
        } else if (text.find(m.pattern.text) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

CommandFate FaultPlan::fate(std::size_t index, std::string_view line) const {
    std::string_view text = line;
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    if (faults_.silentAll || contains(faults_.silentAt, index) || matchesAny(silentOn_, text)) {
        return CommandFate::Silent;
    }
    if (contains(faults_.errorAt, index) || matchesAny(errorOn_, text)) {
        return CommandFate::Error;
    }
    return CommandFate::Answer;
}

std::chrono::milliseconds FaultPlan::delayFor(std::string_view line) const {
    std::string_view text = line;
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    return faults_.replyDelay +
           (matchesAny(delayOn_, text) ? faults_.delayOnBy : std::chrono::milliseconds(0));
}

std::string FaultPlan::shape(std::string reply, CommandKind kind) const {
    if (faults_.omitMcuId && kind == CommandKind::Version) {
        if (const std::size_t end = reply.find("\r\n"); end != std::string::npos) {
            reply.resize(end + 2);
        }
    }
    if (faults_.upperCaseEcho && kind == CommandKind::Set) {
        std::transform(reply.begin(), reply.end(), reply.begin(), [](char c) {
            return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        });
    }
    if (faults_.nulAt) {
        reply.insert(std::min(*faults_.nulAt, reply.size()), 1, '\0');
    }
    return faults_.noiseBefore + reply + faults_.noiseAfter;
}

std::vector<std::string> FaultPlan::chunks(const std::string& bytes) const {
    std::vector<std::string> lines;
    if (faults_.lineAtATime) {
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t lf = bytes.find('\n', at);
            const std::size_t end = lf == std::string::npos ? bytes.size() : lf + 1;
            lines.push_back(bytes.substr(at, end - at));
            at = end;
        }
    } else {
        lines.push_back(bytes);
    }
    if (faults_.chunkSize == 0) {
        return lines;
    }
    std::vector<std::string> pieces;
    for (const std::string& line : lines) {
        for (std::size_t at = 0; at < line.size(); at += faults_.chunkSize) {
            pieces.push_back(line.substr(at, faults_.chunkSize));
        }
    }
    return pieces;
}

void FaultPlan::forgetAtCommit(const DeviceState& committed, DeviceState& next) const {
    for (const FieldName& field : faults_.forgetOnCommit) {
        const std::string* old = profileField(committed, field.address, field.key);
        std::string* current = profileField(next, field.address, field.key);
        if (old != nullptr && current != nullptr) {
            *current = *old;
        }
    }
}

std::chrono::nanoseconds FaultPlan::byteTime() const {
    if (faults_.baud == 0) {
        return std::chrono::nanoseconds{0};
    }
    // Start bit, eight data bits, stop bit.
    return std::chrono::nanoseconds{10'000'000'000LL / faults_.baud};
}

}  // namespace kvu::sim
