// The instrument's number text rules, through the internal routines and the
// export, in the C locale and under a decimal-comma locale.
#include "QRVHardDll.h"
#include "locale_guard.h"
#include "number_rules.h"
#include "wave_types.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace {

struct NumberCase {
    const char* text;
    std::optional<double> value;  // nullopt: not a number
};

const NumberCase kNumberCases[] = {
    {"25", 25},
    {"-0.5", -0.5},
    {"+3", 3},
    {"2E+006", 2e6},
    {"1.5e-3", 1.5e-3},
    {"1.23457E+006", 1234570},
    {"1E5.5", 100000},  // the exponent passes the text rule; conversion stops at '.'
    {"+", 0},           // a lone sign is a number with the value 0
    {"-", 0},
    {"1E-", 1},     // a lone sign as exponent passes too
    {"-.5", -0.5},  // only the first character must be a digit or sign
    {"", std::nullopt},
    {".5", std::nullopt},
    {"5.", std::nullopt},
    {"1.2.3", std::nullopt},
    {"1E", std::nullopt},
    {"E5", std::nullopt},
    {"e", std::nullopt},
    {" 25", std::nullopt},
    {"25 ", std::nullopt},
    {"25\n", std::nullopt},
    {"1,5", std::nullopt},  // a decimal comma is never a number, whatever the locale
    {"1e5e3", std::nullopt},
    {"+-1", std::nullopt},
    {"0x10", std::nullopt},
    {"inf", std::nullopt},
    {"nan", std::nullopt},
    {"1E+5.", std::nullopt},
};

void ExpectNumberCases() {
    for (const auto& c : kNumberCases) {
        SCOPED_TRACE(std::string("text \"") + c.text + "\"");
        double viaExport = -777;
        const uint16_t ok = qmkHDTurnStringIntoDouble(&viaExport, c.text, 0);
        double internal = -777;
        EXPECT_EQ(qrv::TurnStringIntoDouble(c.text, internal), c.value.has_value());
        if (c.value) {
            EXPECT_EQ(ok, 1);
            EXPECT_DOUBLE_EQ(viaExport, *c.value);
            EXPECT_DOUBLE_EQ(internal, *c.value);
        } else {
            EXPECT_EQ(ok, 0);
            EXPECT_EQ(viaExport, -777) << "a rejected text must leave the value alone";
            EXPECT_EQ(internal, -777);
        }
    }
}

TEST(NumberRules, AcceptAndRejectAsTheInstrumentDoes) { ExpectNumberCases(); }

TEST(NumberRules, SameUnderDecimalCommaLocale) {
    zorbel::test::DecimalCommaLocale comma;
    ASSERT_TRUE(comma.active());
    ExpectNumberCases();
}

TEST(NumberRules, IsNumberTextAlone) {
    EXPECT_TRUE(qrv::IsNumberText("007"));
    EXPECT_TRUE(qrv::IsNumberText("+"));
    EXPECT_FALSE(qrv::IsNumberText("1e5"));  // the exponent split happens before
    EXPECT_FALSE(qrv::IsNumberText("1."));
    EXPECT_FALSE(
        qrv::IsNumberText(std::string_view("1\0"
                                           "2",
                                           3)));
}

TEST(NumberRules, ExportSurvivesNullPointers) {
    double value = 4;
    EXPECT_EQ(qmkHDTurnStringIntoDouble(nullptr, "1", 1), 0);
    EXPECT_EQ(qmkHDTurnStringIntoDouble(&value, nullptr, 0), 0);
    EXPECT_EQ(value, 4);
}

TEST(NumberRules, HugeExponentsSaturateInsteadOfFailing) {
    double value = 0;
    ASSERT_EQ(qmkHDTurnStringIntoDouble(&value, "1E999", 5), 1);
    EXPECT_TRUE(std::isinf(value));
    ASSERT_EQ(qmkHDTurnStringIntoDouble(&value, "1E-999", 6), 1);
    EXPECT_EQ(value, 0);
}

TEST(WaveTypes, NamesAndCodesRoundTripExactly) {
    const char* words[] = {"SINusoid", "SQUare", "RAMP", "PULSe", "NOISe", "USER", "HARMonic"};
    for (uint16_t code = 1; code <= 7; ++code) {
        EXPECT_EQ(qrv::WaveTypeName(code), words[code - 1]);
        EXPECT_EQ(qrv::WaveTypeCode(words[code - 1]), code);
    }
    EXPECT_EQ(qrv::WaveTypeName(0), "");
    EXPECT_EQ(qrv::WaveTypeName(8), "");
    EXPECT_EQ(qrv::WaveTypeCode("sinusoid"), 0);  // exact, letter case included
    EXPECT_EQ(qrv::WaveTypeCode("SINUSOID"), 0);
    EXPECT_EQ(qrv::WaveTypeCode("USER "), 0);
    EXPECT_EQ(qrv::WaveTypeCode(""), 0);
}

}  // namespace
