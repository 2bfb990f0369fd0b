// Channel settings: output on/off, wave type and the ten numeric settings of
// both outputs, and the simulator-only "SIMulator:OUTPut? <n>" that lets the
// oscilloscope simulator see what the generator puts out (a calibration
// step's reference while one drives the output). Every set command
// is answered with the value as now set, every query with the current value.
#include "command_text.h"
#include "family.h"
#include "zorbel/numbers.h"

#include <array>

namespace gensim {

namespace {

// Command word after "SOURce<n>:" and where the value lives (instrument units).
struct NumericRow {
    std::string_view word;
    double ChannelOutput::*value;
};

constexpr std::array<NumericRow, 10> kNumeric = {{
    {"VOLTage", &ChannelOutput::amplitude},
    {"FREQuency", &ChannelOutput::frequency},
    {"VOLTage:OFFSet", &ChannelOutput::offset},
    {"PHASe", &ChannelOutput::phase},
    {"FUNCtion:SQUare:DCYCle", &ChannelOutput::squareDuty},
    {"FUNCtion:RAMP:SYMMetry", &ChannelOutput::rampSymmetry},
    {"FUNCtion:PULSe:DCYCle", &ChannelOutput::pulseDuty},
    {"FUNCtion:PULSe:WIDTh", &ChannelOutput::pulseWidth},
    {"FUNCtion:PULSe:TRANsition:LEADing", &ChannelOutput::pulseLeading},
    {"FUNCtion:PULSe:TRANsition:TRAiling", &ChannelOutput::pulseTrailing},
}};

std::string WaveWord(std::uint16_t code) {
    return code >= 1 && code <= kWaveWords.size() ? std::string(kWaveWords[code - 1]) : std::string();
}

std::string OnOffWord(bool on) { return on ? "ON" : "OFF"; }

// "OUTPut<n> ON|OFF" and "OUTPut<n>?"; rest is what follows the channel digit.
std::optional<Answers> Output(ChannelOutput& out, std::string_view rest) {
    if (rest == "?") return Answers{OnOffWord(out.on)};
    if (rest == " ON")
        out.on = true;
    else if (rest == " OFF")
        out.on = false;
    else
        return std::nullopt;
    return Answers{OnOffWord(out.on)};
}

// "SOURce<n>:..." without range arguments; rest starts after the colon.
std::optional<Answers> Source(ChannelOutput& out, std::string_view rest) {
    std::string_view header;
    std::string_view argument;
    SplitHeader(rest, header, argument);
    const bool query = !header.empty() && header.back() == '?';
    if (query) {
        if (!argument.empty()) return std::nullopt;  // "? MAXimum" and the like belong to other families
        header.remove_suffix(1);
    } else if (argument.empty()) {
        return std::nullopt;
    }

    if (header == "FUNCtion") {
        if (!query) {
            for (std::size_t i = 0; i < kWaveWords.size(); ++i)
                if (kWaveWords[i] == argument) out.wave = static_cast<std::uint16_t>(i + 1);
        }
        return Answers{WaveWord(out.wave)};  // an unknown word leaves the wave as it was
    }
    for (const auto& row : kNumeric) {
        if (row.word != header) continue;
        double value = 0;
        if (!query && zorbel::ParseDouble(argument, value)) out.*row.value = value;
        return Answers{zorbel::FormatWindowsG(out.*row.value)};
    }
    return std::nullopt;
}

// "SIMulator:OUTPut? <n>": "<ON|OFF>,<wave word>,<frequency>,<amplitude>,<offset>".
std::optional<Answers> SimulatorOutput(const GeneratorState& state, std::string_view argument) {
    if (argument != "1" && argument != "2") return std::nullopt;
    const std::size_t index = argument == "1" ? 0 : 1;
    const ChannelOutput& out = state.calibrationOutput[index] ? *state.calibrationOutput[index] : state.channels[index];
    return Answers{OnOffWord(out.on) + "," + WaveWord(out.wave) + "," + zorbel::FormatWindowsG(out.frequency) + "," +
                   zorbel::FormatWindowsG(out.amplitude) + "," + zorbel::FormatWindowsG(out.offset)};
}

class ChannelFamily final : public CommandFamily {
public:
    std::optional<Answers> Handle(std::string_view command, GeneratorState& state) override {
        int channel = 0;
        std::string_view rest;
        if (SplitChannelCommand(command, "OUTPut", channel, rest)) {
            if (rest != "?") state.calibrationOutput[channel - 1].reset();
            return Output(state.channels[channel - 1], rest);
        }
        if (SplitChannelCommand(command, "SOURce", channel, rest) && !rest.empty() && rest[0] == ':') {
            if (rest.find('?') == std::string_view::npos) state.calibrationOutput[channel - 1].reset();
            return Source(state.channels[channel - 1], rest.substr(1));
        }
        constexpr std::string_view kSimOutput = "SIMulator:OUTPut? ";
        if (command.substr(0, kSimOutput.size()) == kSimOutput)
            return SimulatorOutput(state, command.substr(kSimOutput.size()));
        return std::nullopt;
    }
};

}  // namespace

std::unique_ptr<CommandFamily> MakeChannelFamily(const SimOptions&) { return std::make_unique<ChannelFamily>(); }

}  // namespace gensim
