// The number rules and the locale-free number texts: every answer number and
// every number the user types goes through them. The C library's own
// conversion (strtod/strtoll in the "C" locale) is the oracle for the prefix
// and whole-text parsers; formatting must give texts that parse back.
#include <locale.h>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "QRVHardDll.h"
#include "fuzz_check.h"
#include "number_rules.h"
#include "zorbel/numbers.h"

namespace {

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

bool SameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// strtod also reads hex, "inf", "nan" and leading blanks, which the number
// texts refuse on purpose: only texts without those are compared.
bool StrtodComparable(std::string_view text) {
    if (text.empty() || text.find_first_of("xXpP") != std::string_view::npos) return false;
    std::size_t i = text[0] == '+' || text[0] == '-' ? 1 : 0;
    if (i < text.size() && std::strchr("iInN", text[i]) != nullptr && text[i] != '\0') return false;
    return !(text[0] == ' ' || (text[0] >= '\t' && text[0] <= '\r'));
}

void CheckPrefix(std::string_view text) {
    double value = -1.0;
    const std::size_t taken = zorbel::parseDoublePrefix(text, value);
    FUZZ_CHECK(taken <= text.size());
    if (taken == 0) FUZZ_CHECK(value == 0.0);
    if (StrtodComparable(text)) {
        const std::string copy(text);  // strtod needs a terminator; a NUL ends both parsers alike
        char* end = nullptr;
        const double expected = strtod_l(copy.c_str(), &end, CLocale());
        FUZZ_CHECK(static_cast<std::size_t>(end - copy.c_str()) == taken);
        FUZZ_CHECK(SameDouble(expected, value));
    }
    double whole = -2.0;
    const bool parsed = zorbel::parseDouble(text, whole);
    FUZZ_CHECK(parsed == (!text.empty() && taken == text.size()));
    FUZZ_CHECK(parsed ? SameDouble(whole, value) : whole == -2.0);
}

void CheckInt(std::string_view text) {
    long long value = -7;
    const bool parsed = zorbel::parseInt(text, value);
    if (!parsed) {
        FUZZ_CHECK(value == -7);
        return;
    }
    // Only an optional sign and digits: strtoll takes exactly the same text.
    const std::string copy(text);
    FUZZ_CHECK(copy.find_first_not_of("+-0123456789") == std::string::npos);
    char* end = nullptr;
    errno = 0;
    const long long expected = strtoll_l(copy.c_str(), &end, 10, CLocale());
    FUZZ_CHECK(errno == 0 && *end == '\0' && expected == value);
}

void CheckFormatting(double value) {
    if (!std::isfinite(value)) return;
    // 17 significant digits always give the same double back.
    double back = 0.0;
    FUZZ_CHECK(zorbel::parseDouble(zorbel::formatWindowsG(value, 0, 17), back));
    FUZZ_CHECK(back == value);
    // "%G" keeps six digits; it must still be one whole number text.
    const std::string g = zorbel::formatWindowsG(value);
    FUZZ_CHECK(zorbel::parseDouble(g, back));
    // Within the six digits, and within the spacing of the smallest doubles.
    FUZZ_CHECK(std::fabs(back - value) <= std::fabs(value) * 5e-6 + std::numeric_limits<double>::denorm_min());
    const auto e = g.find('E');
    if (e != std::string::npos) FUZZ_CHECK(g.size() - e >= 5);  // E, sign, three digits
    FUZZ_CHECK(zorbel::parseDouble(zorbel::formatFixed(value), back));
}

void CheckRules(std::string_view text) {
    double value = 123.0;
    const bool number = qrv::TurnStringIntoDouble(text, value);
    if (!number) {
        FUZZ_CHECK(value == 123.0);
    } else {
        double prefix = 0.0;
        zorbel::parseDoublePrefix(text, prefix);
        FUZZ_CHECK(SameDouble(prefix, value));
    }
    if (text.find_first_of("eE") == std::string_view::npos) FUZZ_CHECK(number == qrv::IsNumberText(text));
    if (qrv::IsNumberText(text)) FUZZ_CHECK(number);

    // The export reads a zero-terminated text: the same rules up to the first NUL.
    const std::string terminated(text);
    double exported = 123.0;
    double direct = 123.0;
    const bool expectNumber = qrv::TurnStringIntoDouble(std::string_view(terminated.c_str()), direct);
    FUZZ_CHECK(qmkHDTurnStringIntoDouble(&exported, terminated.c_str(), static_cast<std::int32_t>(text.size())) ==
               (expectNumber ? 1 : 0));
    FUZZ_CHECK(SameDouble(exported, direct));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckPrefix(text);
    CheckInt(text);
    CheckRules(text);
    double value = 0.0;
    if (zorbel::parseDoublePrefix(text, value) > 0) CheckFormatting(value);
    return 0;
}
