// Min/max envelope levels: build, update over a range, exact range queries.
#include "zorbel/view/envelope.h"

#include <algorithm>
#include <cmath>

namespace zorbel {
namespace {

// One entry of the finest level. Four independent lanes keep the comparisons
// from waiting on each other; this loop is the whole cost of a build.
MinMax ScanBlock(const double* s, std::size_t n) {
    if (n == MinMaxEnvelope::kBlockPoints) {
        double lo[4] = {s[0], s[1], s[2], s[3]};
        double hi[4] = {s[0], s[1], s[2], s[3]};
        for (std::size_t i = 4; i < MinMaxEnvelope::kBlockPoints; i += 4) {
            for (std::size_t lane = 0; lane < 4; ++lane) {
                const double v = s[i + lane];
                lo[lane] = v < lo[lane] ? v : lo[lane];
                hi[lane] = v > hi[lane] ? v : hi[lane];
            }
        }
        MinMax m;
        for (std::size_t lane = 0; lane < 4; ++lane) m.Add(MinMax{lo[lane], hi[lane]});
        return m;
    }
    MinMax m;
    for (std::size_t i = 0; i < n; ++i) m.Add(s[i]);
    return m;
}

void ScanRaw(const double* samples, std::size_t begin, std::size_t end, MinMax& acc) {
    for (std::size_t i = begin; i < end; ++i) acc.Add(samples[i]);
}

void Take(const std::vector<MinMax>& level, std::size_t begin, std::size_t end, MinMax& acc) {
    for (std::size_t e = begin; e < end; ++e) acc.Add(level[e]);
}

// The one min/max-per-column reduction: columns [columnBegin, columnEnd) of
// samples[first..last] cut into `columns` slices, each slice's least and
// greatest from rangeOf(begin, end), into an `out` of 2 x columns values.
template <class RangeOf>
void FillColumns(const double* samples, std::size_t first, std::size_t last, std::size_t columns,
                 std::size_t columnBegin, std::size_t columnEnd, std::vector<double>& out, RangeOf rangeOf) {
    columnEnd = std::min(columnEnd, columns);
    const std::size_t n = last - first + 1;
    double previous = columnBegin > 0 ? out[2 * columnBegin - 1] : std::nan("");
    for (std::size_t c = columnBegin; c < columnEnd; ++c) {
        const MinMax m = rangeOf(first + n * c / columns, first + n * (c + 1) / columns);
        if (m.Empty()) {  // more columns than points: this column repeats the last value
            const double v = std::isnan(previous) ? samples[first] : previous;
            out[2 * c] = out[2 * c + 1] = v;
            continue;
        }
        const bool maxFirst = !std::isnan(previous) && std::abs(m.max - previous) < std::abs(m.min - previous);
        out[2 * c] = maxFirst ? m.max : m.min;
        out[2 * c + 1] = maxFirst ? m.min : m.max;
        previous = out[2 * c + 1];
    }
}

}  // namespace

void MinMaxEnvelope::Clear() {
    count_ = 0;
    levels_.clear();
}

void MinMaxEnvelope::Build(const double* samples, std::size_t count) {
    BeginBuild(count);
    BuildPart(samples, 0, count);
    EndBuild();
}

void MinMaxEnvelope::BeginBuild(std::size_t count) {
    Clear();
    count_ = count;
    if (count == 0) return;
    levels_.emplace_back((count + kBlockPoints - 1) / kBlockPoints);
}

void MinMaxEnvelope::BuildPart(const double* samples, std::size_t begin, std::size_t end) {
    if (levels_.empty()) return;
    std::vector<MinMax>& finest = levels_[0];
    end = std::min(end, count_);
    for (std::size_t e = begin / kBlockPoints; e < finest.size() && e * kBlockPoints < end; ++e) {
        const std::size_t from = e * kBlockPoints;
        finest[e] = ScanBlock(samples + from, std::min(kBlockPoints, count_ - from));
    }
}

void MinMaxEnvelope::EndBuild() {
    if (levels_.empty()) return;
    while (levels_.back().size() > 1) {
        const std::size_t size = (levels_.back().size() + kFanOut - 1) / kFanOut;
        levels_.emplace_back(size);
        RebuildUpper(levels_.size() - 1, 0, size - 1);
    }
}

// Entries firstEntry..lastEntry of `level` (above the finest) from the level below.
void MinMaxEnvelope::RebuildUpper(std::size_t level, std::size_t firstEntry, std::size_t lastEntry) {
    const std::vector<MinMax>& below = levels_[level - 1];
    std::vector<MinMax>& entries = levels_[level];
    for (std::size_t e = firstEntry; e <= lastEntry; ++e) {
        MinMax m;
        Take(below, e * kFanOut, std::min((e + 1) * kFanOut, below.size()), m);
        entries[e] = m;
    }
}

void MinMaxEnvelope::Update(const double* samples, std::size_t first, std::size_t last) {
    if (count_ == 0 || first >= count_ || first > last) return;
    last = std::min(last, count_ - 1);
    std::size_t lo = first / kBlockPoints;
    std::size_t hi = last / kBlockPoints;
    for (std::size_t e = lo; e <= hi; ++e) {
        const std::size_t begin = e * kBlockPoints;
        levels_[0][e] = ScanBlock(samples + begin, std::min(kBlockPoints, count_ - begin));
    }
    for (std::size_t level = 1; level < levels_.size(); ++level) {
        lo /= kFanOut;
        hi /= kFanOut;
        RebuildUpper(level, lo, hi);
    }
}

MinMax MinMaxEnvelope::Range(const double* samples, std::size_t begin, std::size_t end) const {
    MinMax acc;
    end = std::min(end, count_);
    if (begin >= end) return acc;
    // The whole finest entries inside the range; the points before and after
    // them are read one by one (fewer than a block at each end).
    std::size_t a = (begin + kBlockPoints - 1) / kBlockPoints;
    std::size_t b = end == count_ ? levels_[0].size() : end / kBlockPoints;
    if (a >= b) {
        ScanRaw(samples, begin, end, acc);
        return acc;
    }
    ScanRaw(samples, begin, a * kBlockPoints, acc);
    ScanRaw(samples, std::min(b * kBlockPoints, end), end, acc);
    // Climb: at each level take the entries that do not fill a whole entry of
    // the next one, and hand the rest up.
    for (std::size_t level = 0;; ++level) {
        const std::vector<MinMax>& entries = levels_[level];
        if (level + 1 == levels_.size()) {
            Take(entries, a, b, acc);
            break;
        }
        const std::size_t upA = (a + kFanOut - 1) / kFanOut;
        const std::size_t upB = b == entries.size() ? levels_[level + 1].size() : b / kFanOut;
        if (upA >= upB) {
            Take(entries, a, b, acc);
            break;
        }
        Take(entries, a, upA * kFanOut, acc);
        Take(entries, std::min(upB * kFanOut, b), b, acc);
        a = upA;
        b = upB;
    }
    return acc;
}

void MinMaxEnvelope::Columns(const double* samples, std::size_t first, std::size_t last, std::size_t columns,
                             std::vector<double>& out) const {
    out.clear();
    if (columns == 0 || first > last || first >= count_) return;
    out.resize(2 * columns);
    RenewColumns(samples, first, last, columns, 0, columns, out);
}

void MinMaxEnvelope::RenewColumns(const double* samples, std::size_t first, std::size_t last, std::size_t columns,
                                  std::size_t columnBegin, std::size_t columnEnd, std::vector<double>& out) const {
    if (columns == 0 || first > last || first >= count_ || out.size() != 2 * columns) return;
    FillColumns(samples, first, std::min(last, count_ - 1), columns, columnBegin, columnEnd, out,
                [&](std::size_t begin, std::size_t end) { return Range(samples, begin, end); });
}

void MinMaxColumns(const double* samples, std::size_t first, std::size_t last, std::size_t columns,
                   std::vector<double>& out) {
    out.clear();
    if (columns == 0 || first > last) return;
    out.resize(2 * columns);
    FillColumns(samples, first, last, columns, 0, columns, out, [samples](std::size_t begin, std::size_t end) {
        MinMax m;
        ScanRaw(samples, begin, end, m);
        return m;
    });
}

void MinMaxColumnsPart(const double* samples, std::size_t first, std::size_t last, std::size_t columns,
                       std::size_t columnBegin, std::size_t columnEnd, std::vector<double>& out) {
    if (columns == 0 || first > last || out.size() != 2 * columns) return;
    FillColumns(samples, first, last, columns, columnBegin, columnEnd, out,
                [samples](std::size_t begin, std::size_t end) {
                    MinMax m;
                    ScanRaw(samples, begin, end, m);
                    return m;
                });
}

std::size_t MinMaxEnvelope::MemoryBytes() const {
    std::size_t bytes = 0;
    for (const auto& level : levels_) bytes += level.capacity() * sizeof(MinMax);
    return bytes;
}

}  // namespace zorbel
