// The range check of a typed parameter value, as the wave parameter pages
// make it before they call a setter: a value outside the channel's limits
// (both limits allowed, except the offset's minimum, which the generator
// library refuses) is refused with a message naming channel, value and
// range, e.g. "Set CH1 Frequency(Hz) Error: (5E+007) is out of range(1E-006,3E+007)".
// The value is checked as it will be sent: rounded to six significant digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "zorbel/digit_step.h"
#include "zorbel/model/parameters.h"

namespace zorbel {

// Nothing when `value` lies within the limits of `p`, else the message.
// `channel` is the channel index (0 or 1); the message shows it plus one.
std::optional<std::string> OutOfRangeMessage(Parameter p, std::uint16_t channel, double value,
                                             const LimitsBlock& limits);

// The values of `p` the check lets through, as a field steps within them.
StepLimits TypeableRange(Parameter p, const LimitsBlock& limits);

// A pulse's width and duty both set how long it is high: the instrument
// takes each as sent, and a user who set them apart is told so (and they
// are still sent as set).
enum class PulseConflict {
    None,
    WidthBeyondPeriod,  // the width is longer than the period, 1/frequency
    WidthAgainstDuty,   // the width differs from duty x period by more than the instrument can set
};
// What the instrument can set: the duty in steps of 0.01 % (four decimals of
// the fraction), the width in nanoseconds.
inline constexpr double kPulseDutyResolution = 1e-4;
inline constexpr double kPulseWidthResolution = 1e-9;
// The conflict of a pulse of `frequency` hertz, `duty` (a fraction) and
// `width` seconds; None when a value is no positive finite number, as
// nothing can be said of it then.
PulseConflict FindPulseConflict(double frequency, double duty, double width);

}  // namespace zorbel
