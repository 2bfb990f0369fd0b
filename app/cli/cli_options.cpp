// Parsing the command line of zorbel-cli; one table of commands with their
// argument counts, so the help text and the checks cannot disagree.
#include "cli_options.h"

#include <arpa/inet.h>

#include <array>
#include <string_view>

#include "zorbel/numbers.h"

namespace zorbel::cli {
namespace {

struct CommandRow {
    std::string_view word;
    Command command;
    std::size_t minArguments;
    std::size_t maxArguments;
    std::string_view synopsis;
};

constexpr std::size_t kAny = static_cast<std::size_t>(-1);

constexpr std::array<CommandRow, 8> kCommands = {{
    {"show", Command::Show, 0, 1, "show [FILE.set]"},
    {"read", Command::Read, 0, 0, "read"},
    {"write", Command::Write, 1, 1, "write FILE.set"},
    {"set", Command::Set, 1, kAny, "set KEY=VALUE..."},
    {"arb", Command::Arb, 1, 1, "arb FILE.arb|FILE.qwf"},
    {"convert", Command::Convert, 2, 2, "convert IN OUT"},
    {"report", Command::Report, 2, 2, "report SETUP.set OUT.pdf"},
    {"sweep", Command::Sweep, 3, 3,
     "sweep KEY START STOP [--steps N | --step S] [--log] [--dwell SECONDS] [--repeat N] [--updown]"},
}};

constexpr double kMaxTimeoutSeconds = 24 * 3600;

// A number of seconds, 0 < seconds <= a day (`zeroAllowed`: 0 too), as milliseconds (at least 1 when above 0).
std::optional<std::chrono::milliseconds> ParseSeconds(const std::string& text, bool zeroAllowed) {
    double seconds = 0;
    if (!ParseDouble(text, seconds) || !(zeroAllowed ? seconds >= 0 : seconds > 0) || seconds > kMaxTimeoutSeconds)
        return std::nullopt;
    const auto ms = static_cast<long long>(seconds * 1000.0 + 0.5);
    return std::chrono::milliseconds(seconds > 0 && ms == 0 ? 1 : ms);
}

ParsedCommandLine Error(std::string text) { return {std::nullopt, std::move(text)}; }

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    Options options;
    std::optional<CommandRow> command;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool isOption = !optionsEnded && (arg.rfind("--", 0) == 0 || arg == "-h" || arg == "-o");
        if (!isOption) {
            if (command) {
                options.arguments.push_back(arg);
                continue;
            }
            for (const CommandRow& row : kCommands)
                if (row.word == arg) command = row;
            if (!command) return Error("unknown command '" + arg + "'");
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--usb") {
            options.lan = false;
            continue;
        }
        if (arg == "--log" || arg == "--updown") {
            (arg == "--log" ? options.logarithmic : options.upDown) = true;
            options.sweepOptionGiven = true;
            continue;
        }
        // The remaining options take a value.
        if (arg != "--lan" && arg != "--channel" && arg != "--timeout" && arg != "--wait" && arg != "-o" &&
            arg != "--output" && arg != "--retry" && arg != "--steps" && arg != "--step" && arg != "--dwell" &&
            arg != "--repeat")
            return Error("unknown option '" + arg + "'");
        if (i + 1 >= args.size()) return Error(arg + " needs a value");
        const std::string& value = args[++i];
        if (arg == "--lan") {
            in_addr address{};
            if (inet_pton(AF_INET, value.c_str(), &address) != 1)
                return Error("--lan needs an IPv4 address such as 192.168.1.100, not '" + value + "'");
            options.lan = true;
            options.lanAddress = ntohl(address.s_addr);
        } else if (arg == "--channel") {
            if (value != "1" && value != "2") return Error("--channel is 1 or 2, not '" + value + "'");
            options.channel = static_cast<std::uint16_t>(value == "1" ? 0 : 1);
        } else if (arg == "--timeout") {
            const auto timeout = ParseSeconds(value, false);
            if (!timeout) return Error("--timeout needs a number of seconds above 0, not '" + value + "'");
            options.timeout = *timeout;
            options.timeoutText = value;
        } else if (arg == "--retry") {
            const auto retry = ParseSeconds(value, true);
            if (!retry) return Error("--retry needs a number of seconds, 0 or more, not '" + value + "'");
            options.retry = *retry;
        } else if (arg == "--steps" || arg == "--step") {
            (arg == "--steps" ? options.steps : options.step) = value;
            options.sweepOptionGiven = true;
        } else if (arg == "--dwell") {
            const auto dwell = ParseSeconds(value, false);
            if (!dwell) return Error("--dwell needs a number of seconds above 0, not '" + value + "'");
            options.dwell = *dwell;
            options.sweepOptionGiven = true;
        } else if (arg == "--repeat") {
            long long repeat = 0;
            if (!ParseInt(value, repeat) || repeat < 1 || repeat > 1000000)
                return Error("--repeat needs a whole number from 1 to 1000000, not '" + value + "'");
            options.repeat = static_cast<std::uint32_t>(repeat);
            options.sweepOptionGiven = true;
        } else if (arg == "--wait") {
            const auto wait = ParseSeconds(value, true);
            if (!wait) return Error("--wait needs a number of seconds, 0 or more, not '" + value + "'");
            options.wait = *wait;
        } else {
            if (value.empty()) return Error(arg + " needs a file name");
            options.output = value;
        }
    }
    if (options.help) return {options, {}};
    if (!command) return Error("no command given");
    if (options.output && command->command != Command::Read && command->command != Command::Show)
        return Error("-o is for read and show only");
    if (options.sweepOptionGiven && command->command != Command::Sweep)
        return Error("--steps, --step, --log, --dwell, --repeat and --updown are for sweep only");
    if (options.steps && options.step) return Error("give --steps or --step, not both");
    const std::size_t n = options.arguments.size();
    if (n < command->minArguments || n > command->maxArguments)
        return Error("usage: zorbel-cli [options] " + std::string(command->synopsis));
    options.command = command->command;
    return {options, {}};
}

