// Linear resampling of one waveform period.
#include "zorbel/model/resample.h"

#include <algorithm>
#include <cstdint>

namespace zorbel {

void ResampleSlice(std::span<const double> source, std::size_t n, std::size_t first, std::span<double> out) {
    const std::size_t count = source.size();
    if (count == 0) {
        std::fill(out.begin(), out.end(), 0.0);
        return;
    }
    if (count == 1 || n < 2) {
        std::fill(out.begin(), out.end(), source[0]);
        return;
    }
    // Position j x (N - 1) / (n - 1) as a whole part and a remainder: for
    // waveforms within the memory (2^26 points) the product stays below
    // 2^52, and no rounding drifts along millions of points.
    const std::uint64_t span = count - 1;
    const std::uint64_t steps = n - 1;
    for (std::size_t k = 0; k < out.size(); ++k) {
        const std::uint64_t position = static_cast<std::uint64_t>(first + k) * span;
        const std::size_t at = static_cast<std::size_t>(position / steps);
        const std::uint64_t rest = position % steps;
        if (rest == 0 || at + 1 >= count) {
            out[k] = source[at];
            continue;
        }
        const double a = source[at];
        const double b = source[at + 1];
        out[k] = a + (b - a) * (static_cast<double>(rest) / static_cast<double>(steps));
    }
}

std::vector<double> Resample(std::span<const double> source, std::size_t n) {
    std::vector<double> out(n);
    ResampleSlice(source, n, 0, out);
    return out;
}

}  // namespace zorbel
