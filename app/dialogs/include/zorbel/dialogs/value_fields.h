// The number fields of the panel, the wave parameter pages and the point
// editor as rules without widgets: what a typed number becomes, why it is
// refused, what the model holds, how an accepted value is written and what
// the view redraws then. BindField (field_binding.h) carries a rule out on
// its edit; EnterValue is the one order in which every field does it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "zorbel/digit_step.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/parameters.h"
#include "zorbel/model/result.h"
#include "zorbel/model/session_state.h"

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

// What a number field does with the number typed into it. Only `current`
// and `commit` are required.
struct FieldRule {
    // The typed number as the field takes it (a count cut to whole blocks);
    // empty: as typed. Shown at once when it differs.
    std::function<double(double typed)> take{};
    // Whether the taken number is refused, and the message; empty: never.
    std::function<Result(double taken)> check{};
    // The accepted number as the model will hold it (six significant digits,
    // as sent); empty: as taken.
    std::function<double(double taken)> stored{};
    // The model's value: shown again after a refusal; an entry equal to it
    // writes nothing.
    std::function<double()> current{};
    // Writes the value; true when the view is then to redraw `redraw`.
    std::function<bool(double value)> commit{};
    RefreshMask redraw = RefreshMask::Waveform;
    // What digit stepping holds the field's number within (the limits
    // `check` refuses beyond); empty: any number.
    std::function<StepLimits()> limits{};
};

// The field's side of an entry.
struct FieldSteps {
    std::function<void(double value)> show{};  // after acceptance: the field shows the value held
    // After a refusal: the field shows the model's value (`show` when empty).
    std::function<void(double value)> restore{};
    // Tells the user why; the model may be detached meanwhile.
    std::function<void(const std::string& message)> refuse{};
    std::function<bool()> attached{};  // false once the model has gone
    std::function<void(RefreshMask mask)> redraw{};
};

enum class FieldEntry { Refused, Unchanged, Written };

// The one order of every field: take, check, refuse and restore (only while
// the model is still attached), show what is held (a zero without its
// sign), write when it differs and ask for the redraw. A write the machine has no memory for (a point count
// of millions) keeps the model's value and shows it again.
FieldEntry EnterValue(const FieldRule& rule, double typed, const FieldSteps& steps);

// ---- The rules of the program's fields --------------------------------------
// Each reads and writes `settings` for `channel`; build it when the field is
// left (the rule does not check that the model is still there).

// A wave parameter page's field: checked against the channel's limits as
// typed, held as sent ("%G", six significant digits).
FieldRule ParameterRule(DeviceSettings& settings, std::uint16_t channel, Parameter p);
// The panel's frequency group, in hertz: the instrument's frequency, or for
// the arbitrary wave type the arbitrary frequency (kept as typed; it chooses
// the sample clock).
FieldRule PanelFrequencyRule(DeviceSettings& settings, std::uint16_t channel);
// The arbitrary page: the waveform's frequency, its point count (whole
// blocks of 16 points) and the sample clock divider.
FieldRule ArbitraryFrequencyRule(DeviceSettings& settings, std::uint16_t channel);
FieldRule PointCountRule(DeviceSettings& settings, std::uint16_t channel);
FieldRule DividerRule(DeviceSettings& settings, std::uint16_t channel);

// The panel's frequency as unit (0 Hz, 1 KHz, 2 MHz) and mantissa:
// frequency = mantissa x 1000^unit.
struct UnitFrequency {
    std::uint16_t unit = 0;
    double mantissa = 0.0;
};
// The largest unit in which the mantissa is at least 1 (Hz below 1 Hz).
UnitFrequency SplitFrequency(double frequency);
// Hertz of `mantissa` in `unit` (units beyond MHz count as MHz).
double JoinFrequency(double mantissa, std::uint16_t unit);

// A typed parameter value checked against a channel's limits.
Result CheckTypedValue(Parameter p, std::uint16_t channel, double typed, const LimitsBlock& limits);

// The whole part of a typed number, saturated to the range of long long (0 for NaN).
long long TruncatedInteger(double value);

// Arbitrary waveform fields: the messages when a typed value is refused.
Result CheckArbitraryFrequency(std::uint16_t channel, double typed, const LimitsBlock& limits);
Result CheckDivider(std::uint16_t channel, long long typed);
Result CheckPointCount(std::uint16_t channel, long long count);

// Stores `frequency` (hertz) as the channel's arbitrary frequency; when the
// generator library finds a sample clock for it, sets that divider (the
// setter queues its write) and resamples the waveform to its points per
// period (ApplyArbitraryControl: one undo step, on the worker for a large
// waveform). True when a clock was found.
bool ChooseArbitraryControl(DeviceSettings& settings, std::uint16_t channel, double frequency);

}  // namespace zorbel
