// Frame acceptance, table parsing, image bounds and the simulator's value
// texts, checked without any device.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame.h"
#include "gensim_link.h"
#include "parameter_image.h"
#include "pause.h"
#include "protocol_table.h"
#include "signal_model.h"
#include "transport.h"

namespace {

using qmk::Bytes;

Bytes WithChecksum(Bytes bytes) {
    bytes.push_back(qmk::Checksum(bytes));
    return bytes;
}

struct FrameCase {
    const char* what;
    Bytes received;
    std::uint8_t expectedCode;
    bool accepted;
};

TEST(ScopeFrame, AcceptsOnlyCompleteFramesWithTheirChecksumAndCode) {
    const Bytes good = WithChecksum({0x53, 7, 0, 0x81, 1, 2, 3, 4, 5});
    Bytes badSum = good;
    badSum.back() ^= 1;
    Bytes stray = WithChecksum({0x53, 2, 0, 0x81});
    stray.push_back(0x44);
    const FrameCase cases[] = {
        {"10 bytes, length field 7, last byte the sum of the first nine", good, 0x81, true},
        {"wrong checksum", badSum, 0x81, false},
        {"another code", good, 0x82, false},
        {"cut short: fewer than N + 3 bytes", Bytes(good.begin(), good.end() - 1), 0x81, false},
        {"stray byte after a good frame joins the sum", stray, 0x81, false},
        // The sum of the first L - 1 bytes includes the byte at N + 2 itself.
        {"trailing byte with the instrument's own sum rule", {0x53, 2, 0, 0xAB, 0x10, 0x77}, 0xAB, true},
        {"length field below 2 leaves no room for a code", WithChecksum({0x53, 1, 0, 0x81}), 0x81, false},
        {"three bytes", {0x53, 0, 0}, 0x00, false},
        {"nothing", {}, 0x00, false},
    };
    for (const FrameCase& c : cases)
        EXPECT_EQ(qmk::AcceptReply(c.received, c.expectedCode).has_value(), c.accepted) << c.what;
}

TEST(ScopeFrame, DataBytesStopBeforeTheChecksum) {
    const Bytes frame = qmk::BuildFrame(0x80, Bytes{0x12, 0x34});
    EXPECT_EQ(frame, WithChecksum({0x53, 4, 0, 0x80, 0x12, 0x34}));
    const auto view = qmk::CheckFrame(frame);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->DataByte(5), 0x34);
    EXPECT_FALSE(view->DataByte(6));  // the checksum
    EXPECT_FALSE(view->DataByte(3));  // the code
}

struct Entry {
    std::string name;
    std::uint16_t size;
    std::uint32_t index;
    std::uint32_t end;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> Parse(std::string_view text) {
    qmk::ProtocolTable table;
    qmk::ParseTableText(text, table);
    std::vector<Entry> out;
    for (const auto& e : table) out.push_back({e.name, e.size, e.index, e.end});
    return out;
}

struct TableCase {
    const char* what;
    std::string text;
    std::vector<Entry> entries;
};

TEST(ScopeTable, ParsesEntriesUntilTheTotalIsReached) {
    using namespace std::string_literals;
    const TableCase cases[] = {
        {"entries stop at the total", "[TOTAL] 5 [START] [A] 2 [B] 3 [C] 1", {{"A", 2, 0, 2}, {"B", 3, 1, 5}}},
        {"line breaks as blanks", "x\r\n[TOTAL]\r\n 3\r\n[START]\r\n[X-1] 3\r\n[END]\r\n", {{"X-1", 3, 0, 3}}},
        {"a size needs a following bracket", "[TOTAL] 10 [START] [A] 2 [B] 3", {{"A", 2, 0, 2}}},
        {"no TOTAL", "[SUM] 5 [START] [A] 5 [", {}},
        {"total 0", "[TOTAL] 0 [START] [A] 1 [", {}},
        {"total beyond 32 bits", "[TOTAL] 99999999999 [START] [A] 1 [", {}},
        {"size beyond 16 bits ends the parse", "[TOTAL] 5 [START] [A] 1 [B] 70000 [C] 1 [", {{"A", 1, 0, 1}}},
        {"size beyond any integer", "[TOTAL] 5 [START] [A] 99999999999999999999999 [B] 1 [", {}},
        {"no digits is size 0", "[TOTAL] 2 [START] [A] x [B] 2 [", {{"A", 0, 0, 0}, {"B", 2, 1, 2}}},
        {"a minus sign is no digit", "[TOTAL] 2 [START] [A] -5 [B] 2 [", {{"A", 0, 0, 0}, {"B", 2, 1, 2}}},
        {"text ends at a NUL", "[TOTAL] 3 [START] [A] 1 [B] 2\0[C] 1 ["s, {{"A", 1, 0, 1}}},
    };
    for (const TableCase& c : cases) EXPECT_EQ(Parse(c.text), c.entries) << c.what;
}

TEST(ScopeTable, UnterminatedTextIsNotReadPastItsEnd) {
    // Exact-size heap copies: AddressSanitizer reports any read beyond them.
    for (const std::string text : {"[TOTAL] 9 [START] [A] 2 [B] 4", "[TOTAL] 9 [START] [A", "[TOTAL] 9", "[TOT"}) {
        std::vector<char> bytes(text.begin(), text.end());
        qmk::ProtocolTable table;
        qmk::ParseTableText(std::string_view(bytes.data(), bytes.size()), table);
        EXPECT_LE(table.size(), 1u) << text;
    }
}

TEST(ScopeTable, SecondParseAppendsWithFreshIndexesAndLookupsFindTheFirst) {
    qmk::ProtocolTable table;
    qmk::ParseTableText("[TOTAL] 3 [START] [A] 1 [B] 2 [", table);
    qmk::ParseTableText("[TOTAL] 4 [START] [B] 4 [", table);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[2].index, 0u);
    EXPECT_EQ(qmk::FindEntry(table, "B")->size, 2);
    EXPECT_EQ(qmk::FindEntry(table, "b"), nullptr);  // case-sensitive
}

