// The "%G" formatter, the number parser and digit stepping, in the C locale and under a
// decimal-comma locale (both must give the same texts).
#include "locale_guard.h"
#include "zorbel/digit_step.h"
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

struct StepCase {
    const char* name;
    const char* text;
    int caret;
    int steps;
    int decimals;
    zorbel::StepLimits limits;
    const char* stepped;  // nullptr: nothing stepped
    int caretAfter = 0;
};

TEST(StepDigit, CarriesBorrowsAndHoldsToTheLimits) {
    const zorbel::StepLimits none;
    const zorbel::StepLimits amplitude{0.005, 10};
    const zorbel::StepLimits offset{-5, 5, true};
    const StepCase cases[] = {
        {"carry adds a digit", "9", 1, 1, 0, none, "10", 2},
        {"carry through the point", "0.99", 4, 1, 2, none, "1.00", 4},
        {"caret stays on its digit", "99.5", 2, 1, 1, none, "100.5", 3},
        {"borrow drops a digit", "10", 2, -1, 0, none, "9", 1},
        {"borrow through the point", "1.00", 4, -1, 2, none, "0.99", 4},
        {"borrow loses the stepped digit", "10.0", 1, -1, 1, none, "0.0", 0},
        {"caret after the point steps the units", "12.5", 3, 1, 1, none, "13.5", 3},
        {"caret at the front steps the first digit", "12.5", 0, 1, 1, none, "22.5", 0},
        {"caret after the sign", "-0.5", 1, 1, 1, none, "0.5", 0},
        {"crossing zero downwards", "0.3", 1, -1, 1, none, "-0.7", 2},
        {"never -0", "-1.000", 2, 1, 3, none, "0.000", 1},
        {"negative grows", "-9.5", 2, -1, 1, none, "-10.5", 3},
        {"page: ten steps", "5.0", 1, 10, 1, none, "15.0", 2},
        {"comma is the point", "1,5", 1, 1, 1, none, "2.5", 1},
        {"typed decimals round first", "1.2345", 6, 1, 3, none, "1.236", 5},
        {"integer field, typed fraction", "12.7", 4, 1, 0, none, "14", 2},
        {"frequency", "1000.000000", 4, 1, 6, {0.000001, 25e6}, "1001.000000", 4},
        {"held at the maximum", "9.500", 1, 1, 3, amplitude, "10.000", 2},
        {"at the maximum stays", "10.000", 2, 1, 3, amplitude, "10.000", 2},
        {"held at the minimum", "0.500", 1, -1, 3, amplitude, "0.005", 1},
        {"maximum off the grid", "0.9990", 5, 1, 4, {0, 0.99985}, "0.9998", 5},
        {"excluded minimum", "-4.000", 2, -1, 3, offset, "-4.999", 2},
        {"no negatives", "0.2", 1, -1, 1, {0, HUGE_VAL}, "0.0", 1},
        {"not a number", "-", 1, 1, 3, none, nullptr},
        {"empty", "", 0, 1, 3, none, nullptr},
        {"exponent", "1e3", 1, 1, 3, none, nullptr},
        {"too many digits", "1234567890123456", 16, 1, 0, none, nullptr},
        {"no value within the limits", "0.5", 1, 1, 1, {0.51, 0.59}, nullptr},
        {"NaN limit", "0.5", 1, 1, 1, {std::nan(""), 1}, nullptr},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto stepped = zorbel::StepDigit(c.text, c.caret, c.steps, c.decimals, c.limits);
        if (!c.stepped) {
            EXPECT_FALSE(stepped.has_value());
            continue;
        }
        ASSERT_TRUE(stepped.has_value());
        EXPECT_EQ(stepped->text, c.stepped);
        EXPECT_EQ(stepped->caret, c.caretAfter);
    }
}

}  // namespace
