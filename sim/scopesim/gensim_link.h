// Coupling to the generator simulator: before a measurement or capture the
// oscilloscope asks zorbel-gensim over UDP what its output presently is
// ("SIMulator:OUTPut? <n>", answered "<ON|OFF>,<wave word>,<frequency>,
// <amplitude>,<offset>"), so that it measures what the generator produces.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "signal_model.h"

namespace scopesim {

// Parses the generator simulator's answer; nullopt when it is malformed.
std::optional<ChannelSignal> ParseOutputAnswer(std::string_view answer);

// A signal source that asks the generator simulator at `address` (which must
// be a loopback address, 127.x.y.z) on UDP port 9966. `outputs[c]` is the
// generator output (1 or 2) wired to scope channel c. An output that does not
// answer within 300 ms reads as switched off. Null and `error` set when the
// address is not loopback or no socket can be opened.
std::unique_ptr<SignalSource> MakeGensimSignals(const std::string& address, std::array<int, 2> outputs,
                                                std::string& error);

}  // namespace scopesim
