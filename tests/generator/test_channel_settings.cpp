// Channel-setting writes and reads through the exports, against a scripted
// LAN instrument: exact command texts, limit rules A/B/C, confirmation of
// the written value, answer checks and the status mapping.
#include "QRVHardDll.h"
#include "locale_guard.h"
#include "scripted_udp_peer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using namespace std::chrono_literals;
using zorbel::test::ScriptedUdpPeer;

using WriteFn = uint16_t (*)(uint16_t, double, double, double);
using ReadFn = uint16_t (*)(uint16_t, double*, double, double);

struct Member {
    const char* word;  // after "SOURce<n>:"
    WriteFn write;
    ReadFn read;
    double scale;  // interface to instrument units
    char rule;     // 'A', 'B' or 'C'
};

const Member kMembers[] = {
    {"VOLTage", qmkHDWriteChannelAmplitude, qmkHDReadChannelAmplitude, 1, 'A'},
    {"FREQuency", qmkHDWriteChannelFrequency, qmkHDReadChannelFrequency, 1, 'A'},
    {"VOLTage:OFFSet", qmkHDWriteChannelOffsetVoltage, qmkHDReadChannelOffsetVoltage, 1, 'B'},
    {"PHASe", qmkHDWriteChannelInitPhase, qmkHDReadChannelInitPhase, 1, 'A'},
    {"FUNCtion:SQUare:DCYCle", qmkHDWriteChannelSquareDuty, qmkHDReadChannelSquareDuty, 100, 'A'},
    {"FUNCtion:RAMP:SYMMetry", qmkHDWriteChannelRampSymmetry, qmkHDReadChannelRampSymmetry, 100, 'C'},
    {"FUNCtion:PULSe:DCYCle", qmkHDWriteChannelPulseDuty, qmkHDReadChannelPulseDuty, 100, 'A'},
    {"FUNCtion:PULSe:WIDTh", qmkHDWriteChannelPulseWidth, qmkHDReadChannelPulseWidth, 1, 'A'},
    {"FUNCtion:PULSe:TRANsition:LEADing", qmkHDWriteChannelPulseLeading, qmkHDReadChannelPulseLeading, 1, 'A'},
    {"FUNCtion:PULSe:TRANsition:TRAiling", qmkHDWriteChannelPulseTrailing, qmkHDReadChannelPulseTrailing, 1, 'A'},
};

class ChannelSettings : public ::testing::Test {
protected:
    void SetUp() override { qmkHDInitComType(1, peer.addressValue()); }

    // The commands the instrument received so far (waits briefly for `count`).
    std::vector<std::string> Sent(std::size_t count) {
        peer.WaitForReceived(count, 1s);
        return peer.ReceivedTexts();
    }

    ScriptedUdpPeer peer;
};

TEST_F(ChannelSettings, EveryNumericWriteSendsItsCommandAndNeedsTheRepeat) {
    std::size_t sent = 0;
    for (const auto& m : kMembers) {
        SCOPED_TRACE(m.word);
        // 0.25 is inside every rule's range below; percent members send 25.
        const std::string value = m.scale == 100 ? "25" : "0.25";
        peer.QueueReply(value);
        EXPECT_EQ(m.write(1, 0.25, 0.8, 0.2), 2);
        peer.QueueReply("26");
        EXPECT_EQ(m.write(1, 0.25, 0.8, 0.2), 3) << "an answer that does not repeat the value";
        sent += 2;
        const auto texts = Sent(sent);
        ASSERT_EQ(texts.size(), sent);
        EXPECT_EQ(texts[sent - 2], std::string("SOURce2:") + m.word + " " + value);
    }
}

TEST_F(ChannelSettings, EveryNumericReadSendsItsQueryAndScalesTheAnswer) {
    std::size_t sent = 0;
    for (const auto& m : kMembers) {
        SCOPED_TRACE(m.word);
        peer.QueueReply(m.scale == 100 ? "50" : "0.5");
        double value = -1;
        EXPECT_EQ(m.read(0, &value, 0.8, 0.2), 2);
        EXPECT_DOUBLE_EQ(value, 0.5);
        ++sent;
        const auto texts = Sent(sent);
        ASSERT_EQ(texts.size(), sent);
        EXPECT_EQ(texts.back(), std::string("SOURce1:") + m.word + "?");
    }
}

