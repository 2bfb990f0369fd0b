// Command line of zorbel-scopesim (see options.h).
#include "options.h"

#include <functional>
#include <string_view>

#include "sim_support.h"
#include "zorbel/numbers.h"

namespace scopesim {

namespace {

bool ParseCount(std::string_view text, int& out, long long maximum) {
    long long value = 0;
    if (!zorbel::ParseInt(text, value) || value < 0 || value > maximum) return false;
    out = static_cast<int>(value);
    return true;
}

struct OptionDef {
    const char* name;
    const char* argument;  // empty: a flag
    const char* help;
    // False when the value is not acceptable, with the reason in `why` when
    // the option can tell more than "bad value".
    std::function<bool(Options&, std::string_view, std::string& why)> apply;
};

const std::vector<OptionDef>& Defs() {
    static const std::vector<OptionDef> kDefs = {
        {"--usb", "unix:PATH", "serve the virtual USB device on the seqpacket socket PATH (required)",
         [](Options& o, std::string_view v, std::string& why) {
             return zorbel::sim::ParseSocketOption(v, o.usbPath, why);
         }},
        {"--gensim-lan", "ADDRESS", "measure what zorbel-gensim at ADDRESS (127.x.y.z, UDP 9966) outputs",
         [](Options& o, std::string_view v, std::string&) {
             o.gensimAddress = std::string(v);
             return !v.empty();
         }},
        {"--gensim-outputs", "A,B", "generator outputs wired to CH1 and CH2 (default 1,2)",
         [](Options& o, std::string_view v, std::string&) {
             const auto comma = v.find(',');
             return comma != std::string_view::npos && ParseCount(v.substr(0, comma), o.outputs[0], 2) &&
                    ParseCount(v.substr(comma + 1), o.outputs[1], 2) && o.outputs[0] >= 1 && o.outputs[1] >= 1;
         }},
        {"--ready-fd", "FD", "write \"ready\" to file descriptor FD once serving, then close it",
         [](Options& o, std::string_view v, std::string& why) {
             return ParseCount(v, o.readyFd, 1 << 20) && zorbel::sim::CheckOpenDescriptor(o.readyFd, why);
         }},
        {"--delay", "MS", "make every reply readable MS milliseconds after its request",
         [](Options& o, std::string_view v, std::string&) { return ParseCount(v, o.delayMs, 600000); }},
        {"--corrupt-checksum", "N", "give the first N replies to operations a wrong checksum",
         [](Options& o, std::string_view v, std::string&) { return ParseCount(v, o.faults.corruptChecksum, 1 << 30); }},
        {"--wrong-sequence", "N", "precede the first N sync replies by one with an older sequence number",
         [](Options& o, std::string_view v, std::string&) { return ParseCount(v, o.faults.wrongSequence, 1 << 30); }},
        {"--other-code", "N", "answer the first N syncs with a frame of another code",
         [](Options& o, std::string_view v, std::string&) { return ParseCount(v, o.faults.otherCode, 1 << 30); }},
        {"--verbose", "", "log every request and reply on stderr",
         [](Options& o, std::string_view, std::string&) {
             o.verbose = true;
             return true;
         }},
    };
    return kDefs;
}

std::string Usage() {
    std::string text = "usage: zorbel-scopesim --usb unix:PATH [options]\n";
    for (const OptionDef& def : Defs()) {
        std::string left = std::string("  ") + def.name + (*def.argument ? std::string(" ") + def.argument : "");
        if (left.size() < 28) left.resize(28, ' ');
        text += left + " " + def.help + "\n";
    }
    return text;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& message, bool& help) {
    Options options;
    help = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
            message = Usage();
            return std::nullopt;
        }
        const OptionDef* def = nullptr;
        for (const OptionDef& candidate : Defs())
            if (arg == candidate.name) def = &candidate;
        if (!def) {
            message = "unknown option " + arg + "\n" + Usage();
            return std::nullopt;
        }
        std::string_view value;
        if (*def->argument) {
            if (i + 1 >= args.size()) {
                message = arg + " needs " + def->argument + "\n" + Usage();
                return std::nullopt;
            }
            value = args[++i];
        }
        std::string why;
        if (!def->apply(options, value, why)) {
            message = "bad value for " + arg + ": " + std::string(value) + (why.empty() ? "" : " (" + why + ")") +
                      "\n" + Usage();
            return std::nullopt;
        }
    }
    if (options.usbPath.empty()) {
        message = "nothing to serve: give --usb unix:PATH\n" + Usage();
        return std::nullopt;
    }
    return options;
}

}  // namespace scopesim
