// KEY=VALUE arguments of "set": key lookup, value conversion, range checks.
#include "setting_changes.h"

#include <array>
#include <string_view>

#include "zorbel/model/range_check.h"
#include "zorbel/numbers.h"

namespace zorbel::cli {
namespace {

using Kind = SetupChannelKey::Kind;

struct Word {
    std::string_view text;
    int value;
};

constexpr std::array<Word, 4> kOnOffWords = {{{"0", 0}, {"1", 1}, {"off", 0}, {"on", 1}}};
constexpr std::array<Word, 8> kWaveTypeWords = {{{"sine", kWaveSine},
                                                 {"square", kWaveSquare},
                                                 {"ramp", kWaveRamp},
                                                 {"pulse", kWavePulse},
                                                 {"noise", kWaveNoise},
                                                 {"arbitrary", kWaveArbitrary},
                                                 {"arb", kWaveArbitrary},
                                                 {"harmonic", kWaveHarmonic}}};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

template <std::size_t N>
std::optional<int> FindWord(const std::array<Word, N>& words, std::string_view text) {
    for (const Word& w : words)
        if (SameIgnoringCase(w.text, text)) return w.value;
    return std::nullopt;
}

std::optional<double> ParseValue(const SetupChannelKey& key, std::string_view text, const DeviceSettings& settings) {
    switch (key.kind) {
    case Kind::OnOff:
        if (auto v = FindWord(kOnOffWords, text)) return *v;
        return std::nullopt;
    case Kind::WaveType: {
        if (auto v = FindWord(kWaveTypeWords, text)) return *v;
        long long code = 0;
        if (ParseInt(text, code) && IsValidWaveType(code)) return static_cast<double>(code);
        return std::nullopt;
    }
    case Kind::Number:
        return settings.TryParseNumberText(text);
    }
    return std::nullopt;
}

double CurrentValue(const ChannelRecord& r, const SetupChannelKey& key) {
    switch (key.kind) {
    case Kind::OnOff:
        return r.outputState;
    case Kind::WaveType:
        return r.waveType;
    case Kind::Number:
        return r.Value(key.parameter);
    }
    return 0.0;
}

}  // namespace

// "Frequency(Hz)" answers to "frequency(hz)" and to "Frequency".
const SetupChannelKey* FindKey(std::string_view name) {
    for (const SetupChannelKey& key : kSetupChannelKeys) {
        const std::string_view bare = key.key.substr(0, key.key.find('('));
        if (SameIgnoringCase(name, key.key) || SameIgnoringCase(name, bare)) return &key;
    }
    return nullptr;
}

ParsedChanges ParseSettingChanges(const std::vector<std::string>& arguments, const DeviceSettings& settings) {
    ParsedChanges parsed;
    for (const std::string& argument : arguments) {
        const auto eq = argument.find('=');
        if (eq == std::string::npos) {
            parsed.error = "'" + argument + "' is not KEY=VALUE";
            break;
        }
        const std::string_view name = std::string_view(argument).substr(0, eq);
        const std::string_view text = std::string_view(argument).substr(eq + 1);
        const SetupChannelKey* key = FindKey(name);
        if (!key) {
            parsed.error = "unknown key '" + std::string(name) + "'";
            break;
        }
        const std::optional<double> value = ParseValue(*key, text, settings);
        if (!value) {
            const char* expected = key->kind == Kind::OnOff      ? "0 or 1"
                                   : key->kind == Kind::WaveType ? "a wave type 1 to 7 or its name"
                                                                 : "a plain number";
            parsed.error = std::string(key->key) + " needs " + expected + ", not '" + std::string(text) + "'";
            break;
        }
        parsed.changes.push_back({key, *value});
    }
    if (!parsed.error.empty()) parsed.changes.clear();
    return parsed;
}

std::string CheckLimits(const std::vector<SettingChange>& changes, std::uint16_t channel, const LimitsBlock& limits) {
    for (const SettingChange& change : changes) {
        if (change.key->kind != Kind::Number) continue;
        if (auto message = OutOfRangeMessage(change.key->parameter, channel, change.value, limits)) return *message;
    }
    return {};
}

void ApplySettingChanges(const std::vector<SettingChange>& changes, std::uint16_t channel, DeviceSettings& settings) {
    for (const SettingChange& change : changes) {
        // As on the pages: an unchanged value is not written again.
        const double current =
            settings.ReadRecord(channel, [&](const ChannelRecord& r) { return CurrentValue(r, *change.key); });
        if (change.value == current) continue;
        switch (change.key->kind) {
        case Kind::OnOff:
            settings.SetOutputState(channel, static_cast<std::uint16_t>(change.value));
            break;
        case Kind::WaveType:
            settings.SetWaveType(channel, static_cast<std::uint16_t>(change.value));
            break;
        case Kind::Number:
            settings.SetParameter(channel, change.key->parameter, change.value);
            break;
        }
    }
}

// The plan of "sweep KEY START STOP" and its options; numbers by the
// model's rules, as set reads them.
std::optional<SweepPlan> SweepPlanOf(const Options& options, const DeviceSettings& settings, std::string& error) {
    const std::vector<std::string>& a = options.arguments;
    const SetupChannelKey* key = FindKey(a[0]);
    if (!key || key->kind != SetupChannelKey::Kind::Number ||
        (key->parameter != Parameter::Frequency && key->parameter != Parameter::Amplitude)) {
        error = "'" + a[0] + "': only Frequency(Hz) and Amplitude(V) can be swept";
        return std::nullopt;
    }
    SweepPlan plan;
    plan.parameter = key->parameter;
    const auto number = [&](const std::string& text, const char* what) {
        const auto value = settings.TryParseNumberText(text);
        if (!value) error = std::string(what) + " needs a plain number, not '" + text + "'";
        return value.value_or(0.0);
    };
    plan.start = number(a[1], "START");
    if (error.empty()) plan.stop = number(a[2], "STOP");
    if (error.empty() && options.step) plan.step = number(*options.step, "--step");
    if (!error.empty()) return std::nullopt;
    if (options.steps) {
        long long count = 0;
        if (!ParseInt(*options.steps, count) || count < 2 || count > kMaximumSweepValues) {
            error = "--steps needs a whole number from 2 to " + FormatInt(kMaximumSweepValues) + ", not '" +
                    *options.steps + "'";
            return std::nullopt;
        }
        plan.count = static_cast<std::uint32_t>(count);
    } else if (!options.step) {
        plan.count = 11;
    }
    plan.scale = options.logarithmic ? SweepScale::Logarithmic : SweepScale::Linear;
    plan.dwell = options.dwell;
    plan.repeat = options.repeat;
    plan.upDown = options.upDown;
    return plan;
}

}  // namespace zorbel::cli
