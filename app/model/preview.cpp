// Preview synthesis and vertical window.
#include "zorbel/model/preview.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace zorbel {
namespace {

// Fractional part x - trunc(x): negative for a negative phase, which then
// counts as the first part of the period (the instrument's own preview rule).
double Fraction(double x) { return x - std::trunc(x); }

// Noise draws from 0..32767 as the C runtime's rand() does; one generator
// per thread because the setters (UI) and read-backs (worker) both synthesize.
int NoiseDraw() {
    thread_local std::minstd_rand engine{std::random_device{}()};
    return std::uniform_int_distribution<int>(0, 32767)(engine);
}

double RampSample(double f, double symmetry, double amplitude, double offset) {
    // Symmetry 0 or 1 (not reachable through the dialogs, but through a setup
    // file) would divide by zero: they are the pure falling and rising ramps.
    if (symmetry <= 0.0) return offset + amplitude * (0.5 - f);
    if (symmetry >= 1.0) return offset + amplitude * (f - 0.5);
    if (f <= symmetry) return offset + amplitude * (f / symmetry - 0.5);
    return offset + amplitude * (0.5 - (f - symmetry) / (1.0 - symmetry));
}

}  // namespace

void UpdateVerticalWindow(ChannelRecord& record) {
    if (!record.autoVerticalWindow) return;
    const double amplitude = record.Value(Parameter::Amplitude);
    const double offset = record.Value(Parameter::Offset);
    const double halfRange = record.limits.Maximum(Parameter::Amplitude) / 2.0;
    const double h = 0.625 * amplitude;
    double upper = offset + h;
    double lower = offset - h;
    if (offset + h > halfRange) {
        upper = halfRange;
        lower = 2.0 * offset - halfRange;
    } else if (offset - h < -halfRange) {
        lower = -halfRange;
        upper = 2.0 * offset + halfRange;
    }
    record.previewUpper = upper;
    record.previewLower = lower;
}

void SynthesizePreview(ChannelRecord& record) {
    const std::uint16_t type = record.waveType;
    if (type < kWaveSine || type > kWaveNoise) return;

    // The count is a plain field: never write past the array it describes.
    const std::size_t n = std::min<std::size_t>(record.previewPointCount, record.previewSamples.size());
    if (n == 0) return;
    const double amplitude = record.Value(Parameter::Amplitude);
    const double offset = record.Value(Parameter::Offset);
    const double phaseTurns = record.Value(Parameter::Phase) / 360.0;
    const double periods = record.previewPeriods;
    const double count = static_cast<double>(record.previewPointCount);
    double* out = record.previewSamples.data();

    switch (type) {
    case kWaveSine:
        for (std::size_t i = 0; i < n; ++i)
            out[i] = std::sin(phaseTurns * 2.0 * std::numbers::pi + i * periods * 2.0 * std::numbers::pi / count) *
                         amplitude / 2.0 +
                     offset;
        break;
    case kWaveSquare:
    case kWavePulse: {
        const double duty = record.Value(type == kWaveSquare ? Parameter::SquareDuty : Parameter::PulseDuty);
        for (std::size_t i = 0; i < n; ++i) {
            const double f = Fraction(phaseTurns + i * periods / count);
            out[i] = f <= duty ? offset + amplitude / 2.0 : offset - amplitude / 2.0;
        }
        break;
    }
    case kWaveRamp: {
        const double symmetry = record.Value(Parameter::RampSymmetry);
        for (std::size_t i = 0; i < n; ++i) {
            const double f = Fraction(phaseTurns + i * periods / count + symmetry / 2.0);
            out[i] = RampSample(f, symmetry, amplitude, offset);
        }
        break;
    }
    case kWaveNoise:
        for (std::size_t i = 0; i < n; ++i) out[i] = (NoiseDraw() / 32767.0 - 0.5) * amplitude + offset;
        break;
    default:
        break;
    }
}

}  // namespace zorbel
