// Divider/points choice, candidate table, frequency of a setting and gain
// choice of arbitrary waveforms, through the library's exports.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <ostream>
#include <vector>

#include "QRVHardDll.h"

namespace {

// The program declares the same record: field order and natural alignment are
// part of the interface.
static_assert(offsetof(ArbitraryControl, divider) == 0);
static_assert(offsetof(ArbitraryControl, requestedFrequency) == 8);
static_assert(offsetof(ArbitraryControl, resultingFrequency) == 16);
static_assert(offsetof(ArbitraryControl, points) == 24);
static_assert(offsetof(ArbitraryControl, error) == 32);
static_assert(sizeof(ArbitraryControl) == 40);

constexpr double kInf = std::numeric_limits<double>::infinity();

double ClockHz(int divider) { return divider == 0 ? 250e6 : 250e6 / (4.0 * divider); }

// A record no computation produces, to see what was left untouched.
ArbitraryControl Sentinel() { return {-7, 1.5, 2.5, 12345, 3.5}; }

bool IsSentinel(const ArbitraryControl& c) {
    const ArbitraryControl s = Sentinel();
    return c.divider == s.divider && c.requestedFrequency == s.requestedFrequency &&
           c.resultingFrequency == s.resultingFrequency && c.points == s.points && c.error == s.error;
}

struct BestCase {
    double frequencyHz;
    int divider;
    std::uint32_t points;
    double resultingHz;
};

void PrintTo(const BestCase& c, std::ostream* os) { *os << c.frequencyHz << " Hz"; }

class BestCandidate : public ::testing::TestWithParam<BestCase> {};

// The program asks for 2..6000 points. These cover the refinement to the lower
// neighbour (1000 Hz), to a neighbour above the maximum (50 Hz), the fallback
// when nothing fits (1 Hz), ties among equal point counts (20 MHz) and the
// undivided clock (123 456 Hz).
TEST_P(BestCandidate, ChoosesDividerAndPointsAsTheInstrumentExpects) {
    const BestCase& want = GetParam();
    ArbitraryControl best = Sentinel();
    ASSERT_EQ(qmkHDGetBestArbitraryControlFromFreq(&best, want.frequencyHz, 2, 6000), 1);
    EXPECT_EQ(best.divider, want.divider);
    EXPECT_EQ(best.points, want.points);
    EXPECT_NEAR(best.resultingFrequency, want.resultingHz, 0.005);
    EXPECT_EQ(best.requestedFrequency, want.frequencyHz);
    EXPECT_DOUBLE_EQ(best.error, best.resultingFrequency / want.frequencyHz - 1.0);
}

INSTANTIATE_TEST_SUITE_P(ProgramLimits, BestCandidate,
                         ::testing::Values(BestCase{1000, 11, 5680, 1000.3201}, BestCase{50, 208, 6016, 49.94694},
                                           BestCase{1, 249, 251008, 0.99998}, BestCase{20e6, 249, 16, 15687.75},
                                           BestCase{123456, 0, 2032, 123031.50}),
                         [](const auto& info) {
                             return std::to_string(static_cast<long long>(info.param.frequencyHz)) + "Hz";
                         });

TEST(BestCandidate, UnusableFrequencyLeavesOutputUntouched) {
    for (double f : {0.0, -1000.0, std::numeric_limits<double>::quiet_NaN(), -kInf}) {
        ArbitraryControl best = Sentinel();
        EXPECT_EQ(qmkHDGetBestArbitraryControlFromFreq(&best, f, 2, 6000), 0) << f;
        EXPECT_TRUE(IsSentinel(best)) << f;
    }
    EXPECT_EQ(qmkHDGetBestArbitraryControlFromFreq(nullptr, 1000, 2, 6000), 0);
}

// Far below a hertz the point counts no longer fit the 32-bit field: such
// candidates are left out instead of wrapping to small, wrong counts.
TEST(BestCandidate, PointCountsBeyond32BitsAreNeverReported) {
    ArbitraryControl best = Sentinel();
    ASSERT_EQ(qmkHDGetBestArbitraryControlFromFreq(&best, 0.001, 2, 6000), 1);
    EXPECT_EQ(best.divider, 249);
    EXPECT_NEAR(best.resultingFrequency, 0.001, 1e-9);

    best = Sentinel();
    EXPECT_EQ(qmkHDGetBestArbitraryControlFromFreq(&best, 1e-300, 2, 6000), 0);
    EXPECT_TRUE(IsSentinel(best));
}

TEST(CandidateTable, HasBothRoundingsPerDividerUnlessExact) {
    std::vector<ArbitraryControl> table(1000, Sentinel());
    std::uint32_t count = 0;
    ASSERT_EQ(qmkHDGetWholeArbitraryControlFromFreq(table.data(), 1000, &count, 1000), 1);
    ASSERT_EQ(count, 499u);  // divider 0 divides exactly: 250 000 points, no second record
    EXPECT_EQ(table[0].divider, 0);
    EXPECT_EQ(table[0].points, 250000u);
    EXPECT_EQ(table[0].error, 0.0);
    for (std::uint32_t i = 1; i < count; ++i) {
        const ArbitraryControl& c = table[i];
        const int divider = static_cast<int>((i + 1) / 2);  // two records per divider from 1 on
        ASSERT_EQ(c.divider, divider) << i;
        const double exact = ClockHz(divider) / 1000.0;
        const double below = std::floor(exact / 16) * 16;
        EXPECT_EQ(c.points, static_cast<std::uint32_t>(i % 2 == 1 ? below : below + 16)) << i;
        EXPECT_DOUBLE_EQ(c.resultingFrequency, ClockHz(divider) / c.points) << i;
    }
    EXPECT_TRUE(IsSentinel(table[count]));
}

// The table stops exactly at the caller's capacity, after either record of a divider.
TEST(CandidateTable, NeverWritesPastCapacity) {
    for (std::uint32_t capacity : {1u, 2u, 3u, 4u}) {
        std::vector<ArbitraryControl> table(capacity + 1, Sentinel());
        std::uint32_t count = 0;
        ASSERT_EQ(qmkHDGetWholeArbitraryControlFromFreq(table.data(), capacity, &count, 1000), 1);
        EXPECT_EQ(count, capacity);
        EXPECT_TRUE(IsSentinel(table[capacity])) << capacity;
    }
    ArbitraryControl one = Sentinel();
    std::uint32_t count = 77;
    EXPECT_EQ(qmkHDGetWholeArbitraryControlFromFreq(&one, 0, &count, 1000), 0);
    EXPECT_EQ(qmkHDGetWholeArbitraryControlFromFreq(&one, 1, nullptr, 1000), 0);
    EXPECT_EQ(qmkHDGetWholeArbitraryControlFromFreq(&one, 1, &count, 0.0), 0);
    EXPECT_EQ(qmkHDGetWholeArbitraryControlFromFreq(&one, 1, &count, -5.0), 0);
    EXPECT_EQ(count, 77u);
    EXPECT_TRUE(IsSentinel(one));
}

TEST(CandidateTable, ZeroPointCandidatesHaveInfiniteFrequency) {
    std::vector<ArbitraryControl> table(1000);
    std::uint32_t count = 0;
    ASSERT_EQ(qmkHDGetWholeArbitraryControlFromFreq(table.data(), 1000, &count, 20e6), 1);
    ASSERT_EQ(count, 500u);
    for (std::uint32_t i = 0; i < count; i += 2) {
        EXPECT_EQ(table[i].points, 0u);
        EXPECT_EQ(table[i].resultingFrequency, kInf);
        EXPECT_EQ(table[i + 1].points, 16u);
    }
}

TEST(ArbFrequency, IsClockOverPoints) {
    struct Row {
        std::uint32_t points;
        std::uint16_t divider;
        double hz;
    };
    for (const Row& r : {Row{1000, 1, 62500.0}, Row{2032, 0, 250e6 / 2032}, Row{16, 250, 15625.0}, Row{0, 3, kInf}}) {
        double hz = -1;
        EXPECT_EQ(qmkHDGetArbFrequency(&hz, r.points, r.divider), 1);
        EXPECT_DOUBLE_EQ(hz, r.hz) << r.points << " points, divider " << r.divider;
    }
    double hz = -1;
    EXPECT_EQ(qmkHDGetArbFrequency(&hz, 1000, 251), 0);
    EXPECT_EQ(hz, -1);
}

TEST(ZoomFromData, SmallestGainWhoseFullScaleHoldsBothExtremes) {
    struct Row {
        double maximum, minimum;
        std::uint16_t gain;
    };
    for (const Row& r : {Row{0.625, -0.625, 1}, Row{0.63, 0, 4}, Row{0, -0.63, 4}, Row{2.5, -2.5, 4}, Row{0, -2.6, 20},
                         Row{2.6, 0, 20}, Row{0, 0, 1}})
        EXPECT_EQ(qmkHDGetZoomFromData(r.maximum, r.minimum), r.gain) << r.maximum << ", " << r.minimum;
}

}  // namespace