struct LimitCase {
    const char* what;
    char rule;
    double value, maximum, minimum;
    uint16_t expected;  // with an instrument that repeats the value
    bool traffic;
};

const LimitCase kWriteLimits[] = {
    {"A inside", 'A', 5, 10, 1, 2, true},
    {"A at minimum", 'A', 1, 10, 1, 2, true},
    {"A at maximum", 'A', 10, 10, 1, 2, true},
    {"A below minimum", 'A', 0.5, 10, 1, 3, false},
    {"A above maximum", 'A', 11, 10, 1, 3, false},
    {"A maximum 0", 'A', 0, 0, 0, 3, false},
    {"A negative minimum", 'A', 1, 10, -1, 3, false},
    {"A maximum below minimum", 'A', 5, 1, 10, 3, false},
    {"A NaN value", 'A', NAN, 10, 1, 3, false},
    {"A NaN limit", 'A', 5, NAN, 1, 3, false},
    {"A infinite value", 'A', INFINITY, INFINITY, 1, 3, false},
    {"B at minimum is refused", 'B', -5, 5, -5, 3, false},
    {"B at maximum is sent", 'B', 5, 5, -5, 2, true},
    {"B negative inside", 'B', -2.5, 5, -5, 2, true},
    {"B all negative", 'B', -2, -1, -3, 2, true},
    {"B maximum below minimum", 'B', 0, -5, 5, 3, false},
    {"C outside gives 0", 'C', 0.9, 0.8, 0.2, 0, false},
    {"C below gives 0", 'C', 0.1, 0.8, 0.2, 0, false},
    {"C maximum 0 gives 3", 'C', 0.9, 0, 0, 3, false},
    {"C inside", 'C', 0.5, 0.8, 0.2, 2, true},
};

const Member& MemberWithRule(char rule) {
    // Amplitude (A, scale 1), offset (B), ramp symmetry (C, scale 100).
    return rule == 'A' ? kMembers[0] : rule == 'B' ? kMembers[2] : kMembers[5];
}

TEST_F(ChannelSettings, WriteLimitRules) {
    peer.SetResponder([](const std::string& command) { return command.substr(command.rfind(' ') + 1); });
    std::size_t expectedTraffic = 0;
    for (const auto& c : kWriteLimits) {
        SCOPED_TRACE(c.what);
        const Member& m = MemberWithRule(c.rule);
        EXPECT_EQ(m.write(0, c.value, c.maximum, c.minimum), c.expected);
        if (c.traffic) ++expectedTraffic;
        std::this_thread::sleep_for(2ms);
        EXPECT_EQ(peer.Received().size(), expectedTraffic);
    }
}

TEST_F(ChannelSettings, ReadLimitRulesAndAnswerRange) {
    struct Case {
        const char* what;
        int member;
        const char* answer;  // nullptr: rejected before any traffic
        double maximum, minimum;
        uint16_t expected;
    };
    const Case cases[] = {
        {"A inside", 0, "5", 10, 1, 2},
        {"A answer above", 0, "10.5", 10, 1, 3},
        {"A answer below", 0, "0.5", 10, 1, 3},
        {"A maximum 0", 0, nullptr, 0, 0, 3},
        {"A negative minimum", 0, nullptr, 10, -1, 3},
        {"B negative answer at minimum", 2, "-5", 5, -5, 2},
        {"B answer below", 2, "-5.5", 5, -5, 3},
        {"B maximum below minimum", 2, nullptr, -5, 5, 3},
        {"C scaled answer above", 5, "90", 0.8, 0.2, 3},
        {"not a number", 0, "five", 10, 1, 3},
        {"trailing line feed", 0, "5\n", 10, 1, 3},
    };
    std::size_t traffic = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.answer != nullptr) {
            peer.QueueReply(c.answer);
            ++traffic;
        }
        double value = 1234;
        const uint16_t status = kMembers[c.member].read(0, &value, c.maximum, c.minimum);
        EXPECT_EQ(status, c.expected);
        if (status != 2) {
            EXPECT_EQ(value, 1234) << "written only with status 2";
        }
        std::this_thread::sleep_for(2ms);
        EXPECT_EQ(peer.Received().size(), traffic);
    }
}

