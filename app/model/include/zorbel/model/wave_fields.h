// The numeric settings each wave type shows, in the order of its parameter
// page, and the language item that labels each one. The parameter pages and
// the printed page both take them from here.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "zorbel/model/channel_record.h"
#include "zorbel/model/parameters.h"

namespace zorbel {

// Language item of each parameter's label ("Frequency:"), in parameter order.
inline constexpr std::array<int, kParameterCount> kParameterLabelItems = {1023, 1021, 1025, 1027, 1029,
                                                                          1031, 1033, 1035, 1037, 1039};
inline constexpr int LabelItemOf(Parameter p) { return kParameterLabelItems[Index(p)]; }

// The fields of wave type 1 to 5, top to bottom; none for the others.
inline std::span<const Parameter> WaveTypeFields(std::uint16_t waveType) {
    using P = Parameter;
    static constexpr std::array kSine = {P::Frequency, P::Amplitude, P::Offset, P::Phase};
    static constexpr std::array kSquare = {P::Frequency, P::Amplitude, P::Offset, P::Phase, P::SquareDuty};
    static constexpr std::array kRamp = {P::Frequency, P::Amplitude, P::Offset, P::Phase, P::RampSymmetry};
    static constexpr std::array kPulse = {P::Frequency, P::Amplitude,  P::Offset,       P::Phase,
                                          P::PulseDuty, P::PulseWidth, P::PulseLeading, P::PulseTrailing};
    static constexpr std::array kNoise = {P::Amplitude, P::Offset};
    switch (waveType) {
    case kWaveSine:
        return kSine;
    case kWaveSquare:
        return kSquare;
    case kWaveRamp:
        return kRamp;
    case kWavePulse:
        return kPulse;
    case kWaveNoise:
        return kNoise;
    default:
        return {};
    }
}

}  // namespace zorbel
