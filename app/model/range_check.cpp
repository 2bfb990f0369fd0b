// Range check messages of the wave parameter pages, one label per parameter.
#include "zorbel/model/range_check.h"

#include <array>

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

std::optional<std::string> OutOfRangeMessage(Parameter p, std::uint16_t channel, double value,
                                             const LimitsBlock& limits) {
    const double minimum = limits.Minimum(p);
    const double maximum = limits.Maximum(p);
    // The generator library refuses an offset equal to its minimum without
    // sending it, which latches the session; so that minimum is outside too.
    const auto inside = [&](double v) {
        const bool aboveMinimum = p == Parameter::Offset ? v > minimum : v >= minimum;
        return aboveMinimum && v <= maximum;  // NaN is refused too
    };
    // Both the value as typed and as the setter stores and sends it, rounded
    // to six digits (-9.8999999 goes out as -9.9), must lie inside.
    if (inside(value) && inside(RoundToWindowsG(value))) return std::nullopt;
    return FileTextOf(kRefusals[Index(p)], {FormatInt(channel + 1), FormatWindowsG(value), FormatWindowsG(minimum),
                                            FormatWindowsG(maximum)});
}

}  // namespace zorbel
