// Catalog lines into CatalogEntry records (see memory_catalog.h).
#include "memory_catalog.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "number_rules.h"

namespace qrv {

namespace {

// Copies as much of `text` as fits into field[0..size-1] and ends it with a
// NUL; returns the characters copied. Nothing is written past `size`.
template <std::size_t size>
std::int32_t CopyCut(char (&field)[size], std::string_view text) {
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
    return static_cast<std::int32_t>(n);
}

// A size beyond 32 bits saturates rather than wrapping (a cast would be undefined).
std::int32_t SizeOf(std::string_view text) {
    double value = 0.0;
    if (text.empty() || !TurnStringIntoDouble(text, value)) return 0;
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(std::clamp(std::trunc(value), kMin, kMax));
}

void FillEntry(CatalogEntry& entry, std::string_view line, std::string_view directory, std::int32_t tag) {
    CopyCut(entry.directory, directory);
    entry.tag = tag;
    const auto first = line.find(',');
    if (first == std::string_view::npos) return;
    entry.nameLength = CopyCut(entry.name, line.substr(0, first));
    if (first == 0) return;
    const auto second = line.find(',', first + 1);
    if (second == std::string_view::npos) return;
    const std::string_view kind = line.substr(first + 1, second - first - 1);
    if (kind == "DIR")
        entry.kind = 1;
    else if (kind == "FILE")
        entry.kind = 2;
    entry.size = SizeOf(line.substr(second + 1));
}

}  // namespace

CatalogSplit SplitCatalog(std::string_view text, std::string_view directory, std::int32_t tag, CatalogEntry* entries,
                          std::uint32_t maximum) {
    CatalogSplit result;
    while (!text.empty() && result.entries < maximum) {
        std::string_view line = text;
        const auto lf = text.find('\n');
        if (lf == std::string_view::npos) {
            // The last line lacks its line feed: reported, yet taken once.
            ++result.untranslatable;
            text = {};
        } else {
            if (lf == 0) ++result.untranslatable;
            line = text.substr(0, lf);
            text.remove_prefix(lf + 1);
        }
        FillEntry(entries[result.entries++], line, directory, tag);
    }
    return result;
}

}  // namespace qrv
