// Sample-clock arithmetic of arbitrary waveforms: which divider and how many
// points per period give a wanted output frequency, and which gain fits the
// samples. Pure functions, no instrument traffic, no shared state: the program
// calls them from its user-interface thread while an exchange runs elsewhere.
#pragma once

#include <cstdint>

#include "QRVHardDll.h"

namespace qrv::arb {

// Master clock of the waveform memory, Hz (divider 0).
inline constexpr double kMasterClockHz = 250'000'000.0;
// Largest divider the instrument takes; the candidate search stops at 249.
inline constexpr unsigned kMaxDivider = 250;
inline constexpr unsigned kSearchDividers = 250;  // dividers 0..249
// Points per period are whole multiples of this.
inline constexpr std::uint32_t kPointStep = 16;
// Capacity of the best-candidate search's table: twice the dividers suffices.
inline constexpr std::uint32_t kCandidateCapacity = 1000;

// Sample clock, Hz: 250 MHz for divider 0, else 250 MHz / (4 x divider).
double SampleClockHz(unsigned divider);

// Fills `table` (capacity > 0) with the candidates for `frequencyHz` in divider
// order: for each divider the multiple of 16 at or below clock/f and, when
// clock/f is not a whole multiple, the next one up. Stops when the table is
// full. A candidate whose points do not fit 32 bits (only for frequencies far
// below a hertz) is left out. Returns the number written.
std::uint32_t BuildCandidateTable(ArbitraryControl* table, std::uint32_t capacity, double frequencyHz);

// The best candidate for `frequencyHz` with lo <= points <= hi where possible
// (see the .cpp for the exact order of choices). False when frequencyHz is not
// above 0 or no candidate exists; `best` is then untouched. Allocation-free.
bool ChooseBestCandidate(ArbitraryControl& best, double frequencyHz, std::uint32_t lo, std::uint32_t hi);

// Gain code 1, 4 or 20 whose full scale (+-0.625 V x gain) holds both extremes.
std::uint16_t GainForExtremes(double maximumVolts, double minimumVolts);

}  // namespace qrv::arb
