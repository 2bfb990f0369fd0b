// Command line of zorbel-scopesim.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "scope_instrument.h"

namespace scopesim {

struct Options {
    std::string usbPath;               // the virtual device socket
    std::string gensimAddress;         // empty: built-in signals
    std::array<int, 2> outputs{1, 2};  // generator output wired to CH1, CH2
    int readyFd = -1;
    int delayMs = 0;  // every reply this much later
    Faults faults;
    bool verbose = false;
};

// Parsed options, or nullopt with `message` holding the error and usage (or
// just the usage for --help, with `help` set).
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& message, bool& help);

}  // namespace scopesim
