// Number conversions of the setup and arbitrary data file readers, on top of
// the project's locale-independent helpers: the C library's atoi/atof
// behaviour that the file formats were made with (leading blanks skipped,
// the number ends at the first character that does not continue it, no
// number gives 0).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
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
    ParseDoublePrefix(SkipBlanks(text), value);
    return value;
}

// True when a number field starts with a number (else it reads as 0).
inline bool StartsWithNumber(std::string_view text) {
    double value = 0.0;
    return ParseDoublePrefix(SkipBlanks(text), value) > 0;
}

// A real as ReadReal takes it, or nothing when the field holds a value no
// instrument takes: one beyond the double range ("1E+999"), or the infinity
// and not-a-number texts a "%G" writer leaves ("INF", "-NAN", and the old
// Windows runtime's "1.#INF", "-1.#IND"). Taken as infinity or as 0, such a
// value would load and latch the session later, when it is sent.
inline std::optional<double> ReadFiniteReal(std::string_view text) {
    text = SkipBlanks(text);
    std::string_view magnitude = text;
    if (!magnitude.empty() && (magnitude[0] == '+' || magnitude[0] == '-')) magnitude.remove_prefix(1);
    const auto startsWith = [&](std::string_view word) {
        if (magnitude.size() < word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            const char c = magnitude[i];
            if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != word[i]) return false;
        }
        return true;
    };
    if (startsWith("inf") || startsWith("nan") || startsWith("1.#")) return std::nullopt;
    const double value = ReadReal(text);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

// A field's text for a message: as written, cut after 40 characters so that
// a line of junk still gives a one-line message.
inline std::string ShownText(std::string_view text) {
    constexpr std::size_t kMaxShown = 40;
    if (text.size() <= kMaxShown) return std::string(text);
    return std::string(text.substr(0, kMaxShown)) + "...";
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
    if (!ParseInt(text.substr(0, end), value))  // more digits than 64 bits hold
        return text[0] == '-' ? std::numeric_limits<std::int32_t>::min() : std::numeric_limits<std::int32_t>::max();
    if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

// The low 16 bits of an integer, as a narrowing to a 16-bit field keeps them.
inline std::uint16_t Low16(long long value) { return static_cast<std::uint16_t>(value & 0xFFFF); }

}  // namespace zorbel::files
