// The page field table and the checks of typed values.
#include "zorbel/dialogs/value_fields.h"

#include <climits>
#include <cmath>

#include "zorbel/model/range_check.h"
#include "zorbel/numbers.h"

namespace zorbel {

namespace {

using P = Parameter;
constexpr std::array kSineFields = {P::Frequency, P::Amplitude, P::Offset, P::Phase};
constexpr std::array kSquareFields = {P::Frequency, P::Amplitude, P::Offset, P::Phase, P::SquareDuty};
constexpr std::array kRampFields = {P::Frequency, P::Amplitude, P::Offset, P::Phase, P::RampSymmetry};
constexpr std::array kPulseFields = {P::Frequency, P::Amplitude,  P::Offset,       P::Phase,
                                     P::PulseDuty, P::PulseWidth, P::PulseLeading, P::PulseTrailing};
constexpr std::array kNoiseFields = {P::Amplitude, P::Offset};

std::string DividerStyleMessage(std::uint16_t channel, long long value, long long maximum) {
    return "Set CH" + FormatInt(channel + 1) + " Sample Div Error: (" + FormatInt(value) + ") is out of range(0," +
           FormatInt(maximum) + ")";
}

}  // namespace

std::span<const Parameter> PageFields(std::uint16_t waveType) {
    switch (waveType) {
    case kWaveSine:
        return kSineFields;
    case kWaveSquare:
        return kSquareFields;
    case kWaveRamp:
        return kRampFields;
    case kWavePulse:
        return kPulseFields;
    case kWaveNoise:
        return kNoiseFields;
    default:
        return {};
    }
}

CheckedValue CheckTypedValue(Parameter p, std::uint16_t channel, double typed, const LimitsBlock& limits) {
    return {RoundToWindowsG(typed), OutOfRangeMessage(p, channel, typed, limits)};
}

long long TruncatedInteger(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9.2e18) return LLONG_MAX;
    if (value <= -9.2e18) return LLONG_MIN;
    return static_cast<long long>(std::trunc(value));
}

std::optional<std::string> ArbitraryFrequencyRefusal(std::uint16_t channel, double typed, const LimitsBlock& limits) {
    // The frequency range rule, with the arbitrary page's own words.
    if (!OutOfRangeMessage(Parameter::Frequency, channel, typed, limits)) return std::nullopt;
    return "Set CH" + FormatInt(channel + 1) + "  Arb Frequency(Hz) Error: (" + FormatWindowsG(typed) +
           ") is out of range(" + FormatWindowsG(limits.Minimum(Parameter::Frequency)) + "," +
           FormatWindowsG(limits.Maximum(Parameter::Frequency)) + ")";
}

std::optional<std::string> DividerRefusal(std::uint16_t channel, long long typed) {
    if (typed >= 0 && typed <= kMaxArbitraryDivider) return std::nullopt;
    return DividerStyleMessage(channel, typed, kMaxArbitraryDivider);
}

std::optional<std::string> PointCountRefusal(std::uint16_t channel, long long count) {
    if (count >= 0 && count <= kMaxArbitraryPoints) return std::nullopt;
    return DividerStyleMessage(channel, count, kMaxArbitraryPoints);  // the users know it under this name
}

bool ChooseArbitraryControl(DeviceSettings& settings, std::uint16_t channel, double frequency) {
    settings.ModifyRecord(channel, [&](ChannelRecord& r) { r.arbitraryFrequency = frequency; });
    // Two to 6000 points per period: the instrument's choice for its panels.
    const std::optional<ArbitraryControl> best = settings.BestArbitraryControl(frequency, 2, 6000);
    if (!best) return false;
    settings.SetArbitraryDivider(channel, static_cast<std::uint16_t>(best->divider));
    settings.History().RecordResize(channel, best->points);
    settings.ResizeArbitrary(channel, best->points);
    return true;
}

}  // namespace zorbel
