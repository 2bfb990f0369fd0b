// Digit stepping of a number field's text: Up, Down, PageUp, PageDown and
// the mouse wheel change one digit of the number by whole units, as if the
// user had typed the result.
#pragma once

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

namespace zorbel {

// What a stepped number may become: both ends included, except a minimum
// the instrument refuses itself (the offset's), which is excluded.
struct StepLimits {
    double minimum = -HUGE_VAL;
    double maximum = HUGE_VAL;
    bool minimumExcluded = false;
};

struct SteppedText {
    std::string text;
    int caret = 0;
    friend bool operator==(const SteppedText&, const SteppedText&) = default;
};

// `text` with `steps` units of one digit added (negative: taken away),
// carried and borrowed across the other digits. The digit is the one left of
// `caret` (a point between them is passed over), or the first digit when no
// digit lies left of the caret; a digit below the field's last decimal
// counts as its last decimal. The number is first rounded to `decimals`
// (half away from zero on the digits typed; "," is the point), and the
// result is held within `limits` rounded inwards to `decimals`, so a field
// at a limit stays there. The text comes back in the field's form ("%.*f",
// a "." as the point, never "-0") with the caret on the same digit, even
// when a carry added a digit before it. Nothing when `text` is no number
// ("", "-", "1e3"), when it or the step needs more than 15 digits, or when
// no value with `decimals` lies within `limits`.
std::optional<SteppedText> StepDigit(std::string_view text, int caret, int steps, int decimals,
                                     const StepLimits& limits = {});

}  // namespace zorbel
