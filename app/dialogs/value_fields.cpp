// The page field table, the rules of the program's number fields and the one
// order in which a field takes a typed number.
#include "zorbel/dialogs/value_fields.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/file_texts.h"
#include "zorbel/model/range_check.h"
#include "zorbel/model/wave_fields.h"
#include "zorbel/numbers.h"

namespace zorbel {

namespace {

Result DividerStyleRefusal(std::uint16_t channel, long long value, long long maximum) {
    return Result::Failed(
        FileTextOf(FileText::SampleDivOutside, {FormatInt(channel + 1), FormatInt(value), FormatInt(maximum)}));
}

Result FromMessage(std::optional<std::string> message) {
    return message ? Result::Failed(std::move(*message)) : Result::Done();
}

// The instrument plays whole blocks of 16 points.
long long WholeBlocks(long long count) { return count >= 0 ? count & ~15LL : count; }

template <class F>
auto Read(const DeviceSettings& settings, std::uint16_t channel, F field) {
    return settings.ReadRecord(channel, field);
}

}  // namespace

// The pages label their fields as the printed page does.
static_assert([] {
    for (const ValueField& field : kValueFields)
        if (field.labelId != LabelItemOf(field.parameter)) return false;
    return true;
}());

std::span<const Parameter> PageFields(std::uint16_t waveType) { return WaveTypeFields(waveType); }

FieldEntry EnterValue(const FieldRule& rule, double typed, const FieldSteps& steps) {
    const double taken = rule.take ? rule.take(typed) : typed;
    if (taken != typed) steps.show(taken);
    const auto restore = [&] {
        if (!steps.attached()) return;  // the program may have detached the model while the message was up
        (steps.restore ? steps.restore : steps.show)(rule.current());
    };
    if (rule.check) {
        if (const Result checked = rule.check(taken); !checked) {
            steps.refuse(checked.Why());
            restore();
            return FieldEntry::Refused;
        }
    }
    double value = rule.stored ? rule.stored(taken) : taken;
    // A zero has no sign: never "-0" in a command, a file or a field.
    if (value == 0) value = 0.0;
    steps.show(value);  // what the instrument will hold
    if (value == rule.current()) return FieldEntry::Unchanged;
    bool redraw = false;
    try {
        redraw = rule.commit(value);
    } catch (const std::bad_alloc&) {
        restore();
        return FieldEntry::Unchanged;
    }
    if (redraw) steps.redraw(rule.redraw);
    return FieldEntry::Written;
}

FieldRule ParameterRule(DeviceSettings& settings, std::uint16_t channel, Parameter p) {
    return {
        .check = [&settings, channel,
                  p](double typed) { return CheckTypedValue(p, channel, typed, settings.CopyLimits(channel)); },
        .stored = [](double typed) { return RoundToWindowsG(typed); },
        .current = [&settings, channel,
                    p] { return Read(settings, channel, [p](const ChannelRecord& r) { return r.Value(p); }); },
        .commit =
            [&settings, channel, p](double value) {
                settings.SetParameter(channel, p, value);
                return true;
            },
        .redraw = FieldOf(p).refreshMask,
        .limits = [&settings, channel, p] { return TypeableRange(p, settings.CopyLimits(channel)); },
    };
}

FieldRule PanelFrequencyRule(DeviceSettings& settings, std::uint16_t channel) {
    const std::uint16_t type = Read(settings, channel, [](const ChannelRecord& r) { return r.waveType; });
    return {
        .check =
            [&settings, channel](double typed) {
                return CheckTypedValue(Parameter::Frequency, channel, typed, settings.CopyLimits(channel));
            },
        // Only the instrument's own frequency is sent; the arbitrary
        // frequency chooses the sample clock and is kept as typed.
        .stored = [type](double typed) { return type == kWaveArbitrary ? typed : RoundToWindowsG(typed); },
        .current =
            [&settings, channel] {
                return Read(settings, channel, [](const ChannelRecord& r) {
                    return r.waveType == kWaveArbitrary ? r.arbitraryFrequency : r.Value(Parameter::Frequency);
                });
            },
        .commit =
            [&settings, channel, type](double value) {
                if (type >= kWaveSine && type <= kWavePulse)
                    settings.SetParameter(channel, Parameter::Frequency, value);
                else if (type == kWaveArbitrary)
                    ChooseArbitraryControl(settings, channel, value);
                return true;
            },
        .limits = [&settings, channel] { return TypeableRange(Parameter::Frequency, settings.CopyLimits(channel)); },
    };
}

FieldRule ArbitraryFrequencyRule(DeviceSettings& settings, std::uint16_t channel) {
    return {
        .check = [&settings, channel](
                     double typed) { return CheckArbitraryFrequency(channel, typed, settings.CopyLimits(channel)); },
        .current =
            [&settings, channel] {
                return Read(settings, channel, [](const ChannelRecord& r) { return r.arbitraryFrequency; });
            },
        .commit = [&settings, channel](double value) { return ChooseArbitraryControl(settings, channel, value); },
        .redraw = RefreshMask::Annotations,
        .limits = [&settings, channel] { return TypeableRange(Parameter::Frequency, settings.CopyLimits(channel)); },
    };
}

FieldRule PointCountRule(DeviceSettings& settings, std::uint16_t channel) {
    return {
        .take = [](double typed) { return static_cast<double>(WholeBlocks(TruncatedInteger(typed))); },
        // Cut again: a count beyond 2^53 is not held exactly by the double.
        .check = [channel](double count) { return CheckPointCount(channel, WholeBlocks(TruncatedInteger(count))); },
        .current =
            [&settings, channel] {
                return double(Read(settings, channel, [](const ChannelRecord& r) { return r.arbitraryPointCount; }));
            },
        // Up to 2^26 points are allowed; a machine without the memory for
        // them keeps the waveform it has (EnterValue). Millions of points
        // are built on a worker under the progress dialog, with Cancel.
        .commit =
            [&settings, channel](double value) {
                const auto count = static_cast<std::uint32_t>(value);
                RunLongJob(ResizeJob(settings, channel, count, nullptr));
                return true;
            },
        .redraw = RefreshMask::Annotations,
        .limits =
            [] {
                return StepLimits{0, kMaxArbitraryPoints};
            },
    };
}

FieldRule DividerRule(DeviceSettings& settings, std::uint16_t channel) {
    return {
        // Checked as typed: keeping only 16 bits first would take 65636 as 100.
        .take = [](double typed) { return static_cast<double>(TruncatedInteger(typed)); },
        .check = [channel](double divider) { return CheckDivider(channel, TruncatedInteger(divider)); },
        .current =
            [&settings, channel] {
                return double(Read(settings, channel, [](const ChannelRecord& r) { return r.arbitraryDivider; }));
            },
        .commit =
            [&settings, channel](double value) {
                settings.SetArbitraryDivider(channel, static_cast<std::uint16_t>(value));
                return false;
            },
        .limits =
            [] {
                return StepLimits{0, kMaxArbitraryDivider};
            },
    };
}

UnitFrequency SplitFrequency(double frequency) {
    if (frequency < 1000) return {0, frequency};
    if (frequency < 1000000) return {1, frequency / 1000};
    return {2, frequency / 1000000};
}

double JoinFrequency(double mantissa, std::uint16_t unit) {
    constexpr std::array<double, 3> kFactors = {1.0, 1e3, 1e6};
    return mantissa * kFactors[std::min<std::uint16_t>(unit, 2)];
}

Result CheckTypedValue(Parameter p, std::uint16_t channel, double typed, const LimitsBlock& limits) {
    return FromMessage(OutOfRangeMessage(p, channel, typed, limits));
}

long long TruncatedInteger(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9.2e18) return LLONG_MAX;
    if (value <= -9.2e18) return LLONG_MIN;
    return static_cast<long long>(std::trunc(value));
}

