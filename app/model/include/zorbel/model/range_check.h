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

}  // namespace zorbel
