// Number conversions of the setup and arbitrary data file readers, on top of
// the project's locale-independent helpers: the C library's atoi/atof
// behaviour that the file formats were made with (leading blanks skipped,
// the number ends at the first character that does not continue it, no
// number gives 0).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

#include "zorbel/numbers.h"

namespace zorbel::files {

inline std::string_view SkipBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

// Decimal floating-point prefix; 0.0 when the text does not start with a number.
inline double ReadReal(std::string_view text) {
    double value = 0.0;
    parseDoublePrefix(SkipBlanks(text), value);
    return value;
}

// Decimal integer prefix as a 32-bit value: out-of-range numbers stick at the
// nearest 32-bit limit (as strtol with a 32-bit long does), so that a huge
// count can be refused instead of wrapping to a small one.
inline std::int32_t ReadInteger(std::string_view text) {
    text = SkipBlanks(text);
    std::size_t end = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    const std::size_t digitsFrom = end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == digitsFrom) return 0;
    long long value = 0;
    if (!parseInt(text.substr(0, end), value))  // more digits than 64 bits hold
        return text[0] == '-' ? std::numeric_limits<std::int32_t>::min() : std::numeric_limits<std::int32_t>::max();
    if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

// The low 16 bits of an integer, as a narrowing to a 16-bit field keeps them.
inline std::uint16_t Low16(long long value) { return static_cast<std::uint16_t>(value & 0xFFFF); }

// A real truncated toward zero, then its low 16 bits; values no integer type
// holds (infinities) give 0 instead of undefined behaviour.
inline std::uint16_t TruncatedLow16(double value) {
    if (!std::isfinite(value)) return 0;
    double rest = std::fmod(std::trunc(value), 65536.0);
    if (rest < 0) rest += 65536.0;
    return static_cast<std::uint16_t>(rest);
}

}  // namespace zorbel::files
