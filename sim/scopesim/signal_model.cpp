// Signal, measurement and capture model of the simulated oscilloscope.
#include "signal_model.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <string_view>

#include "zorbel/numbers.h"

namespace scopesim {

namespace {

class BuiltInSignals final : public SignalSource {
public:
    ChannelSignal Signal(int channel) override {
        if (channel == 0) return {true, Wave::Sine, 1000, 2, 0};
        return {true, Wave::Square, 12500, 0.5, 0.25};
    }
};

struct Prefix {
    double scale;
    const char* symbol;
};

// Prefixes per unit, largest first. Voltages stop at milli: the calibration
// reads "mV" and "V" only.
std::vector<Prefix> PrefixesFor(const std::string& unit) {
    if (unit == "V") return {{1e3, "k"}, {1, ""}, {1e-3, "m"}};
    if (unit == "Hz") return {{1e6, "M"}, {1e3, "k"}, {1, ""}};
    if (unit == "s") return {{1, ""}, {1e-3, "m"}, {1e-6, "u"}, {1e-9, "n"}};
    return {{1, ""}};
}

// Level of the wave at `phase` (0..1 of a period), -1..+1.
double Shape(Wave wave, double phase, std::uint32_t& noise) {
    switch (wave) {
    case Wave::Square:
    case Wave::Pulse:
        return phase < 0.5 ? 1.0 : -1.0;
    case Wave::Ramp:
        return 2 * phase - 1;
    case Wave::Noise:
        noise = noise * 1664525u + 1013904223u;  // deterministic, repeatable captures
        return static_cast<double>(noise >> 8) / static_cast<double>(1u << 23) - 1.0;
    default:
        return std::sin(2 * std::numbers::pi * phase);
    }
}

bool HasPeriod(const ChannelSignal& s) { return s.on && s.wave != Wave::Noise && s.frequencyHz > 0; }

}  // namespace

std::unique_ptr<SignalSource> MakeBuiltInSignals() { return std::make_unique<BuiltInSignals>(); }

Wave WaveFromWord(const std::string& word) {
    std::string upper;
    for (char c : word) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto starts = [&](std::string_view prefix) { return upper.rfind(prefix, 0) == 0; };
    if (starts("SQU")) return Wave::Square;
    if (starts("RAMP")) return Wave::Ramp;
    if (starts("PUL")) return Wave::Pulse;
    if (starts("NOI")) return Wave::Noise;
    if (starts("USER") || starts("ARB")) return Wave::Arbitrary;
    if (starts("HARM")) return Wave::Harmonic;
    return Wave::Sine;
}

std::string EngineeringText(double value, const std::string& unit) {
    if (!std::isfinite(value)) return "?";
    const std::vector<Prefix> prefixes = PrefixesFor(unit);
    std::size_t i = 0;
    while (i + 1 < prefixes.size() && std::fabs(value) < prefixes[i].scale) ++i;
    for (;;) {
        const double mantissa = value / prefixes[i].scale;
        const double size = std::fabs(mantissa);
        const bool millivolts = unit == "V" && prefixes[i].scale == 1e-3;
        const int decimals = size < 10 ? (millivolts ? 3 : 2) : size < 100 ? 1 : 0;
        const std::string text = zorbel::formatFixed(mantissa, decimals);
        double shown = 0;
        zorbel::parseDouble(text, shown);
        // 999.7 mV rounds to "1000": show it as "1.00V" instead.
        if (std::fabs(shown) >= 1000 && i > 0) {
            --i;
            continue;
        }
        return text + prefixes[i].symbol + unit;
    }
}

std::string MeasurementText(std::uint8_t type, const ChannelSignal& s, double probeFactor) {
    const double a = s.on ? s.amplitudeVpp * probeFactor : 0;
    const double off = s.on ? s.offsetV * probeFactor : 0;
    const double half = a / 2;
    double ac = half / std::sqrt(2.0);  // RMS of the alternating part
    if (s.wave == Wave::Square || s.wave == Wave::Pulse) ac = half;
    if (s.wave == Wave::Ramp) ac = half / std::sqrt(3.0);
    if (s.wave == Wave::Noise) ac = a / 6;
    const double period = HasPeriod(s) ? 1 / s.frequencyHz : 0;
    switch (type) {
    case kMeasureFrequency:
        return HasPeriod(s) ? EngineeringText(s.frequencyHz, "Hz") : "?";
    case kMeasurePeriod:
        return HasPeriod(s) ? EngineeringText(period, "s") : "?";
    case kMeasureMean:
        return EngineeringText(off, "V");
    case kMeasurePeakToPeak:
    case kMeasureAmplitude:
        return EngineeringText(a, "V");
    case kMeasureRms:
        return EngineeringText(std::sqrt(off * off + ac * ac), "V");
    case kMeasureMaximum:
        return EngineeringText(off + half, "V");
    case kMeasureMinimum:
        return EngineeringText(off - half, "V");
    case kMeasureRiseTime:
    case kMeasureFallTime: {
        if (!HasPeriod(s)) return "?";
        // 10 % to 90 %: a fixed edge for square waves, a share of the period otherwise.
        const bool edge = s.wave == Wave::Square || s.wave == Wave::Pulse;
        const double sineShare = std::asin(0.8) / std::numbers::pi;
        return EngineeringText(edge ? 20e-9 : period * (s.wave == Wave::Ramp ? 0.8 : sineShare), "s");
    }
    case kMeasureDuty:
        return HasPeriod(s) ? zorbel::formatFixed(50.0, 1) + "%" : "?";
    default:
        return "?";
    }
}

std::vector<std::int8_t> CaptureSamples(const ChannelSignal& s, double probeFactor, double voltsPerDivision,
                                        double secondsPerDivision, int positionCodes, std::size_t count) {
    constexpr double kCodesPerDivision = 25;
    constexpr double kDivisions = 12;
    std::vector<std::int8_t> samples(count);
    std::uint32_t noise = 12345;
    const double step = count ? secondsPerDivision * kDivisions / static_cast<double>(count) : 0;
    for (std::size_t i = 0; i < count; ++i) {
        double volts = 0;
        if (s.on) {
            const double cycles = s.frequencyHz * step * static_cast<double>(i);
            volts = s.offsetV + s.amplitudeVpp / 2 * Shape(s.wave, cycles - std::floor(cycles), noise);
        }
        const double code = volts * probeFactor / voltsPerDivision * kCodesPerDivision + positionCodes;
        samples[i] = static_cast<std::int8_t>(std::clamp(std::lround(code), -128L, 127L));
    }
    return samples;
}

}  // namespace scopesim
