#pragma once
// Decides, from the configured faults, what happens to one command and how a reply is mangled.
// Pure apart from the compiled patterns it holds.

#include <chrono>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "sim/command_handler.h"
#include "sim/faults.h"

namespace kvu::sim {

enum class CommandFate { Answer, Error, Silent };

class FaultPlan {
  public:
    // False with `error` set when a regular expression does not compile or a field to forget
    // does not exist.
    static bool compile(const Faults& faults, FaultPlan& plan, std::string& error);

    const Faults& faults() const { return faults_; }

    // `index` is the 1-based number of the command since start; `line` as received.
    CommandFate fate(std::size_t index, std::string_view line) const;

    // How long to wait before the reply to `line`.
    std::chrono::milliseconds delayFor(std::string_view line) const;

    // The bytes to send for a reply: upper-case echo, zero byte and noise applied.
    std::string shape(std::string reply, CommandKind kind) const;

    // Pieces to write one after another: the reply's lines in line-at-a-time mode, each cut
    // into chunks when chunking is on; the whole reply as one piece when both are off.
    std::vector<std::string> chunks(const std::string& bytes) const;

    // At a commit: puts the fields the device forgets back in `next` to their values in
    // `committed`, the state of the last commit.
    void forgetAtCommit(const DeviceState& committed, DeviceState& next) const;

    // Time one byte takes on the line at the configured speed (zero when unpaced).
    std::chrono::nanoseconds byteTime() const;

  private:
    struct Matcher {
        CommandPattern pattern;
        std::regex regex;
    };
    static bool matchesAny(const std::vector<Matcher>& matchers, std::string_view text);

    Faults faults_;
    std::vector<Matcher> errorOn_;
    std::vector<Matcher> silentOn_;
    std::vector<Matcher> delayOn_;
};

}  // namespace kvu::sim
