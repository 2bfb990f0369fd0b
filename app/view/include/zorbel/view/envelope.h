// The least and greatest sample of every stretch of a big waveform, kept in
// levels of decreasing resolution, so that a window of millions of points is
// drawn from about two values per pixel column instead of every point.
// Built once after a load or resize; an edit updates only the entries over
// the changed points. Qt-free, so the rule is tested against a plain oracle,
// and shared with the printed page, which has no widgets.
#pragma once

#include <cstddef>
#include <limits>
#include <vector>

namespace zorbel {

struct MinMax {
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();

    bool Empty() const { return min > max; }
    void Add(double v) {
        if (v < min) min = v;
        if (v > max) max = v;
    }
    void Add(const MinMax& other) {
        if (other.min < min) min = other.min;
        if (other.max > max) max = other.max;
    }
};

// samples[first..last] cut into `columns` equal slices, two values each (the
// slice's least and greatest, the one nearer the previous slice's last value
// first), read in one pass: 2 x columns values in `out`, every extreme of the
// range among them. The envelope's Columns give the same from its levels;
// the printed page reduces its snapshot with this.
void MinMaxColumns(const double* samples, std::size_t first, std::size_t last, std::size_t columns,
                   std::vector<double>& out);
// Columns [columnBegin, columnEnd) of the same, into an `out` of 2 x columns
// values whose earlier columns are already there: a long reduction in parts.
void MinMaxColumnsPart(const double* samples, std::size_t first, std::size_t last, std::size_t columns,
                       std::size_t columnBegin, std::size_t columnEnd, std::vector<double>& out);

class MinMaxEnvelope {
public:
    // Points per entry of the finest level, and entries of one level per entry
    // of the next. 16 bytes per 32 points and a quarter more for the coarser
    // levels: about 1/12 of the samples' own memory.
    static constexpr std::size_t kBlockPoints = 32;
    static constexpr std::size_t kFanOut = 4;

    // Every query takes the same `samples` (at least Count() of them) that the
    // envelope was built from: the finest detail at a range's ends is read there.
    void Build(const double* samples, std::size_t count);
    // The same build in parts, so that the samples need not stay still for
    // the whole of it (the records lock is taken for each part only):
    // BeginBuild, then BuildPart over every stretch of samples[0, count)
    // (each beginning at a multiple of kBlockPoints), then EndBuild. Until
    // EndBuild the envelope answers no query.
    void BeginBuild(std::size_t count);
    void BuildPart(const double* samples, std::size_t begin, std::size_t end);
    void EndBuild();
    // samples[first..last] (inclusive) changed; the count did not. Indices
    // beyond the count are ignored.
    void Update(const double* samples, std::size_t first, std::size_t last);
    void Clear();

    // Exact least and greatest of samples[begin, end); empty for an empty range.
    MinMax Range(const double* samples, std::size_t begin, std::size_t end) const;

    // samples[first..last] cut into `columns` equal slices, each given as two
    // values (its least and greatest, the one nearer the previous slice's
    // last value first, so that joined by lines the trace stays continuous):
    // 2 x columns values in `out`. Every extreme of the window is among them.
    void Columns(const double* samples, std::size_t first, std::size_t last, std::size_t columns,
                 std::vector<double>& out) const;
    // The same for columns [columnBegin, columnEnd) only, into an `out` that
    // already holds all 2 x columns values (after an edit under them).
    void RenewColumns(const double* samples, std::size_t first, std::size_t last, std::size_t columns,
                      std::size_t columnBegin, std::size_t columnEnd, std::vector<double>& out) const;

    std::size_t Count() const { return count_; }
    std::size_t MemoryBytes() const;

private:
    void RebuildUpper(std::size_t level, std::size_t firstEntry, std::size_t lastEntry);

    std::size_t count_ = 0;
    std::vector<std::vector<MinMax>> levels_;  // [0] finest
};

}  // namespace zorbel