std::string HelpText() {
    return R"(usage: zorbel-cli [--usb | --lan ADDRESS] [--channel 1|2] [--timeout SECONDS]
                  [--wait SECONDS] [--retry SECONDS] [-o FILE] COMMAND [ARGUMENTS]

Scripting front end for the two-channel DDS signal generator. It runs the same
model, command queue and session worker as the Zorbel program.

Commands:
  show [FILE.set]     print the settings in setup-file form: the built-in
                      defaults, or FILE.set as "Load Setup" loads it; no instrument
  read                read the instrument's limits and the settings of both
                      channels ("Read Operation"), then print them
  write FILE.set      load FILE.set, read the instrument's limits and check
                      every value of the file against them, then write the
                      settings of both channels ("Write Operation") and print
                      them; a value out of range stops it before any is sent
  set KEY=VALUE...    read the instrument, then change settings of the current
                      channel; only values that differ are written
  arb FILE            make the current channel arbitrary and download FILE
                      (.arb as "Load Data", .qwf as "Import Data") to it
  convert IN OUT      convert an arbitrary waveform between .arb and .qwf
                      (#Freq: what the points play at the divider), or from a
                      sound file (.wav .flac .aif .aiff: first channel, full
                      scale = +-10 V) or a table of values in volts (.csv
                      .txt: the last column) into either; no instrument
  report SETUP.set OUT.pdf
                      draw the printed report page of a channel of SETUP.set
                      (Load Setup) into the PDF file OUT.pdf; no instrument
  sweep KEY START STOP
                      read the instrument, then step the current channel's
                      Frequency or Amplitude (KEY) from START to STOP, one
                      write per step, each held for the dwell after the
                      instrument confirmed it; the channel keeps STOP (or,
                      with --updown, START). Sweep options:
    --steps N         N values from START to STOP, both included (default 11)
    --step S          steps of S (with --log: the ratio of two steps, 2 for
                      octaves); one that does not divide the way ends with a
                      shorter step onto STOP
    --log             logarithmic steps (START and STOP above 0)
    --dwell SECONDS   how long each value is held (default 0.1, at least 0.01)
    --repeat N        run the sweep N times (default 1)
    --updown          each run goes back from STOP to START

Options:
  --usb               connect over USB (default); QRV_USB_ID=vvvv:pppp picks the
                      device, QRV_USB_DEVICE=unix:PATH a virtual one
  --lan ADDRESS       connect over the network to the instrument at ADDRESS
  --channel 1|2       the current channel for set and arb, the one printed
                      as [Current] and the one report draws; default:
                      channel 1, or the setup file's
  --timeout SECONDS   longest wait for one instrument job (default 30; a
                      download gets more time for every 960 points); the run
                      ends within one exchange (at most 2 s) after it
  --wait SECONDS      longest wait for another program that is using the
                      instrument (default 5; not counted in --timeout); then
                      "the instrument is busy with another program"
  --retry SECONDS     when the instrument is absent or does not answer at the
                      command's first job, try again until it does or SECONDS
                      have passed (default 0: fail at once)
  -o FILE             read and show: write the printed setup to FILE instead
                      of standard output, as a whole or not at all (a failed
                      read keeps the old FILE)
  -h, --help          show this help

Keys of set, as in the setup file's [Channel_N] section (case does not matter,
the unit in brackets may be left out):
  OnOff               0 or 1 (also off, on)
  Type                1 sine, 2 square, 3 ramp, 4 pulse, 5 noise, 6 arbitrary,
                      7 harmonic (or the name)
  Frequency(Hz) Amplitude(V) Offset(V) Phase SquareDuty RampSymmetry PulseDuty
  PulseWidth(s) PulseLeading(s) PulseTrailing(s)
                      plain numbers in hertz, volts peak to peak, volts,
                      degrees, seconds; duty and symmetry are fractions
                      (0.25 = 25 %). Each is checked against the channel's
                      limits as read from the instrument.

Exit status:
  0                   success
  1                   the instrument is absent or busy with another program,
                      a command failed, or the output could not be written
  2                   bad usage, or a file or value that is refused

Examples:
  zorbel-cli --lan 192.168.1.100 read -o bench.set
  zorbel-cli write bench.set
  zorbel-cli --channel 2 set Frequency=2500 Amplitude(V)=1.5 Type=square
  zorbel-cli --channel 1 arb chirp.qwf
  zorbel-cli convert chirp.qwf chirp.arb
  zorbel-cli convert burst.wav burst.qwf
  zorbel-cli --channel 2 report bench.set bench-ch2.pdf
  zorbel-cli sweep Frequency 100 100000 --log --steps 31 --dwell 0.05
  zorbel-cli --retry 20 read
)";
}

}  // namespace zorbel::cli
