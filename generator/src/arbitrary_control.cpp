// Divider/points search and gain choice for arbitrary waveforms, and the four
// exports that compute without talking to the instrument.
#include "arbitrary_control.h"

#include <cmath>
#include <limits>
#include <utility>

namespace qrv::arb {

namespace {

// Largest point count a candidate can carry: the biggest multiple of 16 in 32 bits.
constexpr double kMaxCandidatePoints =
    static_cast<double>(std::numeric_limits<std::uint32_t>::max() / kPointStep * kPointStep);

// One record; resulting frequency and error are +inf for 0 points (IEEE
// division), which keeps such candidates last in every comparison of errors.
ArbitraryControl MakeCandidate(unsigned divider, double frequencyHz, double clockHz, double points) {
    ArbitraryControl c{};
    c.divider = static_cast<std::int16_t>(divider);
    c.requestedFrequency = frequencyHz;
    c.resultingFrequency = clockHz / points;
    c.points = static_cast<std::uint32_t>(points);
    c.error = c.resultingFrequency / frequencyHz - 1.0;
    return c;
}

}  // namespace

double SampleClockHz(unsigned divider) { return divider == 0 ? kMasterClockHz : kMasterClockHz / (4.0 * divider); }

std::uint32_t BuildCandidateTable(ArbitraryControl* table, std::uint32_t capacity, double frequencyHz) {
    std::uint32_t count = 0;
    if (table == nullptr || capacity == 0 || !(frequencyHz > 0.0)) return 0;
    for (unsigned divider = 0; divider < kSearchDividers; ++divider) {
        const double clockHz = SampleClockHz(divider);
        const double exactPoints = clockHz / frequencyHz;
        const double below = std::trunc(exactPoints / kPointStep) * kPointStep;
        if (below > kMaxCandidatePoints) continue;  // cannot be stored as a point count
        table[count++] = MakeCandidate(divider, frequencyHz, clockHz, below);
        if (count == capacity) break;
        const double above = below + kPointStep;
        if (exactPoints > below && above <= kMaxCandidatePoints) {
            table[count++] = MakeCandidate(divider, frequencyHz, clockHz, above);
            if (count == capacity) break;
        }
    }
    return count;
}

bool ChooseBestCandidate(ArbitraryControl& best, double frequencyHz, std::uint32_t lo, std::uint32_t hi) {
    // Local storage on purpose: the program calls this while the user drags a
    // frequency control, and it must not touch the heap.
    ArbitraryControl table[kCandidateCapacity];
    const std::uint32_t count = BuildCandidateTable(table, kCandidateCapacity, frequencyHz);
    if (count == 0) return false;

    // Exchange sort by points, ascending. Its handling of equal point counts
    // (which divider ends up last among equals) decides which record the scan
    // below meets first, so it is kept exactly rather than replaced by std::sort.
    for (std::uint32_t p = 0; p + 1 < count; ++p)
        for (std::uint32_t q = p + 1; q < count; ++q)
            if (table[p].points > table[q].points) std::swap(table[p], table[q]);

    // Highest point count that fits lo..hi (position 0 is the fallback when none does).
    std::uint32_t chosen = 0;
    for (std::uint32_t i = count - 1; i >= 1; --i) {
        if (table[i].points >= lo && table[i].points <= hi) {
            chosen = i;
            break;
        }
    }

    // Same clock, the other rounding of the points when it is closer to f,
    // even if that neighbour lies outside lo..hi.
    for (std::uint32_t i = 0; i < count; ++i) {
        if (table[i].divider == table[chosen].divider && std::fabs(table[i].error) < std::fabs(table[chosen].error)) {
            chosen = i;
            break;
        }
    }
    best = table[chosen];
    return true;
}

std::uint16_t GainForExtremes(double maximumVolts, double minimumVolts) {
    if (std::fabs(maximumVolts) > 2.5 || std::fabs(minimumVolts) > 2.5) return 20;
    if (std::fabs(maximumVolts) > 0.625 || std::fabs(minimumVolts) > 0.625) return 4;
    return 1;
}

}  // namespace qrv::arb

using namespace qrv::arb;

extern "C" {

QRV_API uint16_t qmkHDGetWholeArbitraryControlFromFreq(ArbitraryControl* table, uint32_t capacity, uint32_t* count,
                                                       double frequency) {
    // Nothing to write into (or nowhere to report the count) is treated like an
    // unusable frequency rather than written past.
    if (!(frequency > 0.0) || table == nullptr || capacity == 0 || count == nullptr) return 0;
    *count = BuildCandidateTable(table, capacity, frequency);
    return 1;
}

QRV_API uint16_t qmkHDGetBestArbitraryControlFromFreq(ArbitraryControl* best, double frequency, uint32_t minimumPoints,
                                                      uint32_t maximumPoints) {
    if (best == nullptr) return 0;
    return ChooseBestCandidate(*best, frequency, minimumPoints, maximumPoints) ? 1 : 0;
}

QRV_API uint16_t qmkHDGetArbFrequency(double* frequency, uint32_t points, uint16_t divider) {
    if (divider > kMaxDivider || frequency == nullptr) return 0;
    *frequency = SampleClockHz(divider) / static_cast<double>(points);  // 0 points: +inf
    return 1;
}

QRV_API uint16_t qmkHDGetZoomFromData(double maximum, double minimum) { return GainForExtremes(maximum, minimum); }

}  // extern "C"
