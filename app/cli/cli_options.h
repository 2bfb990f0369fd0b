// Command line of zorbel-cli: connection options, the command and its
// arguments, and the help text that documents them.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorbel::cli {

// Exit status of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;    // instrument absent, or a command failed (the session latched)
inline constexpr int kExitBadInput = 2;  // bad usage, or a file or value that is refused

enum class Command { Show, Read, Write, Set, Arb, Convert, Report, Sweep };

struct Options {
    bool help = false;
    bool lan = false;                          // false: USB
    std::optional<std::uint32_t> lanAddress;   // IPv4, first octet most significant
    std::optional<std::uint16_t> channel;      // 0 or 1 (the user writes 1 or 2)
    std::chrono::milliseconds timeout{30000};  // longest wait for one instrument job
    std::string timeoutText = "30";            // the time-out as the user wrote it, for messages
    std::chrono::milliseconds wait{5000};      // longest wait for another program to free the instrument
    std::optional<std::string> output;         // -o FILE: the printed setup goes there instead
    std::chrono::milliseconds retry{0};        // how long an absent instrument is waited for at the first job
    // sweep: the options as written (numbers are the model's to parse), or nothing when not given.
    std::optional<std::string> steps;
    std::optional<std::string> step;
    bool logarithmic = false;
    std::chrono::milliseconds dwell{100};
    std::uint32_t repeat = 1;
    bool upDown = false;
    bool sweepOptionGiven = false;  // any of them, refused with another command
    Command command = Command::Show;
    std::vector<std::string> arguments;  // after the command word
};

struct ParsedCommandLine {
    std::optional<Options> options;  // nothing: `error` says what is wrong
    std::string error;
};

// `args` without the program name. Options may stand anywhere before "--";
// the command word is the first other argument.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

std::string HelpText();

}  // namespace zorbel::cli
