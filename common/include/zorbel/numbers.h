// Locale-independent number texts for instruments and files.
//
// Every number that is sent to an instrument, written to a file or parsed from
// an answer or a file goes through these helpers, never through printf/strtod,
// which follow the user's locale once Qt has called setlocale(LC_ALL, "").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorbel {

// "%G" as the Windows C runtime prints it: six significant digits (or
// `precision`), fixed form for decimal exponents -4..precision-1, trailing
// zeros removed, upper-case exponent with a sign and at least three digits:
// 2000000 -> "2E+006", 1234567 -> "1.23457E+006", 0.00001 -> "1E-005",
// 25 -> "25". `width` right-aligns with blanks as "%14G" does. A zero has no
// sign: -0.0 -> "0" (so does FormatFixed: -0.0001 with 3 decimals -> "0.000").
std::string FormatWindowsG(double value, int width = 0, int precision = 6);

// The value the "%G" text of `value` carries (six significant digits): what
// an instrument holds after `value` was sent, and what a file gives back
// after it was saved. Infinities and NaN come back as they are; zero is +0.
double RoundToWindowsG(double value);

// "%f": fixed form with `decimals` digits after the point (six by default).
std::string FormatFixed(double value, int decimals = 6);

// "%d" / "%ld".
std::string FormatInt(long long value);

// The C library's decimal text-to-double conversion in the "C" locale: an
// optional sign, digits with at most one '.', an optional exponent; stops at
// the first character that does not continue the number. Returns the number
// of characters taken (0 when no number starts the text; `value` is then 0).
// A lone sign gives 0 and takes nothing, as strtod does. No hex, inf or nan.
std::size_t ParseDoublePrefix(std::string_view text, double& value);

// Whole-text conversions: true only when the entire text (no blanks) is a
// number of that kind; `value` is written only on success.
bool ParseDouble(std::string_view text, double& value);
bool ParseInt(std::string_view text, long long& value);

}  // namespace zorbel