Result CheckArbitraryFrequency(std::uint16_t channel, double typed, const LimitsBlock& limits) {
    // The frequency range rule, with the arbitrary page's own words.
    if (!OutOfRangeMessage(Parameter::Frequency, channel, typed, limits)) return Result::Done();
    return Result::Failed(
        FileTextOf(FileText::ArbFrequencyOutside,
                   {FormatInt(channel + 1), FormatWindowsG(typed), FormatWindowsG(limits.Minimum(Parameter::Frequency)),
                    FormatWindowsG(limits.Maximum(Parameter::Frequency))}));
}

Result CheckDivider(std::uint16_t channel, long long typed) {
    if (typed >= 0 && typed <= kMaxArbitraryDivider) return Result::Done();
    return DividerStyleRefusal(channel, typed, kMaxArbitraryDivider);
}

Result CheckPointCount(std::uint16_t channel, long long count) {
    if (count >= 0 && count <= kMaxArbitraryPoints) return Result::Done();
    return DividerStyleRefusal(channel, count, kMaxArbitraryPoints);  // the users know it under this name
}

bool ChooseArbitraryControl(DeviceSettings& settings, std::uint16_t channel, double frequency) {
    // Two to 6000 points per period: the instrument's choice for its panels.
    const std::optional<ArbitraryControl> best = settings.BestArbitraryControl(frequency, 2, 6000);
    // The waveform keeps its shape on the new points; the clock, the
    // resampled points and the typed frequency are stored together.
    if (!best || !ApplyArbitraryControl(settings, channel, *best, frequency))
        settings.ModifyRecord(channel, [&](ChannelRecord& r) { r.arbitraryFrequency = frequency; });
    return best.has_value();
}

}  // namespace zorbel
