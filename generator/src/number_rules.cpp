// Number text rules (see number_rules.h) and their export.
#include "number_rules.h"

#include "QRVHardDll.h"
#include "export_guard.h"
#include "zorbel/numbers.h"

#include <cstring>

namespace qrv {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool IsNumberText(std::string_view text) {
    if (text.empty()) return false;
    if (!IsDigit(text[0]) && text[0] != '+' && text[0] != '-') return false;
    int points = 0;
    for (char c : text.substr(1)) {
        if (c == '.')
            ++points;
        else if (!IsDigit(c))
            return false;
    }
    return points == 0 || (points == 1 && text.back() != '.');
}

bool TurnStringIntoDouble(std::string_view text, double& value) {
    if (text.empty()) return false;
    const auto e = text.find_first_of("eE");
    if (e == std::string_view::npos) {
        if (!IsNumberText(text)) return false;
    } else {
        if (e == 0) return false;
        if (!IsNumberText(text.substr(0, e)) || !IsNumberText(text.substr(e + 1))) return false;
    }
    zorbel::parseDoublePrefix(text, value);
    return true;
}

}  // namespace qrv

uint16_t qmkHDTurnStringIntoDouble(double* value, const char* text, int32_t /*length: not used*/) {
    if (value == nullptr || text == nullptr) return 0;
    return qrv::NoThrow(
        [&]() -> std::uint16_t {
            return qrv::TurnStringIntoDouble(std::string_view(text, std::strlen(text)), *value) ? 1 : 0;
        },
        0);
}