TEST_F(ChannelSettings, ValuesBeyondSixDigitsAreSentRoundedAndConfirmedAsSent) {
    struct Case {
        WriteFn write;
        double value;
        const char* sent;  // the command text
        const char* echo;
        uint16_t expected;
    };
    const Case cases[] = {
        {qmkHDWriteChannelFrequency, 1234567, "SOURce1:FREQuency 1.23457E+006", "1234570", 2},
        {qmkHDWriteChannelFrequency, 1234567, "SOURce1:FREQuency 1.23457E+006", "1.23457E+006", 2},
        {qmkHDWriteChannelFrequency, 1234.567, "SOURce1:FREQuency 1234.57", "1234.57", 2},
        {qmkHDWriteChannelSquareDuty, 0.1234567, "SOURce1:FUNCtion:SQUare:DCYCle 12.3457", "12.3457", 2},
        {qmkHDWriteChannelPulseWidth, 0.00001, "SOURce1:FUNCtion:PULSe:WIDTh 1E-005", "1E-005", 2},
        // An echo of anything but the value sent is still refused, the
        // unrounded value included.
        {qmkHDWriteChannelFrequency, 1234567, "SOURce1:FREQuency 1.23457E+006", "1234567", 3},
        {qmkHDWriteChannelFrequency, 1234.567, "SOURce1:FREQuency 1234.57", "1234.56", 3},
        {qmkHDWriteChannelSquareDuty, 0.1234567, "SOURce1:FUNCtion:SQUare:DCYCle 12.3457", "12.34567", 3},
    };
    std::size_t sent = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.sent) + " answered " + c.echo);
        peer.QueueReply(c.echo);
        EXPECT_EQ(c.write(0, c.value, 2e7, 0), c.expected);
        const auto texts = Sent(++sent);
        ASSERT_EQ(texts.size(), sent);
        EXPECT_EQ(texts.back(), c.sent);
    }
}

TEST_F(ChannelSettings, ConfirmationToleranceIsTenToTheMinusSeven) {
    peer.QueueReply("0.25000005");
    EXPECT_EQ(qmkHDWriteChannelAmplitude(0, 0.25, 1, 0), 2);
    peer.QueueReply("0.2500002");
    EXPECT_EQ(qmkHDWriteChannelAmplitude(0, 0.25, 1, 0), 3);
}

TEST_F(ChannelSettings, NumbersGoOutWithAPointUnderADecimalCommaLocale) {
    zorbel::test::DecimalCommaLocale comma;
    ASSERT_TRUE(comma.active());
    peer.QueueReply("0.5");
    EXPECT_EQ(qmkHDWriteChannelOffsetVoltage(0, 0.5, 1, -1), 2);
    peer.QueueReply("12.5");
    double duty = 0;
    EXPECT_EQ(qmkHDReadChannelPulseDuty(0, &duty, 1, 0), 2);
    EXPECT_DOUBLE_EQ(duty, 0.125);
    EXPECT_EQ(Sent(1)[0], "SOURce1:VOLTage:OFFSet 0.5");
}

