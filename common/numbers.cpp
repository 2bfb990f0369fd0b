// Number texts independent of the process locale (see numbers.h).
#include "zorbel/numbers.h"

#include <array>
#include <charconv>
#include <cmath>

namespace zorbel {

namespace {

// Rewrites a to_chars exponent ("e+06", "e-5") as the Windows runtime does:
// upper-case E, explicit sign, at least three digits.
std::string widenExponent(std::string_view text) {
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

std::string padLeft(std::string text, int width) {
    if (width > 0 && text.size() < static_cast<std::size_t>(width))
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

}  // namespace

std::string formatWindowsG(double value, int width, int precision) {
    if (std::isnan(value)) return padLeft(std::signbit(value) ? "-NAN" : "NAN", width);
    if (std::isinf(value)) return padLeft(value < 0 ? "-INF" : "INF", width);
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                                   std::chars_format::general, precision < 1 ? 1 : precision);
    return padLeft(widenExponent(std::string_view(buf.data(), res.ptr - buf.data())), width);
}

std::string formatFixed(double value, int decimals) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    std::array<char, 400> buf{};  // fits the largest double in fixed form
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                                   std::chars_format::fixed, decimals < 0 ? 0 : decimals);
    return std::string(buf.data(), res.ptr - buf.data());
}

std::string formatInt(long long value) {
    std::array<char, 24> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    return std::string(buf.data(), res.ptr - buf.data());
}

std::size_t parseDoublePrefix(std::string_view text, double& value) {
    value = 0.0;
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    // from_chars takes no '+' and would accept "inf"/"nan"; require a digit or '.' digit.
    const std::string_view rest = text.substr(pos);
    const bool startsNumber = !rest.empty() &&
        ((rest[0] >= '0' && rest[0] <= '9') ||
         (rest[0] == '.' && rest.size() > 1 && rest[1] >= '0' && rest[1] <= '9'));
    if (!startsNumber) return 0;
    double parsed = 0.0;
    const auto res = std::from_chars(rest.data(), rest.data() + rest.size(), parsed,
                                     std::chars_format::general);
    if (res.ec == std::errc::invalid_argument) return 0;
    // Out of range: strtod gives +-HUGE_VAL for overflow and 0 for underflow.
    if (res.ec == std::errc::result_out_of_range) {
        const auto e = rest.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < rest.size() && rest[e + 1] == '-';
        parsed = tiny ? 0.0 : HUGE_VAL;
    }
    value = negative ? -parsed : parsed;
    return pos + static_cast<std::size_t>(res.ptr - rest.data());
}

bool parseDouble(std::string_view text, double& value) {
    double parsed = 0.0;
    if (text.empty() || parseDoublePrefix(text, parsed) != text.size()) return false;
    value = parsed;
    return true;
}

bool parseInt(std::string_view text, long long& value) {
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
