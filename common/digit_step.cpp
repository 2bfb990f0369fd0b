// Digit stepping on the number as a whole count of the field's last decimal,
// so that carries, borrows and limits are exact.
#include "zorbel/digit_step.h"

#include <algorithm>

namespace zorbel {
namespace {

// Digits a stepped number may have: every count of the last decimal up to
// this many digits is a double exactly, and a step of 1000 units of the
// highest digit still fits a long long.
constexpr int kMaxDigits = 15;
constexpr int kMaxSteps = 1000;

long long Power10(int n) {
    long long power = 1;
    while (n-- > 0) power *= 10;
    return power;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsPoint(char c) { return c == '.' || c == ','; }

// A number as the field holds it: an optional sign, digits, then at most one
// point followed by digits ("5." is one).
struct FieldNumber {
    bool negative = false;
    std::size_t firstDigit = 0;
    std::size_t point = 0;  // the point's index, or the text's size when there is none
    std::string_view whole;
    std::string_view fraction;
};

std::optional<FieldNumber> ParseFieldNumber(std::string_view text) {
    FieldNumber number;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number.negative = text[i++] == '-';
    number.firstDigit = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == number.firstDigit) return std::nullopt;
    number.whole = text.substr(number.firstDigit, i - number.firstDigit);
    number.point = i;
    if (i < text.size() && IsPoint(text[i])) ++i;
    const std::size_t fractionStart = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i != text.size()) return std::nullopt;
    number.fraction = text.substr(fractionStart);
    return number;
}

// The number in units of the field's last decimal, rounded half away from
// zero on the digits typed; nothing beyond kMaxDigits digits.
std::optional<long long> Units(const FieldNumber& number, int decimals) {
    std::string digits(number.whole);
    digits += number.fraction.substr(0, static_cast<std::size_t>(decimals));
    digits.append(static_cast<std::size_t>(decimals) - std::min<std::size_t>(number.fraction.size(), decimals), '0');
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.size() > kMaxDigits) return std::nullopt;
    long long units = 0;
    for (const char c : digits) units = units * 10 + (c - '0');
    if (number.fraction.size() > static_cast<std::size_t>(decimals) && number.fraction[decimals] >= '5') ++units;
    return number.negative ? -units : units;
}

// A limit in units of the last decimal, rounded inwards: up for a minimum,
// down for a maximum. A limit the field can show (0.005 with 3 decimals) is
// taken as it is although its double is a hair off.
std::optional<long long> InnerUnits(double limit, int decimals, bool minimum, bool excluded) {
    if (std::isnan(limit)) return std::nullopt;
    const double bound = static_cast<double>(Power10(kMaxDigits) - 1);
    const double scaled = limit * static_cast<double>(Power10(decimals));
    if (scaled >= bound) return static_cast<long long>(bound);
    if (scaled <= -bound) return -static_cast<long long>(bound);
    const double nearest = std::round(scaled);
    if (std::abs(scaled - nearest) <= 1e-9 * std::max(1.0, std::abs(scaled))) {
        const auto units = static_cast<long long>(nearest);
        return excluded ? units + (minimum ? 1 : -1) : units;
    }
    return static_cast<long long>(minimum ? std::ceil(scaled) : std::floor(scaled));
}

std::string FieldText(long long units, int decimals) {
    std::string digits = std::to_string(units < 0 ? -units : units);
    if (digits.size() <= static_cast<std::size_t>(decimals)) digits.insert(0, decimals + 1 - digits.size(), '0');
    std::string text = units < 0 ? "-" : "";
    text += digits.substr(0, digits.size() - decimals);
    if (decimals > 0) text += '.' + digits.substr(digits.size() - decimals);
    return text;
}

}  // namespace

std::optional<SteppedText> StepDigit(std::string_view text, int caret, int steps, int decimals,
                                     const StepLimits& limits) {
    const std::optional<FieldNumber> number = ParseFieldNumber(text);
    if (!number || decimals < 0 || decimals >= kMaxDigits) return std::nullopt;

    // The digit stepped and where the caret stands by it.
    std::size_t at = static_cast<std::size_t>(std::clamp<long long>(caret, 0, static_cast<long long>(text.size())));
    bool afterPoint = false;
    if (at > 0 && IsPoint(text[at - 1]) && at - 1 == number->point) {
        afterPoint = true;
        --at;
    }
    const bool digitLeft = at > number->firstDigit;
    const std::size_t digit = digitLeft ? at - 1 : number->firstDigit;
    const long long place = std::max<long long>(
        digit < number->point ? static_cast<long long>(number->point - 1 - digit)
                              : static_cast<long long>(number->point) - static_cast<long long>(digit),
        -decimals);
    if (place + decimals >= kMaxDigits) return std::nullopt;

    const std::optional<long long> units = Units(*number, decimals);
    const std::optional<long long> lowest = InnerUnits(limits.minimum, decimals, true, limits.minimumExcluded);
    const std::optional<long long> highest = InnerUnits(limits.maximum, decimals, false, false);
    if (!units || !lowest || !highest || *lowest > *highest) return std::nullopt;
    const long long step = std::clamp(steps, -kMaxSteps, kMaxSteps) * Power10(static_cast<int>(place + decimals));
    const long long stepped = std::clamp(*units + step, *lowest, *highest);

    SteppedText result{FieldText(stepped, decimals), 0};
    const long long first = stepped < 0 ? 1 : 0;
    const long long point =
        decimals > 0 ? static_cast<long long>(result.text.find('.')) : static_cast<long long>(result.text.size());
    const long long index = place >= 0 ? point - 1 - place : point - place;
    if (index < first)  // a borrow took the digit away: the caret goes before the first one
        result.caret = static_cast<int>(first);
    else if (!digitLeft)
        result.caret = static_cast<int>(index);
    else
        result.caret = static_cast<int>(index + 1 + (afterPoint && decimals > 0 ? 1 : 0));
    return result;
}

}  // namespace zorbel
