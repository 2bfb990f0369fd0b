// The oscilloscope's value texts as volts and hertz.
#include "zorbel/model/calibration_measurement.h"

namespace zorbel {
namespace {

bool Is(char c, char letter) { return c == letter || c == letter - 'a' + 'A'; }

}  // namespace

double MeasuredVoltage(std::string_view text, const NumberText& number) {
    const std::size_t n = text.size();
    if (n <= 2 || !Is(text[n - 1], 'v')) return kFallbackVolts;
    if (Is(text[n - 2], 'm')) return number(text.substr(0, n - 2)) / 1000.0;
    return number(text.substr(0, n - 1));
}

double MeasuredFrequency(std::string_view text, const NumberText& number) {
    const std::size_t n = text.size();
    if (n <= 3) return 0.0;
    if (!Is(text[n - 1], 'z') && !Is(text[n - 2], 'h')) return 0.0;
    const char prefix = text[n - 3];
    if (Is(prefix, 'k')) return number(text.substr(0, n - 3)) * 1e3;
    if (Is(prefix, 'm')) return number(text.substr(0, n - 3)) * 1e6;
    return number(text.substr(0, n - 2));
}

}  // namespace zorbel
