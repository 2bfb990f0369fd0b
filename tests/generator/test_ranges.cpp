// Range queries through the exports, against zorbel-gensim over LAN and the
// virtual USB device: every quantity on both channels, the percent scaling,
// and the statuses for inverted, equal, missing and unreadable answers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "QRVHardDll.h"
#include "sim_process.h"

namespace {

using zorbel::test::Gensim;
using zorbel::test::GensimConfig;

using RangeFn = uint16_t (*)(uint16_t, double*, double*);

enum class Link { Lan, Usb };

// Points the library at the simulator over the chosen link.
void UseLink(const Gensim& sim, Link link) {
    if (link == Link::Usb) {
        setenv("QRV_USB_DEVICE", sim.UsbDevice().c_str(), 1);
        qmkHDInitComType(0, sim.LanAddressValue());
    } else {
        unsetenv("QRV_USB_DEVICE");
        qmkHDInitComType(1, sim.LanAddressValue());
    }
}

std::unique_ptr<Gensim> StartSim(std::vector<std::string> args = {}) {
    GensimConfig config;
    config.extraArgs = std::move(args);
    std::string error;
    auto sim = Gensim::Start(config, &error);
    EXPECT_TRUE(sim) << error;
    return sim;
}

// The simulator's ranges (instrument units) and the interface's scaling.
struct Quantity {
    const char* name;
    RangeFn read;
    double scale;
    double max1, min1, max2, min2;
};

const Quantity kQuantities[] = {
    {"amplitude", qmkHDReadChannelAmplitudeStandard, 1, 10, 0.004, 5, 0.004},
    {"frequency", qmkHDReadChannelFrequencyStandard, 1, 2.5e7, 0.001, 1e7, 0.001},
    {"offset", qmkHDReadChannelOffsetVoltageStandard, 1, 5, -5, 2.5, -2.5},
    {"phase", qmkHDReadChannelInitPhaseStandard, 1, 359.9, 0, 359.9, 0},
    {"square duty", qmkHDReadChannelSquareDutyStandard, 0.01, 80, 20, 90, 10},
    {"ramp symmetry", qmkHDReadChannelRampSymmetryStandard, 0.01, 100, 0, 100, 0},
    {"pulse duty", qmkHDReadChannelPulseDutyStandard, 0.01, 90, 10, 95, 5},
    {"pulse width", qmkHDReadChannelPulseWidthStandard, 1, 0.5, 2e-8, 0.25, 2e-8},
    {"pulse leading", qmkHDReadChannelPulseLeadingStandard, 1, 1e-5, 2e-8, 1e-5, 1.8e-8},
    {"pulse trailing", qmkHDReadChannelPulseTrailingStandard, 1, 1e-5, 2e-8, 1e-5, 1.8e-8},
};

class RangesOverLink : public ::testing::TestWithParam<Link> {
protected:
    static void SetUpTestSuite() { sim = StartSim(); }
    static void TearDownTestSuite() {
        sim.reset();
        unsetenv("QRV_USB_DEVICE");
    }
    void SetUp() override {
        ASSERT_TRUE(sim);
        UseLink(*sim, GetParam());
    }
    static std::unique_ptr<Gensim> sim;
};
std::unique_ptr<Gensim> RangesOverLink::sim;

TEST_P(RangesOverLink, EveryQuantityOnBothChannels) {
    for (const Quantity& q : kQuantities) {
        SCOPED_TRACE(q.name);
        double max = -1;
        double min = -1;
        ASSERT_EQ(q.read(0, &max, &min), 2);
        EXPECT_DOUBLE_EQ(max, q.max1 * q.scale);
        EXPECT_DOUBLE_EQ(min, q.min1 * q.scale);
        ASSERT_EQ(q.read(1, &max, &min), 2);
        EXPECT_DOUBLE_EQ(max, q.max2 * q.scale);
        EXPECT_DOUBLE_EQ(min, q.min2 * q.scale);
    }
}

INSTANTIATE_TEST_SUITE_P(Links, RangesOverLink, ::testing::Values(Link::Lan, Link::Usb),
                         [](const auto& info) { return info.param == Link::Lan ? "Lan" : "Usb"; });

// Instrument behaviours that need a simulator of their own.
struct OddCase {
    const char* name;
    std::vector<std::string> simArgs;
    Link link;
    uint16_t status;
    double max, min;  // expected outputs (-1: untouched)
};

void PrintTo(const OddCase& c, std::ostream* os) { *os << c.name; }

class OddRanges : public ::testing::TestWithParam<OddCase> {};

TEST_P(OddRanges, StatusAndWhatIsStored) {
    const OddCase& c = GetParam();
    auto sim = StartSim(c.simArgs);
    ASSERT_TRUE(sim);
    UseLink(*sim, c.link);
    double max = -1;
    double min = -1;
    EXPECT_EQ(qmkHDReadChannelSquareDutyStandard(0, &max, &min), c.status);
    EXPECT_DOUBLE_EQ(max, c.max);
    EXPECT_DOUBLE_EQ(min, c.min);
    unsetenv("QRV_USB_DEVICE");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OddRanges,
    ::testing::Values(
        // Both stored all the same.
        OddCase{"InvertedBounds", {"--range", "1:FUNCtion:SQUare:DCYCle=1,5"}, Link::Lan, 3, 0.01, 0.05},
        OddCase{"EqualBounds", {"--range", "1:FUNCtion:SQUare:DCYCle=40,40"}, Link::Usb, 2, 0.4, 0.4},
        // Every second answer is lost: the minimum never comes, the maximum stays stored.
        OddCase{"MinimumUnansweredLan", {"--drop", "2"}, Link::Lan, 1, 0.8, -1},
        OddCase{"MinimumUnansweredUsb", {"--drop", "2"}, Link::Usb, 1, 0.8, -1},
        OddCase{"NotANumber", {"--answer", "80%"}, Link::Lan, 3, -1, -1},
        OddCase{"TrailingLineFeed", {"--answer", "80\n"}, Link::Usb, 3, -1, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RangesOfAMissingChannel, GetNoAnswer) {
    auto sim = StartSim();
    ASSERT_TRUE(sim);
    UseLink(*sim, Link::Lan);
    double max = -1;
    double min = -1;
    EXPECT_EQ(qmkHDReadChannelPulseWidthStandard(2, &max, &min), 1);  // "SOURce3:..." is unknown
    EXPECT_EQ(max, -1);
    EXPECT_EQ(min, -1);
}

TEST(RangesWithoutInstrument, NoDeviceStoresNothing) {
    setenv("QRV_USB_DEVICE", "unix:/nonexistent/zorbel/ranges.sock", 1);
    qmkHDInitComType(0, 0x7F000001);
    double max = -1;
    double min = -1;
    EXPECT_EQ(qmkHDReadChannelFrequencyStandard(0, &max, &min), 0);
    EXPECT_EQ(max, -1);
    EXPECT_EQ(min, -1);
    unsetenv("QRV_USB_DEVICE");
}

TEST(RangesWithoutInstrument, MissingOutputsAreRejected) {
    double value = 0;
    EXPECT_EQ(qmkHDReadChannelAmplitudeStandard(0, nullptr, &value), 3);
    EXPECT_EQ(qmkHDReadChannelAmplitudeStandard(0, &value, nullptr), 3);
}

}  // namespace
