// The page field table and the checks of typed values.
#include "zorbel/dialogs/value_fields.h"

#include <climits>
#include <cmath>

#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/range_check.h"
#include "zorbel/model/wave_fields.h"
#include "zorbel/numbers.h"

namespace zorbel {

namespace {

std::string DividerStyleMessage(std::uint16_t channel, long long value, long long maximum) {
    return "Set CH" + FormatInt(channel + 1) + " Sample Div Error: (" + FormatInt(value) + ") is out of range(0," +
           FormatInt(maximum) + ")";
}

}  // namespace

// The pages label their fields as the printed page does.
static_assert([] {
    for (const ValueField& field : kValueFields)
        if (field.labelId != LabelItemOf(field.parameter)) return false;
    return true;
}());

std::span<const Parameter> PageFields(std::uint16_t waveType) { return WaveTypeFields(waveType); }

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
    EditArbitrary(settings, channel, ArbitraryEdit::Resize(best->points));
    return true;
}

}  // namespace zorbel
