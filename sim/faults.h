#pragma once
// The misbehaviours the simulated device can be told to show. All off by default.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kvu::sim {

// Matches a command's text (closing "\r" left off): a substring, or a std::regex searched anywhere.
struct CommandPattern {
    std::string text;
    bool regex = false;
};

// One profile field as the set line names it: address '1'..'4' or 'w', and its keyword.
struct FieldName {
    char address = 0;
    std::string key;
    bool operator==(const FieldName&) const = default;
};

struct Faults {
    // Answer "ERROR\r\n" (and leave the values alone) to these commands; counts are 1-based
    // since start().
    std::vector<std::size_t> errorAt;
    std::vector<CommandPattern> errorOn;

    // Send nothing at all (and leave the values alone). Silence wins over an error.
    bool silentAll = false;
    std::vector<std::size_t> silentAt;
    std::vector<CommandPattern> silentOn;

    // Wait this long before a reply.
    std::chrono::milliseconds replyDelay{0};
    // Wait this much longer before the replies to these commands (a slow flash, say).
    std::vector<CommandPattern> delayOn;
    std::chrono::milliseconds delayOnBy{0};
    // Send replies in pieces of this many bytes (0: whole), with a gap between pieces.
    std::size_t chunkSize = 0;
    std::chrono::milliseconds chunkGap{2};
    // Write every reply line (up to and including its LF) on its own, with the chunk gap
    // between lines, as firmware that prints line by line does. Chunking applies per line.
    bool lineAtATime = false;
    // Answer "ver" with the version line alone, without the MCU id line.
    bool omitMcuId = false;
    // Repeat set lines in upper case.
    bool upperCaseEcho = false;
    // Put one zero byte at this offset of every reply (past the end: at the end).
    std::optional<std::size_t> nulAt;
    // Junk sent right before and right after every reply.
    std::string noiseBefore;
    std::string noiseAfter;
    // A steady stream of junk, between replies, until switched off.
    bool babble = false;
    std::string babbleText = "#~%?junk?%~#";
    // Pace output as a serial line of this speed would (10 bit times per byte); 0: full speed.
    unsigned baud = 0;
    // Close the line (an unplug) after the n-th command has been answered; 0: never.
    std::size_t hangUpAfter = 0;
    // After any hang-up, come back on a new line after this time; 0: stay unplugged.
    std::chrono::milliseconds replugAfter{0};
    // Answer a commit as usual, but put these fields back to the values of the last commit
    // (or of the start), as a device that loses part of its write does.
    std::vector<FieldName> forgetOnCommit;
};

}  // namespace kvu::sim
