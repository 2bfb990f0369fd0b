// Calibration commands: exact command texts and answer handling against a
// scripted instrument, and a scripted calibration run against zorbel-gensim
// over LAN and the virtual USB device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "QRVHardDll.h"
#include "link.h"
#include "locale_guard.h"
#include "scripted_udp_peer.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace {

using namespace std::chrono_literals;
using zorbel::test::Gensim;
using zorbel::test::GensimConfig;
using zorbel::test::ScriptedUdpPeer;

// What a call stored; -99 means untouched.
struct Outputs {
    int16_t number = -99;
    double first = -99;
    double second = -99;
};

struct CommandCase {
    const char* name;
    std::function<uint16_t(Outputs&)> call;
    const char* answer;  // nullptr: the instrument stays silent
    const char* sent;    // the exact command
    uint16_t status;
    Outputs expected;
};

const CommandCase kCommands[] = {
    {"SelectSendsChannelPlusOne",
     [](Outputs&) { return qmkHDCSelectCalibrateChannel(1); },
     nullptr,
     "CALibration:SOURce CH2",
     2,
     {}},
    {"CountTakesTheFirstNumber",
     [](Outputs& o) { return qmkHDCReadCalibrateStepTotalNum(&o.number); },
     "12,x",
     "CALibration:COUNt?",
     2,
     {12}},
    {"CountNeedsANumberFirst",
     [](Outputs& o) { return qmkHDCReadCalibrateStepTotalNum(&o.number); },
     "x,12",
     "CALibration:COUNt?",
     3,
     {}},
    {"CountBlankAnswer",
     [](Outputs& o) { return qmkHDCReadCalibrateStepTotalNum(&o.number); },
     " ",
     "CALibration:COUNt?",
     3,
     {}},
    {"CountBeyond16Bits",
     [](Outputs& o) { return qmkHDCReadCalibrateStepTotalNum(&o.number); },
     "40000",
     "CALibration:COUNt?",
     3,
     {}},
    {"StepIsSentUnchanged",
     [](Outputs& o) { return qmkHDCSetCalibrateCurStep(3, &o.number); },
     "2",
     "CALibration:SETup 3",
     2,
     {2}},
    {"StepResultTruncated",
     [](Outputs& o) { return qmkHDCSetCalibrateCurStep(65535, &o.number); },
     "-1.9",
     "CALibration:SETup 65535",
     2,
     {-1}},
    {"ReferenceBlanksRemoved",
     [](Outputs& o) { return qmkHDCReadCalibrateRefValueVsCurStep(&o.first, &o.second); },
     "0.5, 1.25",
     "CALibration:MEASure?",
     2,
     {-99, 0.5, 1.25}},
    {"ReferenceExtraItemsIgnored",
     [](Outputs& o) { return qmkHDCReadCalibrateRefValueVsCurStep(&o.first, &o.second); },
     "1E3,2,x",
     "CALibration:MEASure?",
     2,
     {-99, 1000, 2}},
    {"ReferenceNeedsTwo",
     [](Outputs& o) { return qmkHDCReadCalibrateRefValueVsCurStep(&o.first, &o.second); },
     "0.5",
     "CALibration:MEASure?",
     3,
     {}},
    {"ReferenceSecondNotANumber",
     [](Outputs& o) { return qmkHDCReadCalibrateRefValueVsCurStep(&o.first, &o.second); },
     "0.5,1.25V",
     "CALibration:MEASure?",
     3,
     {}},
    {"MeasuredValueAsG",
     [](Outputs&) { return qmkHDCWriteCalibrateMeasResultVsCurStep(1234567); },
     nullptr,
     "CALibration:VALue 1.23457E+006",
     2,
     {}},
    {"SmallMeasuredValueAsG",
     [](Outputs&) { return qmkHDCWriteCalibrateMeasResultVsCurStep(-0.00001); },
     nullptr,
     "CALibration:VALue -1E-005",
     2,
     {}},
    {"StateTruncatedTowardZero",
     [](Outputs& o) { return qmkHDCReadCalibrateStateVsCurStep(&o.number); },
     "7.9",
     "CALibration?",
     2,
     {7}},
    {"StateNegative",
     [](Outputs& o) { return qmkHDCReadCalibrateStateVsCurStep(&o.number); },
     "-2",
     "CALibration?",
     2,
     {-2}},
    {"StateUnanswered",
     [](Outputs& o) { return qmkHDCReadCalibrateStateVsCurStep(&o.number); },
     nullptr,
     "CALibration?",
     1,
     {}},
    {"Store", [](Outputs&) { return qmkHDCSaveCalibrateData(); }, nullptr, "CALibration:STORe", 2, {}},
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class CalibrationCommand : public ::testing::TestWithParam<CommandCase> {
protected:
    void SetUp() override {
        unsetenv("QRV_USB_DEVICE");
        qmkHDInitComType(1, peer.AddressValue());
    }
    ScriptedUdpPeer peer;
};

TEST_P(CalibrationCommand, SendsAndReads) {
    const CommandCase& c = GetParam();
    if (c.answer != nullptr)
        peer.QueueReply(c.answer);
    else
        peer.QueueSilence();
    Outputs out;
    EXPECT_EQ(c.call(out), c.status);
    ASSERT_TRUE(peer.WaitForReceived(1, 1s));
    EXPECT_EQ(peer.ReceivedTexts(), std::vector<std::string>{c.sent});
    EXPECT_EQ(out.number, c.expected.number);
    EXPECT_EQ(out.first, c.expected.first);
    EXPECT_EQ(out.second, c.expected.second);
}

INSTANTIATE_TEST_SUITE_P(Commands, CalibrationCommand, ::testing::ValuesIn(kCommands),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CalibrationNumbers, FollowNoLocale) {
    zorbel::test::DecimalCommaLocale german;
    ScriptedUdpPeer peer;
    qmkHDInitComType(1, peer.AddressValue());
    peer.QueueReply("0.5,1.25");
    double first = 0;
    double second = 0;
    EXPECT_EQ(qmkHDCReadCalibrateRefValueVsCurStep(&first, &second), 2);
    EXPECT_EQ(second, 1.25);
    EXPECT_EQ(qmkHDCWriteCalibrateMeasResultVsCurStep(0.25), 2);
    ASSERT_TRUE(peer.WaitForReceived(2, 1s));
    EXPECT_EQ(peer.ReceivedTexts()[1], "CALibration:VALue 0.25");
}

TEST(CalibrationWithoutDevice, EveryCallReportsNoLinkAndStoresNothing) {
    setenv("QRV_USB_DEVICE", "unix:/nonexistent/zorbel/cal.sock", 1);
    qmkHDInitComType(0, 0x7F000001);
    int16_t number = -99;
    double a = -99;
    double b = -99;
    EXPECT_EQ(qmkHDCSelectCalibrateChannel(0), 0);
    EXPECT_EQ(qmkHDCReadCalibrateStepTotalNum(&number), 0);
    EXPECT_EQ(qmkHDCSetCalibrateCurStep(1, &number), 0);
    EXPECT_EQ(qmkHDCReadCalibrateRefValueVsCurStep(&a, &b), 0);
    EXPECT_EQ(qmkHDCWriteCalibrateMeasResultVsCurStep(1.0), 0);
    EXPECT_EQ(qmkHDCReadCalibrateStateVsCurStep(&number), 0);
    EXPECT_EQ(qmkHDCSaveCalibrateData(), 0);
    EXPECT_EQ(number, -99);
    EXPECT_EQ(a, -99);
    EXPECT_EQ(b, -99);
    // Missing outputs are refused before any traffic.
    EXPECT_EQ(qmkHDCReadCalibrateStepTotalNum(nullptr), 3);
    EXPECT_EQ(qmkHDCSetCalibrateCurStep(1, nullptr), 3);
    EXPECT_EQ(qmkHDCReadCalibrateRefValueVsCurStep(&a, nullptr), 3);
    EXPECT_EQ(qmkHDCReadCalibrateStateVsCurStep(nullptr), 3);
    unsetenv("QRV_USB_DEVICE");
}

// ---- A calibration run against the simulator --------------------------------

enum class Link { Lan, Usb };

class CalibrationRun : public ::testing::TestWithParam<Link> {
protected:
    void SetUp() override {
        GensimConfig config;
        config.extraArgs = {"--cal-step", "CH1 mean 0 0 pass 0.01",        //
                            "--cal-step", "CH2 none",                      //
                            "--cal-step", "CH2 mean 0 0 pass 0.01",        //
                            "--cal-step", "CH2 p2p 2 1000 needprev 0.05",  //
                            "--cal-step", "CH2 p2p 5 1E6 fail"};
        std::string error;
        sim = Gensim::Start(config, &error);
        ASSERT_TRUE(sim) << error;
        if (GetParam() == Link::Usb) {
            setenv("QRV_USB_DEVICE", sim->UsbDevice().c_str(), 1);
            qmkHDInitComType(0, sim->LanAddressValue());
        } else {
            unsetenv("QRV_USB_DEVICE");
            qmkHDInitComType(1, sim->LanAddressValue());
        }
    }
    void TearDown() override { unsetenv("QRV_USB_DEVICE"); }

    // Selects a step, writes the measured value and returns the verdict.
    int16_t Run(uint16_t step, double measured) {
        int16_t kind = -99;
        int16_t state = -99;
        EXPECT_EQ(qmkHDCSetCalibrateCurStep(step, &kind), 2);
        EXPECT_EQ(qmkHDCWriteCalibrateMeasResultVsCurStep(measured), 2);
        EXPECT_EQ(qmkHDCReadCalibrateStateVsCurStep(&state), 2);
        return state;
    }

    // A simulator-only query.
    std::string Ask(const std::string& query) {
        std::string answer;
        EXPECT_EQ(qrv::SendCommand(query, answer, static_cast<uint32_t>(qrv::ExchangeMode::WriteRead)), 1);
        return answer;
    }

    std::unique_ptr<Gensim> sim;
};

TEST_P(CalibrationRun, StepsVerdictsAndStore) {
    int16_t number = -99;
    ASSERT_EQ(qmkHDCSelectCalibrateChannel(1), 2);
    ASSERT_EQ(qmkHDCReadCalibrateStepTotalNum(&number), 2);
    EXPECT_EQ(number, 4);

    // Step 1 needs no measurement and passes as it is.
    ASSERT_EQ(qmkHDCSetCalibrateCurStep(1, &number), 2);
    EXPECT_EQ(number, 0);
    ASSERT_EQ(qmkHDCReadCalibrateStateVsCurStep(&number), 2);
    EXPECT_EQ(number, 0);

    // Step 3: kind peak to peak, reference 2 V at 1 kHz (the instrument puts a blank after the comma).
    ASSERT_EQ(qmkHDCSetCalibrateCurStep(3, &number), 2);
    EXPECT_EQ(number, 2);
    double volts = -1;
    double hertz = -1;
    ASSERT_EQ(qmkHDCReadCalibrateRefValueVsCurStep(&volts, &hertz), 2);
    EXPECT_EQ(volts, 2);
    EXPECT_EQ(hertz, 1000);

    EXPECT_EQ(Run(2, 0.5), -1) << "outside the tolerance";
    EXPECT_EQ(Run(2, 0.004), 0);
    EXPECT_EQ(Run(3, 2.01), -2) << "needs step 2 again first";
    EXPECT_EQ(Run(2, -0.002), 0);
    EXPECT_EQ(Run(3, 2.01), 0);
    EXPECT_EQ(Run(4, 5), -1) << "a step that always fails";
    EXPECT_EQ(Ask("SIMulator:CALibration:VALue? 2,3"), "2.01");
    if (GetParam() == Link::Lan) {  // the same over USB, only slower (2 s receive time-out)
        int16_t kind = -99;
        EXPECT_EQ(qmkHDCSetCalibrateCurStep(5, &kind), 1) << "no such step: no answer";
        EXPECT_EQ(kind, -99);
    }

    EXPECT_EQ(Ask("SIMulator:CALibration:STORe?"), "0");
    ASSERT_EQ(qmkHDCSaveCalibrateData(), 2);
    EXPECT_EQ(Ask("SIMulator:CALibration:STORe?"), "1");

    ASSERT_EQ(qmkHDCSelectCalibrateChannel(0), 2);
    ASSERT_EQ(qmkHDCReadCalibrateStepTotalNum(&number), 2);
    EXPECT_EQ(number, 1);
}

INSTANTIATE_TEST_SUITE_P(Links, CalibrationRun, ::testing::Values(Link::Lan, Link::Usb),
                         [](const auto& info) { return info.param == Link::Lan ? "Lan" : "Usb"; });

TEST(CalibrationScript, BadStepsStopTheSimulator) {
    for (const char* bad :
         {"CH3 none", "CH1 p2p 1 1000", "CH1 p2p 1 1000 pass", "CH1 rms 1 1000 fail", "CH1 none extra",
          "CH1 mean 1,5 1000 pass 0.1", "CH1 p2p 1E+999 1000 pass 0.1", "CH2 mean 0 -1E+400 fail"}) {
        GensimConfig config;
        config.lan = false;
        config.extraArgs = {"--cal-step", bad};
        std::string error;
        EXPECT_FALSE(Gensim::Start(config, &error)) << bad;
    }
}

TEST(CalibrationScript, StepsFromAFile) {
    zorbel::test::TempDir dir;
    const std::string script = dir.File("steps.txt");
    std::ofstream(script) << "# channel kind volts hertz rule tolerance\n"
                             "CH1 none\n\n"
                             "CH1 p2p 1 1000 pass 0.02\n"
                             "CH1 p2p 2 1000 fail\n";
    GensimConfig config;
    config.usb = false;
    config.extraArgs = {"--cal-script", script};
    std::string error;
    auto sim = Gensim::Start(config, &error);
    ASSERT_TRUE(sim) << error;
    unsetenv("QRV_USB_DEVICE");
    qmkHDInitComType(1, sim->LanAddressValue());
    int16_t number = -99;
    ASSERT_EQ(qmkHDCSelectCalibrateChannel(0), 2);
    ASSERT_EQ(qmkHDCReadCalibrateStepTotalNum(&number), 2);
    EXPECT_EQ(number, 3);

    std::ofstream(script, std::ios::app) << "CH2 sine 1 1000 fail\n";
    config.extraArgs = {"--cal-script", script};
    EXPECT_FALSE(Gensim::Start(config, &error)) << "a line that is not a step";
}

}  // namespace
