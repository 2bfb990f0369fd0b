// Wave type table (see wave_types.h).
#include "wave_types.h"

#include <array>

namespace qrv {

namespace {

// Index = code - 1.
constexpr std::array<std::string_view, kLastWaveType> kWaveWords = {
    "SINusoid", "SQUare", "RAMP", "PULSe", "NOISe", "USER", "HARMonic",
};

}  // namespace

std::string_view WaveTypeName(std::uint16_t code) {
    if (code == 0 || code > kLastWaveType) return {};
    return kWaveWords[code - 1];
}

std::uint16_t WaveTypeCode(std::string_view text) {
    for (std::size_t i = 0; i < kWaveWords.size(); ++i)
        if (kWaveWords[i] == text) return static_cast<std::uint16_t>(i + 1);
    return 0;
}

}  // namespace qrv