TEST_F(ChannelSettings, OnOffWordsAreExact) {
    struct Case {
        uint16_t state;
        const char* answer;
        uint16_t expected;
    };
    const Case writes[] = {{1, "ON", 2}, {7, "ON", 2}, {0, "OFF", 2}, {1, "on", 3}, {0, "OFF ", 3}, {1, "OFF", 3}};
    for (const auto& c : writes) {
        peer.QueueReply(c.answer);
        EXPECT_EQ(qmkHDWriteChannelOnOff(1, c.state), c.expected) << c.state << " " << c.answer;
    }
    const auto texts = Sent(3);
    EXPECT_EQ(texts[0], "OUTPut2 ON");
    EXPECT_EQ(texts[1], "OUTPut2 ON");
    EXPECT_EQ(texts[2], "OUTPut2 OFF");

    const std::pair<const char*, int> reads[] = {{"ON", 1}, {"OFF", 0}, {"On", -1}, {"1", -1}};
    for (const auto& [answer, stored] : reads) {
        peer.QueueReply(answer);
        int16_t state = 9;
        EXPECT_EQ(qmkHDReadChannelOnOff(0, &state), stored < 0 ? 3 : 2) << answer;
        EXPECT_EQ(state, stored < 0 ? 9 : stored) << answer;
    }
    EXPECT_EQ(Sent(10).back(), "OUTPut1?");
}

TEST_F(ChannelSettings, WaveTypeWordsAndCodes) {
    EXPECT_EQ(qmkHDWriteChannelWaveType(0, 8), 3);
    EXPECT_EQ(qmkHDWriteChannelWaveType(0, 0), 3);
    std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(peer.Received().empty()) << "codes 0 and 8 are refused before any traffic";

    peer.QueueReply("USER");
    EXPECT_EQ(qmkHDWriteChannelWaveType(0, 6), 2);
    peer.QueueReply("SINusoid");
    EXPECT_EQ(qmkHDWriteChannelWaveType(0, 6), 3) << "the answer must name the code sent";
    EXPECT_EQ(Sent(1)[0], "SOURce1:FUNCtion USER");

    peer.QueueReply("HARMonic");
    int16_t code = 0;
    EXPECT_EQ(qmkHDReadChannelWaveType(1, &code), 2);
    EXPECT_EQ(code, 7);
    peer.QueueReply("sinusoid");
    EXPECT_EQ(qmkHDReadChannelWaveType(1, &code), 3) << "letter case counts";
    EXPECT_EQ(code, 7);
    EXPECT_EQ(Sent(4)[3], "SOURce2:FUNCtion?");
}

TEST_F(ChannelSettings, ChannelIsNotCheckedAndCarriesIndexPlusOne) {
    peer.QueueReply("OFF");
    EXPECT_EQ(qmkHDWriteChannelOnOff(65535, 0), 2);
    peer.QueueReply("1");
    EXPECT_EQ(qmkHDWriteChannelAmplitude(2, 1, 2, 0), 2);
    EXPECT_EQ(Sent(2), (std::vector<std::string>{"OUTPut65536 OFF", "SOURce3:VOLTage 1"}));
}

TEST_F(ChannelSettings, MissingOutputPointersAreRefusedWithoutTraffic) {
    EXPECT_EQ(qmkHDReadChannelFrequency(0, nullptr, 10, 0), 3);
    EXPECT_EQ(qmkHDReadChannelOnOff(0, nullptr), 3);
    EXPECT_EQ(qmkHDReadChannelWaveType(0, nullptr), 3);
    std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(peer.Received().empty());
}

TEST_F(ChannelSettings, NoAnswerIsStatusOneAndNoLinkIsStatusZero) {
    peer.QueueSilence();
    EXPECT_EQ(qmkHDWriteChannelOnOff(0, 1), 1);
    setenv("QRV_USB_DEVICE", "unix:/nonexistent/zorbel.sock", 1);
    qmkHDInitComType(0, peer.addressValue());
    double value = 0;
    int16_t code = 0;
    EXPECT_EQ(qmkHDWriteChannelFrequency(0, 1, 10, 0), 0);
    EXPECT_EQ(qmkHDReadChannelFrequency(0, &value, 10, 0), 0);
    EXPECT_EQ(qmkHDReadChannelWaveType(0, &code), 0);
    EXPECT_EQ(qmkHDWriteChannelRampSymmetry(0, 0.5, 0.8, 0.2), 0);
    unsetenv("QRV_USB_DEVICE");
}

}  // namespace
