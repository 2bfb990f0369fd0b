// The ten numeric channel settings as one table: command word, scale and
// limit rule drive one write and one read. The range queries build their
// texts from the same table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qrv {

enum class NumericQuantity : std::size_t {
    Amplitude,      // volts peak to peak
    Frequency,      // hertz
    OffsetVoltage,  // volts, may be negative
    InitPhase,      // degrees
    SquareDuty,     // fraction (instrument: percent)
    RampSymmetry,   // fraction (instrument: percent)
    PulseDuty,      // fraction (instrument: percent)
    PulseWidth,     // seconds
    PulseLeading,   // seconds
    PulseTrailing,  // seconds
};
inline constexpr std::size_t kNumericQuantityCount = 10;

// How a write and a read check their value and limits (all in interface units).
//  A: limits need maximum > 0, minimum >= 0, maximum >= minimum; the value
//     (write) or the answer (read) must lie in minimum..maximum.
//  B: limits need maximum >= minimum; a written value must lie in
//     (minimum, maximum] -- the minimum itself is refused -- and an answer
//     in minimum..maximum. For the offset, which may be negative.
//  C: as A, but a written value outside minimum..maximum gives status 0.
enum class LimitRule { A, B, C };

struct NumericSetting {
    NumericQuantity quantity;  // its own row: ties the table's order to the enumeration
    std::string_view name;     // for messages and tests: "square duty"
    std::string_view word;     // after "SOURce<n>:", e.g. "FUNCtion:SQUare:DCYCle"
    double toInstrument;       // interface units to instrument units (100 for percent)
    double fromInstrument;     // instrument units to interface units (0.01 for percent)
    LimitRule rule;
};

const NumericSetting& Setting(NumericQuantity quantity);

// "SOURce<channel + 1>:<word> <valueText>"
std::string SetCommand(NumericQuantity quantity, std::uint16_t channel, std::string_view valueText);
// "SOURce<channel + 1>:<word>?"
std::string QueryCommand(NumericQuantity quantity, std::uint16_t channel);

// "SOURce<channel + 1>:<word>? <bound>", bound "MAXimum" or "MINimum"
std::string RangeQueryCommand(NumericQuantity quantity, std::uint16_t channel, std::string_view bound);

// The numeric write: limits by the rule, value scaled and sent as "%G",
// status 2 only when the answer is a number within 1e-7 of the value sent
// (the scaled value rounded to six significant digits).
std::uint16_t WriteNumeric(NumericQuantity quantity, std::uint16_t channel, double value, double maximum,
                           double minimum);
// The numeric read: limits by the rule, answer parsed and scaled; stored in
// *value with status 2 only when it lies in minimum..maximum.
std::uint16_t ReadNumeric(NumericQuantity quantity, std::uint16_t channel, double* value, double maximum,
                          double minimum);

}  // namespace qrv
