// Preview: the vertical window and the synthesized samples per wave type.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "test_names.h"
#include "zorbel/model/preview.h"

namespace zorbel {
namespace {

struct WindowCase {
    const char* what;
    double amplitude, offset;
    double lower, upper;
};

class VerticalWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(VerticalWindow, FollowsAmplitudeAndOffsetWithinHalfTheAmplitudeMaximum) {
    const WindowCase c = GetParam();
    ChannelRecord r;  // amplitude maximum 20 V
    r.Value(Parameter::Amplitude) = c.amplitude;
    r.Value(Parameter::Offset) = c.offset;
    UpdateVerticalWindow(r);
    EXPECT_DOUBLE_EQ(r.previewLower, c.lower);
    EXPECT_DOUBLE_EQ(r.previewUpper, c.upper);
}

INSTANTIATE_TEST_SUITE_P(Cases, VerticalWindow,
                         ::testing::Values(WindowCase{"plain", 2.0, 0.0, -1.25, 1.25},
                                           WindowCase{"cut at the top", 4.0, 9.0, 8.0, 10.0},
                                           WindowCase{"cut at the bottom", 4.0, -9.0, -10.0, -8.0},
                                           WindowCase{"exactly full not cut", 16.0, 0.0, -10.0, 10.0},
                                           WindowCase{"no amplitude", 0.0, 3.0, 3.0, 3.0}),
                         [](const auto& info) { return test::CaseName(info.param.what); });

TEST(VerticalWindow, StaysWhenAutoWindowIsOff) {
    ChannelRecord r;
    r.autoVerticalWindow = 0;
    r.Value(Parameter::Amplitude) = 4.0;
    UpdateVerticalWindow(r);
    EXPECT_EQ(r.previewLower, -12.5);
    EXPECT_EQ(r.previewUpper, 12.5);
}

ChannelRecord Synthesized(std::uint16_t type, Parameter p = Parameter::Amplitude, double value = 2.0) {
    ChannelRecord r;
    r.waveType = type;
    r.Value(Parameter::Amplitude) = 2.0;
    r.Value(Parameter::Offset) = 1.0;
    r.Value(p) = value;
    SynthesizePreview(r);
    return r;
}

TEST(Preview, SineStartsAtThePhaseAndShowsTwoPeriods) {
    const ChannelRecord r = Synthesized(kWaveSine);
    EXPECT_NEAR(r.previewSamples[0], 1.0, 1e-12);    // offset
    EXPECT_NEAR(r.previewSamples[100], 2.0, 1e-12);  // quarter period (400 points per period)
    EXPECT_NEAR(r.previewSamples[500], 2.0, 1e-12);  // second period
    EXPECT_NEAR(r.previewSamples[300], 0.0, 1e-12);
    const ChannelRecord shifted = Synthesized(kWaveSine, Parameter::Phase, 90.0);
    EXPECT_NEAR(shifted.previewSamples[0], 2.0, 1e-12);
}

TEST(Preview, SquareAndPulseAreHighForTheirDutyOfEachPeriod) {
    for (auto [type, duty] : {std::pair{kWaveSquare, Parameter::SquareDuty}, {kWavePulse, Parameter::PulseDuty}}) {
        const ChannelRecord r = Synthesized(type, duty, 0.25);
        const auto high = std::count(r.previewSamples.begin(), r.previewSamples.end(), 2.0);
        const auto low = std::count(r.previewSamples.begin(), r.previewSamples.end(), 0.0);
        EXPECT_EQ(high + low, 800);
        EXPECT_NEAR(high, 200, 2) << "type " << type;
    }
}

TEST(Preview, RampStaysWithinItsSwingForEverySymmetry) {
    for (double symmetry : {0.0, 1.6e-5, 0.5, 0.99998, 1.0}) {
        const ChannelRecord r = Synthesized(kWaveRamp, Parameter::RampSymmetry, symmetry);
        for (double s : r.previewSamples) {
            ASSERT_TRUE(std::isfinite(s)) << "symmetry " << symmetry;
            ASSERT_GE(s, -1e-9);
            ASSERT_LE(s, 2.0 + 1e-9);
        }
    }
    // Symmetry 0.5: a triangle that starts at the offset, rising.
    const ChannelRecord tri = Synthesized(kWaveRamp, Parameter::RampSymmetry, 0.5);
    EXPECT_NEAR(tri.previewSamples[0], 1.0, 1e-9);
    EXPECT_GT(tri.previewSamples[10], tri.previewSamples[0]);
}

TEST(Preview, NoiseStaysWithinAmplitudeAroundOffset) {
    const ChannelRecord r = Synthesized(kWaveNoise);
    const auto [lo, hi] = std::minmax_element(r.previewSamples.begin(), r.previewSamples.end());
    EXPECT_GE(*lo, 0.0);
    EXPECT_LE(*hi, 2.0);
    EXPECT_LT(*lo, *hi);
}

TEST(Preview, ArbitraryAndHarmonicLeaveTheSamples) {
    for (std::uint16_t type : {std::uint16_t{kWaveArbitrary}, std::uint16_t{kWaveHarmonic}, std::uint16_t{0}}) {
        ChannelRecord r;
        r.previewSamples.assign(800, 7.0);
        r.waveType = type;
        SynthesizePreview(r);
        EXPECT_EQ(r.previewSamples, std::vector<double>(800, 7.0));
    }
}

TEST(Preview, CountBeyondTheArrayNeverWritesPastIt) {
    ChannelRecord r;
    r.previewSamples.resize(10);
    r.previewPointCount = 800;  // inconsistent on purpose
    SynthesizePreview(r);
    EXPECT_EQ(r.previewSamples.size(), 10u);
}

}  // namespace
}  // namespace zorbel
