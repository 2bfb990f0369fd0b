// Process-wide state of the oscilloscope library (see scope_state.h).
#include "scope_state.h"

#include <chrono>
#include <random>

namespace qmk {

ScopeState& State() {
    static ScopeState state;
    return state;
}

std::uint16_t RandomSequence() {
    std::uint32_t seed = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        seed ^= std::random_device{}();
    } catch (...) {
        // No entropy source: the clock alone is random enough for a handshake.
    }
    std::minstd_rand generator(seed);
    return static_cast<std::uint16_t>(generator() & 0xFFFF);
}

}  // namespace qmk
