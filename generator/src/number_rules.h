// The instrument's number text rules, applied to every answer of the library
// and (through qmkHDTurnStringIntoDouble) to numbers the user types.
#pragma once

#include <string_view>

namespace qrv {

// Not empty; first character a digit, '+' or '-'; every further character a
// digit or '.'; at most one '.', and not at the end. A lone sign passes.
bool IsNumberText(std::string_view text);

// True when `text` is a number: IsNumberText of the whole text, or of the
// mantissa before the first 'e'/'E' and of the exponent after it (neither
// empty). The value is then the C conversion of the longest number at the
// start of the text ("1E5.5" gives 100000, "+" gives 0) and is stored in
// `value`; otherwise `value` is left unchanged. Independent of the locale.
bool TurnStringIntoDouble(std::string_view text, double& value);

}  // namespace qrv
