// Command-line options of zorbel-gensim.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace gensim {

struct SimOptions {
    std::string lanAddress;  // --lan: loopback IPv4 address to serve on UDP port 9966
    std::string usbPath;     // --usb unix:PATH: the virtual USB device socket
    int readyFd = -1;        // --ready-fd: "ready" is written here, then it is closed
    bool verbose = false;    // --verbose: every command and answer on stderr

    // Faults, for reliability tests.
    int answerDelayMs = 0;                  // --delay: every answer this late
    int dropEvery = 0;                      // --drop N: every N-th answer is never sent
    std::optional<std::string> answerText;  // --answer TEXT: every answer replaced by TEXT

    // Content of the simulated instrument.
    std::vector<std::string> rangeOverrides;    // --range CH:HEADER=MAX,MIN (repeatable)
    std::vector<std::string> calibrationSteps;  // --cal-step STEP and the lines of --cal-script FILE
    int pieceSize = 256;                        // --piece-size: characters per catalog/upload piece
    bool pieceGap = false;                      // --piece-gap: later pieces claim a wrong end
};

// Parses argv into `options`. On a bad or missing value returns false with
// `error` set; --help puts the usage text into `error` and sets `help`.
bool ParseOptions(int argc, char** argv, SimOptions& options, std::string& error, bool& help);

}  // namespace gensim
