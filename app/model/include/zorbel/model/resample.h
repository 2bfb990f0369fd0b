// One period of a waveform on another number of points: linear
// interpolation between neighbouring points, the first and the last point
// staying where they are, so that a ramp stays a ramp and a constant stays
// exactly that constant. What a new arbitrary frequency does to the user's
// waveform, instead of cutting it or padding it with zeros.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace zorbel {

// Points first .. first + out.size() - 1 of `source` resampled to n points,
// written to `out` (which must end at or before point n). Point j lies at
// j x (N - 1) / (n - 1) of the source's N points, computed in whole numbers
// (exact at both ends for counts up to 2^26). No source points: zeros; one
// point, or one point wanted: the first point.
void ResampleSlice(std::span<const double> source, std::size_t n, std::size_t first, std::span<double> out);

// The whole waveform resampled to n points.
std::vector<double> Resample(std::span<const double> source, std::size_t n);

}  // namespace zorbel
