// Every channel-setting write and read once against zorbel-gensim, over LAN
// and over the virtual USB device: the library and the simulator agree on
// every command text, answer and scale.
#include "QRVHardDll.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

using zorbel::test::Gensim;

using WriteFn = uint16_t (*)(uint16_t, double, double, double);
using ReadFn = uint16_t (*)(uint16_t, double*, double, double);

struct Setting {
    const char* name;
    WriteFn write;
    ReadFn read;
    double value, maximum, minimum;  // interface units
};

// Values with at most six significant digits after scaling, so the
// instrument's "%G" repeat confirms them.
const Setting kSettings[] = {
    {"amplitude", qmkHDWriteChannelAmplitude, qmkHDReadChannelAmplitude, 2.5, 20, 0.001},
    {"frequency", qmkHDWriteChannelFrequency, qmkHDReadChannelFrequency, 12345.6, 2e7, 1e-6},
    {"offset", qmkHDWriteChannelOffsetVoltage, qmkHDReadChannelOffsetVoltage, -1.25, 10, -10},
    {"phase", qmkHDWriteChannelInitPhase, qmkHDReadChannelInitPhase, 90, 360, 0},
    {"square duty", qmkHDWriteChannelSquareDuty, qmkHDReadChannelSquareDuty, 0.25, 0.99, 0.01},
    {"ramp symmetry", qmkHDWriteChannelRampSymmetry, qmkHDReadChannelRampSymmetry, 0.75, 1, 0},
    {"pulse duty", qmkHDWriteChannelPulseDuty, qmkHDReadChannelPulseDuty, 0.125, 0.99, 0.01},
    {"pulse width", qmkHDWriteChannelPulseWidth, qmkHDReadChannelPulseWidth, 2e-6, 1, 0},
    {"pulse leading", qmkHDWriteChannelPulseLeading, qmkHDReadChannelPulseLeading, 5e-8, 1, 0},
    {"pulse trailing", qmkHDWriteChannelPulseTrailing, qmkHDReadChannelPulseTrailing, 7.5e-8, 1, 0},
};

enum class Link { Lan, Usb };

class AgainstGensim : public ::testing::TestWithParam<Link> {
protected:
    static void SetUpTestSuite() {
        std::string error;
        sim = Gensim::Start({}, &error).release();
        ASSERT_NE(sim, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(sim, nullptr);
        setenv("QRV_USB_DEVICE", sim->UsbDevice().c_str(), 1);
        qmkHDInitComType(GetParam() == Link::Lan ? 1 : 0, sim->LanAddressValue());
    }

    static Gensim* sim;
};

Gensim* AgainstGensim::sim = nullptr;

TEST_P(AgainstGensim, ConnectAndRefresh) {
    EXPECT_EQ(qmkHDDeviceConnect(), 1);
    EXPECT_EQ(qmkHDRefreshDevice(), 2);
}

TEST_P(AgainstGensim, EveryNumericSettingWritesAndReadsBack) {
    for (uint16_t channel : {0, 1}) {
        for (const auto& s : kSettings) {
            SCOPED_TRACE(std::string(s.name) + " on channel " + std::to_string(channel));
            const double value = channel == 0 ? s.value : s.value * 0.8;  // the channels must not share state
            EXPECT_EQ(s.write(channel, value, s.maximum, s.minimum), 2);
            double back = 0;
            EXPECT_EQ(s.read(channel, &back, s.maximum, s.minimum), 2);
            EXPECT_NEAR(back, value, std::abs(value) * 1e-9);
        }
    }
}

TEST_P(AgainstGensim, EveryWaveTypeAndOutputState) {
    for (uint16_t code = 1; code <= 7; ++code) {
        EXPECT_EQ(qmkHDWriteChannelWaveType(1, code), 2) << code;
        int16_t back = 0;
        EXPECT_EQ(qmkHDReadChannelWaveType(1, &back), 2);
        EXPECT_EQ(back, code);
    }
    for (uint16_t state : {1, 0}) {
        EXPECT_EQ(qmkHDWriteChannelOnOff(0, state), 2);
        int16_t back = -1;
        EXPECT_EQ(qmkHDReadChannelOnOff(0, &back), 2);
        EXPECT_EQ(back, state);
    }
}

TEST_P(AgainstGensim, RoundedValuesAreTakenAndConfirmed) {
    EXPECT_EQ(qmkHDWriteChannelFrequency(0, 1234567, 2e7, 0), 2);
    double back = 0;
    EXPECT_EQ(qmkHDReadChannelFrequency(0, &back, 2e7, 0), 2);
    EXPECT_EQ(back, 1234570);
}

INSTANTIATE_TEST_SUITE_P(Links, AgainstGensim, ::testing::Values(Link::Lan, Link::Usb),
                         [](const auto& info) { return info.param == Link::Lan ? "Lan" : "Usb"; });

}  // namespace
