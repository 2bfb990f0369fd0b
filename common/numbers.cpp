// Number texts independent of the process locale (see numbers.h).
#include "zorbel/numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace zorbel {

namespace {

// Rewrites a to_chars exponent ("e+06", "e-5") as the Windows runtime does:
// upper-case E, explicit sign, at least three digits.
std::string WidenExponent(std::string_view text) {
    const auto e = text.find('e');
    if (e == std::string_view::npos) return std::string(text);
    std::string out(text.substr(0, e));
    out += 'E';
    std::size_t pos = e + 1;
    char sign = '+';
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) sign = text[pos++];
    out += sign;
    const std::string_view digits = text.substr(pos);
    for (std::size_t n = digits.size(); n < 3; ++n) out += '0';
    out += digits;
    return out;
}

// Whether a number text (digits with at most one '.', then an optional
// exponent) lies below 1: the decimal exponent of its first significant digit
// plus its own exponent is negative. Only called for texts out of the double
// range, so the exponent saturates far from the boundary.
bool BelowOne(std::string_view number) {
    const auto e = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::size_t pos = e + 1;
        const bool negative = pos < number.size() && number[pos] == '-';
        if (pos < number.size() && (number[pos] == '+' || number[pos] == '-')) ++pos;
        for (; pos < number.size() && exponent < 1000000000; ++pos) exponent = exponent * 10 + (number[pos] - '0');
        if (negative) exponent = -exponent;
    }
    const auto point = std::min(mantissa.find('.'), mantissa.size());
    const auto first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return true;  // zero
    const long long lead =
        first < point ? static_cast<long long>(point - first) - 1 : -static_cast<long long>(first - point);
    return lead + exponent < 0;
}

// A zero is written without a sign: -0.0, and a small negative value that
// rounds to zero in its text ("-0.000"), would otherwise go out as "-0".
std::string UnsignedZero(std::string text) {
    if (!text.empty() && text[0] == '-' && text.find_first_of("123456789") == std::string::npos) text.erase(0, 1);
    return text;
}

std::string PadLeft(std::string text, int width) {
    if (width > 0 && text.size() < static_cast<std::size_t>(width))
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

}  // namespace

std::string FormatWindowsG(double value, int width, int precision) {
    if (std::isnan(value)) return PadLeft(std::signbit(value) ? "-NAN" : "NAN", width);
    if (std::isinf(value)) return PadLeft(value < 0 ? "-INF" : "INF", width);
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general,
                                   precision < 1 ? 1 : precision);
    return PadLeft(UnsignedZero(WidenExponent(std::string_view(buf.data(), res.ptr - buf.data()))), width);
}

double RoundToWindowsG(double value) {
    if (!std::isfinite(value)) return value;
    double rounded = value;
    ParseDouble(FormatWindowsG(value), rounded);
    return rounded == 0.0 ? 0.0 : rounded;  // never -0
}

std::string FormatFixed(double value, int decimals) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    std::array<char, 400> buf{};  // fits the largest double in fixed form
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed,
                                   decimals < 0 ? 0 : decimals);
    return UnsignedZero(std::string(buf.data(), res.ptr - buf.data()));
}

std::string FormatInt(long long value) {
    std::array<char, 24> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    return std::string(buf.data(), res.ptr - buf.data());
}

std::size_t ParseDoublePrefix(std::string_view text, double& value) {
    value = 0.0;
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    // from_chars takes no '+' and would accept "inf"/"nan"; require a digit or '.' digit.
    const std::string_view rest = text.substr(pos);
    const bool startsNumber =
        !rest.empty() &&
        ((rest[0] >= '0' && rest[0] <= '9') || (rest[0] == '.' && rest.size() > 1 && rest[1] >= '0' && rest[1] <= '9'));
    if (!startsNumber) return 0;
    double parsed = 0.0;
    const auto res = std::from_chars(rest.data(), rest.data() + rest.size(), parsed, std::chars_format::general);
    if (res.ec == std::errc::invalid_argument) return 0;
    // Out of range: strtod gives +-HUGE_VAL for overflow and 0 for underflow.
    // Which one it is depends on the whole number taken ("0.000...1" has no
    // exponent at all), never on text after it.
    if (res.ec == std::errc::result_out_of_range)
        parsed = BelowOne(rest.substr(0, static_cast<std::size_t>(res.ptr - rest.data()))) ? 0.0 : HUGE_VAL;
    value = negative ? -parsed : parsed;
    return pos + static_cast<std::size_t>(res.ptr - rest.data());
}

bool ParseDouble(std::string_view text, double& value) {
    double parsed = 0.0;
    if (text.empty() || ParseDoublePrefix(text, parsed) != text.size()) return false;
    value = parsed;
    return true;
}

bool ParseInt(std::string_view text, long long& value) {
    std::size_t pos = 0;
    if (!text.empty() && text[0] == '+') pos = 1;  // from_chars takes '-' only
    if (pos == text.size()) return false;
    long long parsed = 0;
    const auto res = std::from_chars(text.data() + pos, text.data() + text.size(), parsed);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return false;
    if (pos == 1 && text.size() > 1 && text[1] == '-') return false;
    value = parsed;
    return true;
}

}  // namespace zorbel
