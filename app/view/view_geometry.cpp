// Grid rectangle, scale texts and pixel mapping of the waveform view.
#include "zorbel/view/view_geometry.h"

#include <algorithm>
#include <cmath>

#include "zorbel/numbers.h"

namespace zorbel {

GridRect GridOf(std::int32_t clientWidth, std::int32_t clientHeight) {
    GridRect g{kGridMargins.left, kGridMargins.top, clientWidth - kGridMargins.right,
               clientHeight - kGridMargins.bottom};
    if (g.right < g.left) g.right = g.left;
    if (g.bottom < g.top) g.bottom = g.top;
    return g;
}

std::vector<ScaleLabel> ScaleLabels(const GridRect& g, const GridStyle& style, double lower, double upper,
                                    bool arbitrary, std::uint32_t first, std::uint32_t last) {
    std::vector<ScaleLabel> labels;
    const std::int32_t levels = style.levelDivisions;
    const std::int32_t gap = style.labelGap;
    for (std::int32_t i = 0; levels > 0 && i <= levels; ++i) {
        double volts = lower + i * (upper - lower) / levels;
        // A level that is zero but for rounding reads "0.0000", not "-0.0000".
        if (std::abs(volts) < 0.5e-4) volts = 0.0;
        labels.push_back({FormatFixed(volts, 4), g.left - gap - 20, g.bottom - i * (g.bottom - g.top) / levels});
    }
    const std::int32_t indexes = style.indexDivisions;
    if (arbitrary && indexes > 0) {
        const std::uint64_t span = last >= first ? last - first : 0;
        for (std::int32_t i = 0; i <= indexes; ++i) {
            const std::uint64_t index = first + (std::uint64_t(i) * span) / std::uint64_t(indexes);
            labels.push_back({FormatInt(static_cast<long long>(index)), g.left + i * (g.right - g.left) / indexes - 2,
                              g.bottom + gap + 10});
        }
    }
    return labels;
}

std::uint32_t IndexAtX(std::int32_t x, const GridRect& g, std::uint32_t first, std::uint32_t last) {
    if (g.Width() <= 0 || last <= first) return first;
    const double index = first + double(x - g.left) / g.Width() * (double(last) - first + 1.0);
    if (!(index > first)) return first;
    if (index >= last) return last;
    return static_cast<std::uint32_t>(index);
}

double VoltageAtY(std::int32_t y, const GridRect& g, double lower, double upper) {
    if (g.Height() <= 0) return upper;
    return upper - double(y - g.top) / g.Height() * (upper - lower);
}

double XOfIndex(double index, const GridRect& g, std::uint32_t first, std::uint32_t last) {
    if (last <= first) return g.left;
    return g.left + (index - first) * (g.right - 1 - g.left) / (double(last) - first);
}

double YOfVoltage(double volts, const GridRect& g, double lower, double upper) {
    const double height = g.bottom - 1 - g.top;
    if (!(upper > lower)) return g.top + height / 2.0;
    return g.bottom - 1 - (volts - lower) * height / (upper - lower);
}

}  // namespace zorbel
