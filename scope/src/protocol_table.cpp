// Table text parsing and key lookup (see protocol_table.h).
#include "protocol_table.h"

#include <cstdint>
#include <limits>
#include <optional>

#include "zorbel/numbers.h"

namespace qmk {

namespace {

constexpr auto npos = std::string_view::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The number at the start of `field` after leading blanks: its decimal digits
// up to the first other character, 0 when there are none, nullopt when the
// digits exceed `limit`.
std::optional<long long> LeadingNumber(std::string_view field, long long limit) {
    std::size_t start = 0;
    while (start < field.size() && IsBlank(field[start])) ++start;
    std::size_t stop = start;
    while (stop < field.size() && field[stop] >= '0' && field[stop] <= '9') ++stop;
    if (stop == start) return 0;
    long long value = 0;
    if (!zorbel::parseInt(field.substr(start, stop - start), value) || value > limit) return std::nullopt;
    return value;
}

}  // namespace

std::size_t ParseTableText(std::string_view text, ProtocolTable& table) {
    text = text.substr(0, text.find('\0'));
    const std::size_t total_at = text.find("TOTAL");
    if (total_at == npos) return 0;
    const std::size_t close = text.find(']', total_at);
    const std::size_t open = text.find('[', total_at);
    if (close == npos || open == npos || open < close) return 0;
    const auto total =
        LeadingNumber(text.substr(close + 1, open - close - 1), std::numeric_limits<std::int32_t>::max());
    if (!total || *total <= 0) return 0;

    // Skip the bracketed name after the total ("START"); it only marks the start.
    const std::size_t first = text.find('[', open + 1);
    if (first == npos) return 0;
    std::size_t cursor = first + 1;

    std::size_t added = 0;
    long long sum = 0;
    while (sum < *total) {
        const std::size_t name_end = text.find(']', cursor);
        if (name_end == npos) break;
        const std::size_t next = text.find('[', name_end + 1);
        if (next == npos) break;
        const auto size =
            LeadingNumber(text.substr(name_end + 1, next - name_end - 1), std::numeric_limits<std::uint16_t>::max());
        if (!size) break;
        sum += *size;
        table.push_back(ProtocolEntry{std::string(text.substr(cursor, name_end - cursor)),
                                      static_cast<std::uint16_t>(*size), static_cast<std::uint32_t>(added),
                                      static_cast<std::uint32_t>(sum)});
        ++added;
        cursor = next + 1;
    }
    return added;
}

const ProtocolEntry* FindEntry(const ProtocolTable& table, std::string_view key) {
    for (const ProtocolEntry& entry : table)
        if (entry.name == key) return &entry;
    return nullptr;
}

}  // namespace qmk
