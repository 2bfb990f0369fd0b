// Wave type codes and the words the instrument uses for them. The words are
// sent and compared exactly as written, mixed case included.
#pragma once

#include <cstdint>
#include <string_view>

namespace qrv {

// Codes 1..7: sine, square, ramp, pulse, noise, arbitrary (user), harmonic.
inline constexpr std::uint16_t kLastWaveType = 7;

// "SINusoid" for 1 ... "HARMonic" for 7; empty for 0 and codes above 7.
std::string_view WaveTypeName(std::uint16_t code);

// The code of the word equal (byte by byte) to `text`, or 0.
std::uint16_t WaveTypeCode(std::string_view text);

}  // namespace qrv
