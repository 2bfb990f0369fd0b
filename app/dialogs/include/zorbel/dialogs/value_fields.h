// The number fields of the wave parameter pages as one table, and the rules
// a typed value passes before it reaches a setter of the model.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "zorbel/dialogs/dialog_links.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/parameters.h"
#include "zorbel/model/session_observer.h"

namespace zorbel {

// One label and number field of a page. The parameter names the model's
// value, its limits pair, its range message and its setter.
struct ValueField {
    Parameter parameter;
    int labelId;  // control ids, also language item numbers
    int editId;
    const char* label;        // template caption of the label
    std::uint16_t decimals;   // digits shown after the point
    RefreshMask refreshMask;  // what the view redraws after a write
};

// In parameter order, so that FieldOf is an index. Amplitude and offset move
// the vertical scale, so the annotations are redrawn; every other parameter
// changes the waveform only.
inline constexpr std::array<ValueField, kParameterCount> kValueFields = {{
    {Parameter::Amplitude, 1023, 1024, "Amplitude:", 3, RefreshMask::Annotations},
    {Parameter::Frequency, 1021, 1022, "Frequency:", 6, RefreshMask::Waveform},
    {Parameter::Offset, 1025, 1026, "Offset:", 3, RefreshMask::Annotations},
    {Parameter::Phase, 1027, 1028, "Phase:", 2, RefreshMask::Waveform},
    {Parameter::SquareDuty, 1029, 1030, "Duty:", 4, RefreshMask::Waveform},
    {Parameter::RampSymmetry, 1031, 1032, "Symmetry:", 4, RefreshMask::Waveform},
    {Parameter::PulseDuty, 1033, 1034, "Duty:", 4, RefreshMask::Waveform},
    {Parameter::PulseWidth, 1035, 1036, "Width:", 9, RefreshMask::Waveform},
    {Parameter::PulseLeading, 1037, 1038, "Leading:", 9, RefreshMask::Waveform},
    {Parameter::PulseTrailing, 1039, 1040, "Trailing:", 9, RefreshMask::Waveform},
}};
static_assert(RowsFollow(kValueFields));
inline const ValueField& FieldOf(Parameter p) { return kValueFields[Index(p)]; }

// The fields of the page of wave type 1 to 5, top to bottom; none for others.
std::span<const Parameter> PageFields(std::uint16_t waveType);

// A typed parameter value checked against a channel's limits.
struct CheckedValue {
    double sent;                         // as the instrument receives it: "%G", six significant digits
    std::optional<std::string> refusal;  // the range message when refused
};
CheckedValue CheckTypedValue(Parameter p, std::uint16_t channel, double typed, const LimitsBlock& limits);

// The whole part of a typed number, saturated to the range of long long (0 for NaN).
long long TruncatedInteger(double value);

// Arbitrary waveform fields: the messages when a typed value is refused.
std::optional<std::string> ArbitraryFrequencyRefusal(std::uint16_t channel, double typed, const LimitsBlock& limits);
std::optional<std::string> DividerRefusal(std::uint16_t channel, long long typed);
std::optional<std::string> PointCountRefusal(std::uint16_t channel, long long count);

// Stores `frequency` (hertz) as the channel's arbitrary frequency; when the
// generator library finds a sample clock for it, sets that divider (the
// setter queues its write) and resizes the waveform to its points per
// period. True when a clock was found.
bool ChooseArbitraryControl(DeviceSettings& settings, std::uint16_t channel, double frequency);

}  // namespace zorbel
