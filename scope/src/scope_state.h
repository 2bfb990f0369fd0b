// The library's process-wide state and the guard every export runs in.
#pragma once

#include <cstdint>
#include <mutex>

#include "parameter_image.h"
#include "protocol_table.h"

namespace qmk {

struct ScopeState {
    // Serialises the exports: the state has one owner at a time even when a
    // caller forgets to keep its calls on one thread.
    std::mutex lock;
    ParameterImage image;
    ProtocolTable protocol;      // consulted by every key lookup
    ProtocolTable keyProtocol;   // loaded and emptied, not consulted
    std::uint16_t sequence = 0;  // sync sequence number, 0 at load
};

ScopeState& State();

// A new pseudo-random sequence number.
std::uint16_t RandomSequence();

// Runs `body(state)` under the library lock; any C++ exception becomes
// `failure`, so none crosses the C interface.
template <typename Result, typename Body>
Result Serialised(Result failure, Body&& body) noexcept {
    try {
        ScopeState& state = State();
        std::lock_guard<std::mutex> guard(state.lock);
        return body(state);
    } catch (...) {
        return failure;
    }
}

}  // namespace qmk
