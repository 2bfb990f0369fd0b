// Range check messages of the wave parameter pages, one label per parameter.
#include "zorbel/model/range_check.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "zorbel/model/file_texts.h"
#include "zorbel/numbers.h"

namespace zorbel {
namespace {

// Indexed by Index(Parameter).
constexpr std::array<FileText, kParameterCount> kRefusals = {
    FileText::AmplitudeOutside,     FileText::FrequencyOutside,  FileText::OffsetOutside,
    FileText::PhaseOutside,         FileText::SquareDutyOutside, FileText::RampSymmetryOutside,
    FileText::PulseDutyOutside,     FileText::PulseWidthOutside, FileText::PulseLeadingOutside,
    FileText::PulseTrailingOutside,
};

}  // namespace

StepLimits TypeableRange(Parameter p, const LimitsBlock& limits) {
    // The generator library refuses an offset equal to its minimum without
    // sending it, which latches the session; so that minimum is outside too.
    return {limits.Minimum(p), limits.Maximum(p), p == Parameter::Offset};
}

std::optional<std::string> OutOfRangeMessage(Parameter p, std::uint16_t channel, double value,
                                             const LimitsBlock& limits) {
    const StepLimits range = TypeableRange(p, limits);
    const double minimum = range.minimum;
    const double maximum = range.maximum;
    const auto inside = [&](double v) {
        const bool aboveMinimum = range.minimumExcluded ? v > minimum : v >= minimum;
        return aboveMinimum && v <= maximum;  // NaN is refused too
    };
    // Both the value as typed and as the setter stores and sends it, rounded
    // to six digits (-9.8999999 goes out as -9.9), must lie inside.
    if (inside(value) && inside(RoundToWindowsG(value))) return std::nullopt;
    return FileTextOf(kRefusals[Index(p)], {FormatInt(channel + 1), FormatWindowsG(value), FormatWindowsG(minimum),
                                            FormatWindowsG(maximum)});
}

PulseConflict FindPulseConflict(double frequency, double duty, double width) {
    const auto usable = [](double v) { return std::isfinite(v) && v > 0; };
    if (!usable(frequency) || !usable(width) || !std::isfinite(duty) || duty < 0) return PulseConflict::None;
    const double period = 1 / frequency;
    // Beyond the period once it is set to the nanosecond: a width typed as
    // the period's six digits ("%G" of 1/6000 s) is not.
    if (width - period > kPulseWidthResolution / 2) return PulseConflict::WidthBeyondPeriod;
    // A hair of rounding in duty x period is no conflict.
    constexpr double kRounding = 1 + 1e-9;
    const double tolerance = std::max(kPulseWidthResolution, kPulseDutyResolution * period);
    if (std::abs(width - duty * period) > tolerance * kRounding) return PulseConflict::WidthAgainstDuty;
    return PulseConflict::None;
}

}  // namespace zorbel