TEST(ScopeImage, FieldsOutsideTheDataAreaAreRefused) {
    qmk::ParameterImage image;
    EXPECT_TRUE(image.Field({"LAST", 2, 0, 65534}));
    EXPECT_FALSE(image.Field({"PAST", 1, 0, 65535}));
    EXPECT_FALSE(image.Field({"HUGE", 65535, 0, 4000000000u}));
    EXPECT_FALSE(image.Field({"BAD", 5, 0, 3}));  // size larger than its end

    const Bytes big(70000, 0xAB);
    image.StoreBlock(69998, big);
    EXPECT_EQ(image.LengthByte(), 69998 % 256);
    EXPECT_EQ(image.BlockLength(), 69998u);
    EXPECT_EQ(image.Raw().back(), 0xAB);
}

TEST(ScopePause, TestSettingScalesPausesOnly) {
    using std::chrono::milliseconds;
    const std::pair<const char*, long> cases[] = {{nullptr, 100}, {"", 100},    {"0", 0},    {"50", 50},
                                                  {"100", 100},   {"250", 100}, {"-5", 100}, {"abc", 100}};
    for (const auto& [setting, expected] : cases)
        EXPECT_EQ(qmk::ScaledPause(milliseconds(100), setting), milliseconds(expected))
            << (setting ? setting : "unset");
}

TEST(ScopeUsb, DeviceIdListSkipsMalformedItems) {
    const auto ids = qmk::ParseUsbIds("04b4:8613,zz:1,12345:1,1:,5345:1234");
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0].vendor, 0x04b4);
    EXPECT_EQ(ids[0].product, 0x8613);
    EXPECT_EQ(ids[1].vendor, 0x5345);
    EXPECT_TRUE(qmk::ParseUsbIds("").empty());
}

TEST(ScopeSimTexts, ValuesCarryPrefixAndUnit) {
    const std::tuple<double, const char*, const char*> cases[] = {
        {0.001234, "V", "1.234mV"}, {2.5, "V", "2.50V"},   {12500, "Hz", "12.5kHz"}, {0.9996, "V", "1.00V"},
        {2e6, "Hz", "2.00MHz"},     {1e-3, "s", "1.00ms"}, {-0.25, "V", "-250mV"},   {0, "V", "0.000mV"},
    };
    for (const auto& [value, unit, text] : cases) EXPECT_EQ(scopesim::EngineeringText(value, unit), text);
}

TEST(ScopeSimTexts, GeneratorAnswerParsing) {
    const auto on = scopesim::ParseOutputAnswer("ON,SQUare,2.5E+003,3.2,-0.5\n");
    ASSERT_TRUE(on);
    EXPECT_TRUE(on->on);
    EXPECT_EQ(on->wave, scopesim::Wave::Square);
    EXPECT_DOUBLE_EQ(on->frequencyHz, 2500);
    EXPECT_DOUBLE_EQ(on->offsetV, -0.5);
    for (const char* bad : {"ON,SINusoid,abc,2,0", "ON,SINusoid,1,2", "MAYBE,SINusoid,1,2,3", ""})
        EXPECT_FALSE(scopesim::ParseOutputAnswer(bad)) << bad;
}

TEST(ScopeSimTexts, MeasurementsOfASquareWave) {
    const scopesim::ChannelSignal square{true, scopesim::Wave::Square, 2500, 3.2, 0.5};
    EXPECT_EQ(scopesim::MeasurementText(scopesim::kMeasureFrequency, square, 1), "2.50kHz");
    EXPECT_EQ(scopesim::MeasurementText(scopesim::kMeasurePeakToPeak, square, 1), "3.20V");
    EXPECT_EQ(scopesim::MeasurementText(scopesim::kMeasurePeakToPeak, square, 10), "32.0V");
    EXPECT_EQ(scopesim::MeasurementText(scopesim::kMeasureMean, square, 1), "500mV");
    EXPECT_EQ(scopesim::MeasurementText(scopesim::kMeasureMaximum, square, 1), "2.10V");
    scopesim::ChannelSignal off = square;
    off.on = false;
    EXPECT_EQ(scopesim::MeasurementText(scopesim::kMeasureFrequency, off, 1), "?");
}

}  // namespace
