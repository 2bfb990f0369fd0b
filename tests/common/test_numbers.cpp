// The "%G" formatter and the number parser, in the C locale and under a
// decimal-comma locale (both must give the same texts).
#include "locale_guard.h"
#include "zorbel/numbers.h"

#include <gtest/gtest.h>
#include <cmath>

namespace {

struct GCase {
    double value;
    const char* text;
};

const GCase kGCases[] = {
    {2000000.0, "2E+006"},  {1234567.0, "1.23457E+006"},
    {0.00001, "1E-005"},    {25.0, "25"},
    {0.5, "0.5"},           {0.0, "0"},
    {-0.625, "-0.625"},     {123456.0, "123456"},
    {999999.5, "1E+006"},   {0.0001, "0.0001"},
    {1e-100, "1E-100"},     {1.5e300, "1.5E+300"},
    {-2.5e-7, "-2.5E-007"}, {100.0, "100"},
    {0.05, "0.05"},         {-0.0, "0"},
};

void ExpectGCases() {
    for (const auto& c : kGCases) EXPECT_EQ(zorbel::FormatWindowsG(c.value), c.text) << c.value;
}

TEST(WindowsG, MatchesTheWindowsRuntime) { ExpectGCases(); }

TEST(WindowsG, UnderDecimalCommaLocale) {
    zorbel::test::DecimalCommaLocale comma;
    ASSERT_TRUE(comma.Active());
    ExpectGCases();
    EXPECT_EQ(zorbel::FormatFixed(0.05), "0.050000");
    double v = 0;
    EXPECT_TRUE(zorbel::ParseDouble("1.5", v));
    EXPECT_EQ(v, 1.5);
}

TEST(WindowsG, WidthPadsOnTheLeft) {
    EXPECT_EQ(zorbel::FormatWindowsG(0.5, 14), "           0.5");
    EXPECT_EQ(zorbel::FormatWindowsG(-1.23456789e-10, 14), " -1.23457E-010");
    EXPECT_EQ(zorbel::FormatWindowsG(1.0, 1), "1");
}

TEST(WindowsG, NonFiniteValuesStayReadable) {
    EXPECT_EQ(zorbel::FormatWindowsG(INFINITY), "INF");
    EXPECT_EQ(zorbel::FormatWindowsG(-INFINITY), "-INF");
    EXPECT_EQ(zorbel::FormatWindowsG(NAN), "NAN");
}

TEST(Fixed, SixDecimalsByDefault) {
    EXPECT_EQ(zorbel::FormatFixed(0.05), "0.050000");
    EXPECT_EQ(zorbel::FormatFixed(-1.0), "-1.000000");
    EXPECT_EQ(zorbel::FormatFixed(2.5, 0), "2");  // round half to even, as printf
    EXPECT_EQ(zorbel::FormatInt(-42), "-42");
    // A value that rounds to zero is written as zero, never "-0.000".
    EXPECT_EQ(zorbel::FormatFixed(-0.0004, 3), "0.000");
    EXPECT_EQ(zorbel::FormatFixed(-0.0, 2), "0.00");
    EXPECT_FALSE(std::signbit(zorbel::RoundToWindowsG(-0.0)));
}

struct PrefixCase {
    const char* text;
    double value;
    std::size_t taken;
};

TEST(ParseDoublePrefix, StopsWhereTheNumberEnds) {
    const PrefixCase cases[] = {
        {"25", 25, 2},
        {"-0.5", -0.5, 4},
        {"+3", 3, 2},
        {"2E+006", 2e6, 6},
        {"1.5e-3", 1.5e-3, 6},
        {"1E5.5", 1e5, 3},
        {"+", 0, 0},
        {"-", 0, 0},
        {"", 0, 0},
        {"abc", 0, 0},
        {"inf", 0, 0},
        {"nan", 0, 0},
        {"0x10", 0, 1},
        {"1e999", HUGE_VAL, 5},
        {"1e-999", 0, 6},
        {"12abc", 12, 2},
        {".5", 0.5, 2},
        {"5.", 5, 2},
    };
    for (const auto& c : cases) {
        double v = -1;
        EXPECT_EQ(zorbel::ParseDoublePrefix(c.text, v), c.taken) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(ParseWhole, RejectsTrailingCharacters) {
    double d = 7;
    EXPECT_FALSE(zorbel::ParseDouble("25\n", d));
    EXPECT_FALSE(zorbel::ParseDouble(" 25", d));
    EXPECT_FALSE(zorbel::ParseDouble("", d));
    EXPECT_EQ(d, 7);
    long long i = 7;
    EXPECT_TRUE(zorbel::ParseInt("+12", i));
    EXPECT_EQ(i, 12);
    EXPECT_TRUE(zorbel::ParseInt("-3", i));
    EXPECT_EQ(i, -3);
    EXPECT_FALSE(zorbel::ParseInt("+-3", i));
    EXPECT_FALSE(zorbel::ParseInt("3.5", i));
    EXPECT_FALSE(zorbel::ParseInt("", i));
    EXPECT_FALSE(zorbel::ParseInt("99999999999999999999", i));
    EXPECT_EQ(i, -3);
}

}  // namespace
