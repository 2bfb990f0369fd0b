// The option table: one row per option (name, value or flag, help, effect).
#include "options.h"

#include "content_options.h"
#include "sim_support.h"

#include "zorbel/numbers.h"

#include <arpa/inet.h>

#include <functional>
#include <string_view>
#include <vector>

namespace gensim {

namespace {

struct OptionRow {
    std::string_view name;
    std::string_view valueName;  // empty: a flag without value
    std::string_view help;
    // Applies the value; false when it is not acceptable, with the reason in
    // `why` when the row can tell more than "bad value".
    std::function<bool(SimOptions&, std::string_view, std::string& why)> apply;
};

bool ParseCount(std::string_view text, int& out, long long maximum) {
    long long value = 0;
    if (!zorbel::parseInt(text, value) || value < 0 || value > maximum) return false;
    out = static_cast<int>(value);
    return true;
}

const std::vector<OptionRow>& Rows() {
    static const std::vector<OptionRow> rows = {
        {"--lan", "ADDRESS", "serve LAN on ADDRESS (127.x.y.z), UDP port 9966",
         [](SimOptions& o, std::string_view v, std::string& why) {
             in_addr a{};
             const std::string text(v);
             if (inet_pton(AF_INET, text.c_str(), &a) != 1) {
                 why = "not an IPv4 address in dotted-quad form such as 127.0.0.2";
                 return false;
             }
             // Loopback only: nothing of the project talks to a real network.
             if ((ntohl(a.s_addr) >> 24) != 127) {
                 why = "not a loopback address (127.x.y.z); the simulator serves nothing else";
                 return false;
             }
             o.lanAddress = text;
             return true;
         }},
        {"--usb", "unix:PATH", "serve the virtual USB device on the seqpacket socket PATH",
         [](SimOptions& o, std::string_view v, std::string& why) {
             return zorbel::sim::ParseSocketOption(v, o.usbPath, why);
         }},
        {"--ready-fd", "FD", "write \"ready\" to file descriptor FD once serving, then close it",
         [](SimOptions& o, std::string_view v, std::string& why) {
             return ParseCount(v, o.readyFd, 1 << 20) && zorbel::sim::CheckOpenDescriptor(o.readyFd, why);
         }},
        {"--delay", "MS", "send every answer MS milliseconds late",
         [](SimOptions& o, std::string_view v, std::string&) { return ParseCount(v, o.answerDelayMs, 600000); }},
        {"--drop", "N", "never send every N-th answer (0: none)",
         [](SimOptions& o, std::string_view v, std::string&) { return ParseCount(v, o.dropEvery, 1 << 30); }},
        {"--answer", "TEXT", "answer every command that has an answer with TEXT",
         [](SimOptions& o, std::string_view v, std::string&) {
             o.answerText = std::string(v);
             return true;
         }},
        {"--range", "RANGE", "one setting's range CH:HEADER=MAX,MIN, e.g. 1:FREQuency=2E+007,0.01",
         [](SimOptions& o, std::string_view v, std::string&) {
             if (!IsRangeOption(v)) return false;
             o.rangeOverrides.emplace_back(v);
             return true;
         }},
        {"--cal-step", "STEP", "a calibration step, \"CH1 p2p 1 1000 pass 0.02\" (repeatable)",
         [](SimOptions& o, std::string_view v, std::string&) {
             if (!IsCalibrationStep(v)) return false;
             o.calibrationSteps.emplace_back(v);
             return true;
         }},
        {"--cal-script", "FILE", "calibration steps, one per line",
         [](SimOptions& o, std::string_view v, std::string&) {
             return ReadCalibrationScript(std::string(v), o.calibrationSteps);
         }},
        {"--piece-size", "N", "characters per piece of catalog and upload answers (1..10000)",
         [](SimOptions& o, std::string_view v, std::string&) {
             return ParseCount(v, o.pieceSize, 10000) && o.pieceSize > 0;
         }},
        {"--piece-gap", "", "pieces after the first claim an end one too far",
         [](SimOptions& o, std::string_view, std::string&) {
             o.pieceGap = true;
             return true;
         }},
        {"--verbose", "", "log every command and answer on stderr",
         [](SimOptions& o, std::string_view, std::string&) {
             o.verbose = true;
             return true;
         }},
    };
    return rows;
}

std::string Usage() {
    std::string text = "usage: zorbel-gensim [--lan ADDRESS] [--usb unix:PATH] [options]\n";
    for (const auto& row : Rows()) {
        std::string left = "  " + std::string(row.name);
        if (!row.valueName.empty()) left += " " + std::string(row.valueName);
        if (left.size() < 24) left.resize(24, ' ');
        text += left + std::string(row.help) + "\n";
    }
    return text;
}

}  // namespace

bool ParseOptions(int argc, char** argv, SimOptions& options, std::string& error, bool& help) {
    help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
            error = Usage();
            return false;
        }
        const OptionRow* match = nullptr;
        for (const auto& row : Rows())
            if (row.name == arg) match = &row;
        if (match == nullptr) {
            error = "unknown option " + std::string(arg) + "\n" + Usage();
            return false;
        }
        std::string_view value;
        if (!match->valueName.empty()) {
            if (i + 1 >= argc) {
                error = std::string(arg) + " needs " + std::string(match->valueName);
                return false;
            }
            value = argv[++i];
        }
        std::string why;
        if (!match->apply(options, value, why)) {
            error =
                "bad value for " + std::string(arg) + ": " + std::string(value) + (why.empty() ? "" : " (" + why + ")");
            return false;
        }
    }
    if (options.lanAddress.empty() && options.usbPath.empty()) {
        error = "nothing to serve: give --lan, --usb or both\n" + Usage();
        return false;
    }
    return true;
}

}  // namespace gensim
