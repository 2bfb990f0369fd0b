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

namespace {

constexpr std::int32_t kSmallestLabelHeight = 6;

// A text's half width and half height in whole pixels: a box of twice these
// about its centre holds it.
struct HalfSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};
HalfSize HalfOf(const TextSize& size) {
    return {static_cast<std::int32_t>(std::ceil(size.width / 2.0)),
            static_cast<std::int32_t>(std::ceil(size.height / 2.0))};
}

// `text` centred on (x, y), `half` either side.
ScaleLabel LabelAt(const std::string& text, std::int32_t x, std::int32_t y, std::int32_t height, HalfSize half) {
    return {text, x, y, height, {x - half.width, y - half.height, x + half.width, y + half.height}};
}

// The centre of `half` either side of `centre`, moved to lie within lo..hi
// (the middle of lo..hi when it is longer).
std::int32_t KeepWithin(std::int32_t centre, std::int32_t half, std::int32_t lo, std::int32_t hi) {
    if (2 * half >= hi - lo) return lo + (hi - lo) / 2;
    return std::clamp(centre, lo + half, hi - half);
}

// The roundest of the points lo..hi (the most trailing zeros; lo when none
// is rounder): a line's label among the points its pixel column shows.
std::uint32_t Roundest(std::uint32_t lo, std::uint32_t hi) {
    std::uint64_t best = lo;
    for (std::uint64_t step = 10; step <= hi; step *= 10) {
        const std::uint64_t multiple = (lo + step - 1) / step * step;
        if (multiple > hi) break;
        best = multiple;
    }
    return static_cast<std::uint32_t>(best);
}

// At least `spacing` pixels between the two boxes, across or down.
bool Apart(const GridRect& a, const GridRect& b, std::int32_t spacing) {
    return b.left - a.right >= spacing || a.left - b.right >= spacing || b.top - a.bottom >= spacing ||
           a.top - b.bottom >= spacing;
}

// The labels at lines 0, k, 2k, ..., n for the smallest divisor k of n that
// keeps them `spacing` apart; the first alone when not even 0 and n are.
void AddSpread(std::vector<ScaleLabel>& out, std::vector<ScaleLabel> labels, std::int32_t spacing) {
    const std::size_t n = labels.size() - 1;
    std::size_t step = 0;
    for (std::size_t k = 1; k <= n && step == 0; ++k) {
        if (n % k != 0) continue;
        bool apart = true;
        for (std::size_t i = 0; i + k <= n && apart; i += k) apart = Apart(labels[i].box, labels[i + k].box, spacing);
        if (apart) step = k;
    }
    if (step == 0) step = n + 1;  // the first alone
    for (std::size_t i = 0; i <= n; i += step) out.push_back(std::move(labels[i]));
}

}  // namespace

std::vector<ScaleLabel> ScaleLabels(const GridRect& g, const GridStyle& style, double lower, double upper,
                                    bool arbitrary, std::uint32_t first, std::uint32_t last,
                                    const MeasureText& measure) {
    const std::int32_t gap = style.labelGap;
    // The texts, bottom to top and left to right, and the lines they stand at.
    std::vector<std::pair<std::string, std::int32_t>> levels, indexes;
    const std::int32_t levelCount = style.levelDivisions;
    for (std::int32_t i = 0; levelCount > 0 && i <= levelCount; ++i) {
        double volts = lower + i * (upper - lower) / levelCount;
        // A level that is zero but for rounding reads "0.0000", not "-0.0000".
        if (std::abs(volts) < 0.5e-4) volts = 0.0;
        levels.emplace_back(FormatFixed(volts, 4), g.bottom - i * (g.bottom - g.top) / levelCount);
    }
    const std::int32_t indexCount = style.indexDivisions;
    for (std::int32_t i = 0; arbitrary && indexCount > 0 && i <= indexCount; ++i) {
        // The drawing library's line, and the roundest of the points its
        // pixel column shows (the mouse reads the first of them there).
        const std::int32_t x = std::min(g.left + i * (g.right - g.left) / indexCount, std::max(g.left, g.right - 1));
        const std::uint32_t lo = IndexAtX(x, g, first, last);
        const std::uint32_t next = IndexAtX(x + 1, g, first, last);
        const std::uint32_t index = i == 0 ? first : i == indexCount ? last : Roundest(lo, next > lo ? next - 1 : lo);
        indexes.emplace_back(FormatInt(static_cast<long long>(index)), x);
    }

    // The largest font up to the style's whose voltages fit left of the grid
    // and whose indexes fit below it.
    const auto fits = [&](std::int32_t height) {
        for (const auto& [text, y] : levels)
            if (2 * HalfOf(measure(text, height)).width > kGridMargins.left - gap) return false;
        for (const auto& [text, x] : indexes)
            if (2 * HalfOf(measure(text, height)).height > kGridMargins.bottom - gap) return false;
        return true;
    };
    std::int32_t height = style.labelHeight;
    while (height > kSmallestLabelHeight && !fits(height)) --height;

    std::vector<ScaleLabel> out;
    if (!levels.empty()) {
        std::vector<ScaleLabel> labels;
        for (const auto& [text, lineY] : levels) {
            const HalfSize half = HalfOf(measure(text, height));
            labels.push_back(LabelAt(text, g.left - gap - half.width, KeepWithin(lineY, half.height, g.top, g.bottom),
                                     height, half));
        }
        AddSpread(out, std::move(labels), 1);
    }
    if (!indexes.empty()) {
        std::vector<ScaleLabel> labels;
        for (const auto& [text, lineX] : indexes) {
            const HalfSize half = HalfOf(measure(text, height));
            labels.push_back(LabelAt(text, KeepWithin(lineX, half.width, g.left, g.right), g.bottom + gap + half.height,
                                     height, half));
        }
        // Numbers a space apart at least, so that two never read as one.
        AddSpread(out, std::move(labels), std::max(2, height / 2));
    }
    return out;
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
