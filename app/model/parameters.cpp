// The parameter table: built-in limits and defaults of a new channel record.
#include "zorbel/model/parameters.h"

namespace zorbel {

namespace {

constexpr std::array<ParameterInfo, kParameterCount> kTable = {{
    {Parameter::Amplitude, "amplitude", "V", 20.0, 0.002, 2.0},
    {Parameter::Frequency, "frequency", "Hz", 3e7, 1e-6, 1000.0},
    {Parameter::Offset, "offset", "V", 9.9, -9.9, 0.0},
    {Parameter::Phase, "phase", "deg", 360.0, 0.0, 0.0},
    {Parameter::SquareDuty, "square duty", "", 0.999984, 1.6e-5, 0.5},
    {Parameter::RampSymmetry, "ramp symmetry", "", 0.99998, 1.6e-5, 0.5},
    {Parameter::PulseDuty, "pulse duty", "", 0.99998, 0.0, 0.1},
    {Parameter::PulseWidth, "pulse width", "s", 0.0009998, 1.6e-8, 0.0001},
    {Parameter::PulseLeading, "pulse leading edge", "s", 6.25e-5, 1.4e-8, 2e-8},
    {Parameter::PulseTrailing, "pulse trailing edge", "s", 6.25e-5, 6.25e-8, 2e-8},
}};
static_assert(RowsFollow(kTable), "kParameters rows must follow Parameter");

}  // namespace

const std::array<ParameterInfo, kParameterCount> kParameters = kTable;

std::optional<Parameter> ParameterOfCode(std::uint16_t code, std::uint16_t base) {
    if (code < base || code >= base + kParameterCount) return std::nullopt;
    return ParameterAt(code - base);
}

LimitsBlock LimitsBlock::BuiltIn() {
    LimitsBlock block;
    for (std::size_t n = 0; n < kParameterCount; ++n)
        block.Set(ParameterAt(n), kParameters[n].builtInMaximum, kParameters[n].builtInMinimum);
    return block;
}

}  // namespace zorbel
