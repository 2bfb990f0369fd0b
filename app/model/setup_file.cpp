// Setup file reader and writer, driven by two key tables: the limits of a
// "Standard_%d" section and the settings of a "Channel_%d" section.
#include "zorbel/model/setup_file.h"

#include "file_numbers.h"
#include "zorbel/model/file_texts.h"
#include "zorbel/model/range_check.h"
#include "zorbel/numbers.h"

namespace zorbel {
namespace {

// Longest value a profile read hands out, characters.
constexpr std::size_t kMaxValueChars = 999;

// One limit pair of a "Standard_%d" section, in file order (not the order of
// the LimitsBlock: the file starts with the frequency).
struct LimitKeys {
    Parameter parameter;
    std::string_view maximumKey;
    std::string_view maximumFallback;
    std::string_view minimumKey;
    std::string_view minimumFallback;
};

constexpr std::array<LimitKeys, kParameterCount> kLimitKeys = {{
    {Parameter::Frequency, "MaxFrequency(Hz)", "3E+007", "MinFrequency(Hz)", "1E-006"},
    {Parameter::Amplitude, "MaxAmplitude(V)", "20", "MinAmplitude(V)", "0.002"},
    {Parameter::Offset, "MaxOffset(V)", "9.9", "MinOffset(V)", "-9.9"},
    {Parameter::Phase, "MaxPhase", "360", "MinPhase", "0.0"},
    {Parameter::SquareDuty, "MaxSquareDuty", "0.999984", "MinSquareDuty", "1.6E-005"},
    {Parameter::RampSymmetry, "MaxRampSymmetry", "0.99998", "MinRampSymmetry", "0.0"},
    {Parameter::PulseDuty, "MaxPulseDuty", "0.99998", "MinPulseDuty", "1.6E-005"},
    {Parameter::PulseWidth, "MaxPulseWidth(s)", "0.00099998", "MinPulseWidth(s)", "1.6E-008"},
    {Parameter::PulseLeading, "MaxPulseLeading(s)", "0.00099998", "MinPulseLeading(s)", "1.6E-008"},
    {Parameter::PulseTrailing, "MaxPulseTrailing(s)", "0.00099998", "MinPulseTrailing(s)", "1.6E-008"},
}};

constexpr std::string_view kCurrentSection = "Current";
constexpr std::string_view kCurrentKey = "Channel";

std::string StandardSection(int channel) { return "Standard_" + FormatInt(channel + 1); }
std::string ChannelSection(int channel) { return "Channel_" + FormatInt(channel + 1); }

// What the file holds of one channel.
struct ChannelCopy {
    LimitsBlock limits;
    std::uint16_t outputState;
    std::uint16_t waveType;
    std::array<double, kParameterCount> values;
};

}  // namespace

const std::array<SetupChannelKey, 12> kSetupChannelKeys = {{
    {"OnOff", "1", SetupChannelKey::Kind::OnOff, Parameter::Amplitude},
    {"Type", "1", SetupChannelKey::Kind::WaveType, Parameter::Amplitude},
    {"Frequency(Hz)", "1000.000", SetupChannelKey::Kind::Number, Parameter::Frequency},
    {"Amplitude(V)", "2.000", SetupChannelKey::Kind::Number, Parameter::Amplitude},
    {"Offset(V)", "0.000", SetupChannelKey::Kind::Number, Parameter::Offset},
    {"Phase", "0.000", SetupChannelKey::Kind::Number, Parameter::Phase},
    {"SquareDuty", "0.500", SetupChannelKey::Kind::Number, Parameter::SquareDuty},
    {"RampSymmetry", "0.500", SetupChannelKey::Kind::Number, Parameter::RampSymmetry},
    {"PulseDuty", "0.100", SetupChannelKey::Kind::Number, Parameter::PulseDuty},
    {"PulseWidth(s)", "1.0E-4", SetupChannelKey::Kind::Number, Parameter::PulseWidth},
    {"PulseLeading(s)", "1.0E-4", SetupChannelKey::Kind::Number, Parameter::PulseLeading},
    {"PulseTrailing(s)", "1.0E-4", SetupChannelKey::Kind::Number, Parameter::PulseTrailing},
}};

std::vector<SetupEntry> SetupFileEntries(const DeviceSettings& settings) {
    std::array<ChannelCopy, kChannelCount> channels;
    for (std::uint16_t ch = 0; ch < kChannelCount; ++ch) {
        channels[ch] = settings.ReadRecord(ch, [](const ChannelRecord& r) {
            return ChannelCopy{r.limits, r.outputState, r.waveType, r.values};
        });
    }
    std::vector<SetupEntry> entries;
    for (int ch = 0; ch < kChannelCount; ++ch) {
        const std::string section = StandardSection(ch);
        const LimitsBlock& limits = channels[ch].limits;
        for (const LimitKeys& row : kLimitKeys) {
            entries.push_back({section, std::string(row.maximumKey), FormatWindowsG(limits.Maximum(row.parameter))});
            entries.push_back({section, std::string(row.minimumKey), FormatWindowsG(limits.Minimum(row.parameter))});
        }
    }
    for (int ch = 0; ch < kChannelCount; ++ch) {
        const std::string section = ChannelSection(ch);
        const ChannelCopy& c = channels[ch];
        for (const SetupChannelKey& key : kSetupChannelKeys) {
            std::string value;
            switch (key.kind) {
            case SetupChannelKey::Kind::OnOff:
                value = FormatInt(c.outputState);
                break;
            case SetupChannelKey::Kind::WaveType:
                value = FormatInt(c.waveType);
                break;
            case SetupChannelKey::Kind::Number:
                value = FormatWindowsG(c.values[Index(key.parameter)]);
                break;
            }
            entries.push_back({section, std::string(key.key), std::move(value)});
        }
    }
    entries.push_back({std::string(kCurrentSection), std::string(kCurrentKey), FormatInt(settings.CurrentChannel())});
    return entries;
}

Result ApplySetupProfile(DeviceSettings& settings, const ProfileFile& profile) {
    const auto read = [&](const std::string& section, std::string_view key, std::string_view fallback) {
        return profile.GetString(section, key, fallback, kMaxValueChars);
    };
    // Every real is read and checked before the model changes, so that a
    // refused file changes nothing.
    std::string refused;
    const auto real = [&](const std::string& section, std::string_view key, std::string_view fallback) {
        const std::string text = read(section, key, fallback);
        const std::optional<double> value = files::ReadFiniteReal(text);
        if (!value && refused.empty())
            refused = FileTextOf(FileText::SetupNotFinite, {std::string(key), files::ShownText(text), section});
        return value.value_or(0.0);
    };

    std::array<LimitsBlock, kChannelCount> limits;
    std::array<std::array<double, kParameterCount>, kChannelCount> values{};
    for (std::uint16_t ch = 0; ch < kChannelCount; ++ch) {
        const std::string standard = StandardSection(ch);
        for (const LimitKeys& row : kLimitKeys) {
            limits[ch].Set(row.parameter, real(standard, row.maximumKey, row.maximumFallback),
                           real(standard, row.minimumKey, row.minimumFallback));
        }
        const std::string channel = ChannelSection(ch);
        for (const SetupChannelKey& key : kSetupChannelKeys) {
            if (key.kind == SetupChannelKey::Kind::Number)
                values[ch][Index(key.parameter)] = real(channel, key.key, key.fallback);
        }
    }
    if (!refused.empty()) return Result::Failed(refused);

    // Limits first: the settings' queued writes go out with them.
    for (std::uint16_t ch = 0; ch < kChannelCount; ++ch)
        settings.ModifyRecord(ch, [&](ChannelRecord& r) { r.limits = limits[ch]; });

    for (std::uint16_t ch = 0; ch < kChannelCount; ++ch) {
        const std::string section = ChannelSection(ch);
        for (const SetupChannelKey& key : kSetupChannelKeys) {
            switch (key.kind) {
            case SetupChannelKey::Kind::OnOff:
                settings.SetOutputState(ch, files::Low16(files::ReadInteger(read(section, key.key, key.fallback))));
                break;
            case SetupChannelKey::Kind::WaveType: {
                // Checked before narrowing: 65542 is no sine wave in disguise.
                const std::int32_t type = files::ReadInteger(read(section, key.key, key.fallback));
                if (IsValidWaveType(type)) settings.SetWaveType(ch, static_cast<std::uint16_t>(type));
                break;
            }
            case SetupChannelKey::Kind::Number:
                settings.SetParameter(ch, key.parameter, values[ch][Index(key.parameter)]);
                break;
            }
        }
    }

    const std::int32_t current = files::ReadInteger(read(std::string(kCurrentSection), kCurrentKey, "0"));
    if (current == 0 || current == 1) settings.SetCurrentChannel(static_cast<std::uint16_t>(current));
    return Result::Done();
}

Result ReadSetupFile(DeviceSettings& settings, const std::string& path) {
    ProfileFile profile;
    std::string why;
    if (profile.Load(path, &why) == ProfileFile::LoadResult::Failed) return Result::Failed(why);
    return ApplySetupProfile(settings, profile);  // a missing file: every key its default
}

Result WriteSetupFile(const DeviceSettings& settings, const std::string& path) {
    // Keys are replaced in the file as it is, so it must be readable first:
    // saving an empty profile over an unreadable file would lose its content.
    ProfileFile profile(TextEncoding::Utf8);
    std::string why;
    if (profile.Load(path, &why) == ProfileFile::LoadResult::Failed) return Result::Failed(why);
    for (const SetupEntry& entry : SetupFileEntries(settings)) {
        if (!profile.SetString(entry.section, entry.key, entry.value))
            return Result::Failed(FileTextOf(FileText::SetupCannotStore, {entry.key, entry.value}));
    }
    if (!profile.Save(path, &why)) return Result::Failed(why);
    return Result::Done();
}

std::string CheckSetupLimits(const DeviceSettings& settings) {
    for (std::uint16_t channel = 0; channel < kChannelCount; ++channel) {
        const auto [values, limits] = settings.ReadRecord(channel, [](const ChannelRecord& r) {
            return std::pair{r.values, r.limits};
        });
        for (const SetupChannelKey& key : kSetupChannelKeys) {
            if (key.kind != SetupChannelKey::Kind::Number) continue;
            if (auto message = OutOfRangeMessage(key.parameter, channel, values[Index(key.parameter)], limits))
                return "[Channel_" + FormatInt(channel + 1) + "] " + std::string(key.key) + ": " + *message;
        }
    }
    return {};
}

std::optional<std::string> SetupSectionsWarning(const DeviceSettings& settings, const std::string& path) {
    ProfileFile profile;
    if (profile.Load(path) != ProfileFile::LoadResult::Loaded) return std::nullopt;
    std::string names;
    for (const SetupEntry& e : SetupFileEntries(settings)) {
        if (profile.HasSection(Utf8ToUtf16(e.section))) return std::nullopt;
        const std::string name = "[" + e.section + "]";
        if (names.find(name) == std::string::npos) names += (names.empty() ? "" : ", ") + name;
    }
    return "none of the setup file's sections (" + names + "): the defaults are used";
}

}  // namespace zorbel
