// Field access by key on the parameter image, shared by the key functions and
// the field setters (measurement items, time base, trigger time).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "scope_state.h"

namespace qmk {

// The key of an export: the first `keyLength` bytes of `key`; nullopt when the
// length is not positive or the pointer is null.
std::optional<std::string_view> KeyArgument(const char* key, std::int32_t keyLength);

// Stores `value` into the field of `key` when the field has exactly that size
// and lies inside the image; pauses 100 ms after a successful store.
bool StoreKeyValue(ScopeState& state, std::string_view key, std::span<const std::uint8_t> value);

// The field of `key` when the key is known and the field has at least
// `minimumSize` bytes inside the image.
std::optional<std::span<std::uint8_t>> FieldOfKey(ScopeState& state, std::string_view key, std::size_t minimumSize = 0);

}  // namespace qmk
