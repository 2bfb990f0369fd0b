// Keeps C++ exceptions (std::bad_alloc from a command text, say) from
// crossing the library's C boundary: every export runs its body through
// NoThrow and reports an exception as a failed exchange.
#pragma once

#include "link.h"

#include <cstdint>
#include <utility>

namespace qrv {

template <class Body>
std::uint16_t NoThrow(Body&& body, std::uint16_t onException = kStatusFailed) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return onException;
    }
}

}  // namespace qrv
