// What a command family of the simulator is: a handler that recognises its
// own commands and answers them. Each family keeps its own state in its
// file; the channel outputs, which several families read or change, live in
// GeneratorState.
#pragma once

#include "options.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gensim {

// The answers to one command, in order. Empty: the command has no answer.
// Several pieces: a chunked answer (LAN sends one datagram per piece, USB
// hands out one piece per read request).
using Answers = std::vector<std::string>;

// Wave codes as the library uses them: 1 SINusoid ... 7 HARMonic.
inline constexpr std::array<std::string_view, 7> kWaveWords = {
    "SINusoid", "SQUare", "RAMP", "PULSe", "NOISe", "USER", "HARMonic",
};

// One output as the instrument has it set, in instrument units.
struct ChannelOutput {
    bool on = false;
    std::uint16_t wave = 1;       // index into kWaveWords + 1
    double amplitude = 1.0;       // volts peak to peak
    double frequency = 1000.0;    // hertz
    double offset = 0.0;          // volts
    double phase = 0.0;           // degrees
    double squareDuty = 50.0;     // percent
    double rampSymmetry = 50.0;   // percent
    double pulseDuty = 50.0;      // percent
    double pulseWidth = 0.0005;   // seconds
    double pulseLeading = 2e-8;   // seconds (power-on values lie within the ranges)
    double pulseTrailing = 2e-8;  // seconds
};

struct GeneratorState {
    std::array<ChannelOutput, 2> channels;  // index 0 is "SOURce1"
    // What an output carries while a calibration step drives it (the step's
    // reference) instead of its settings; ended by a new setting of that
    // output, another calibration channel or storing the calibration.
    std::array<std::optional<ChannelOutput>, 2> calibrationOutput;
};

class CommandFamily {
public:
    virtual ~CommandFamily() = default;
    // nullopt: not a command of this family (the next family is asked).
    // Otherwise the answers; `command` is the exact bytes received (binary
    // data packets included).
    virtual std::optional<Answers> Handle(std::string_view command, GeneratorState& state) = 0;
};

using FamilyFactory = std::unique_ptr<CommandFamily> (*)(const SimOptions& options);

}  // namespace gensim
