// Field access by key (see fields.h).
#include "fields.h"

#include <algorithm>

#include "pause.h"

namespace qmk {

namespace {

// The instrument's firmware reads the image only after this settling time.
constexpr std::chrono::milliseconds kStorePause{100};

}  // namespace

std::optional<std::string_view> KeyArgument(const char* key, std::int32_t keyLength) {
    if (!key || keyLength <= 0) return std::nullopt;
    return std::string_view(key, static_cast<std::size_t>(keyLength));
}

std::optional<std::span<std::uint8_t>> FieldOfKey(ScopeState& state, std::string_view key, std::size_t minimumSize) {
    const ProtocolEntry* entry = FindEntry(state.protocol, key);
    if (!entry) return std::nullopt;
    auto field = state.image.Field(*entry);
    if (!field || field->size() < minimumSize) return std::nullopt;
    return field;
}

bool StoreKeyValue(ScopeState& state, std::string_view key, std::span<const std::uint8_t> value) {
    const ProtocolEntry* entry = FindEntry(state.protocol, key);
    if (!entry || entry->size != value.size()) return false;
    auto field = state.image.Field(*entry);
    if (!field) return false;
    std::copy(value.begin(), value.end(), field->begin());
    Pause(kStorePause);
    return true;
}

}  // namespace qmk
