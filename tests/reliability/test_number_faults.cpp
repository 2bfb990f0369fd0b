// Number texts that fuzzing found mis-read: a value beyond the double range
// must read as strtod reads it (infinity above, zero below), judged by the
// whole number taken and nothing after it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "zorbel/numbers.h"

namespace {

struct OutOfRange {
    const char* name;
    std::string text;
    double expected;
    std::size_t taken;
};

std::string Zeros(std::size_t n) { return std::string(n, '0'); }

TEST(NumberFaults, OutOfRangeNumbersReadAsTheCLibraryReadsThem) {
    const OutOfRange cases[] = {
        {"tiny without exponent", "0." + Zeros(400) + "1", 0.0, 403},
        {"tiny negative without exponent", "-0." + Zeros(400) + "1", -0.0, 404},
        {"tiny with positive exponent", "0." + Zeros(400) + "1e+50", 0.0, 407},
        {"huge with negative exponent", "1" + Zeros(400) + "e-50", HUGE_VAL, 405},
        {"huge followed by a word with e-", "1" + Zeros(400) + "Volte-", HUGE_VAL, 401},
        {"tiny with exponent", "1e-400", 0.0, 6},
        {"huge with exponent", "-1E+400", -HUGE_VAL, 7},
        {"exponent beyond 64 bits", "1e-99999999999999999999999", 0.0, 26},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        double value = 42.0;
        EXPECT_EQ(zorbel::ParseDoublePrefix(c.text, value), c.taken);
        EXPECT_EQ(value, c.expected);
        EXPECT_EQ(std::signbit(value), std::signbit(c.expected));
    }
}

}  // namespace
