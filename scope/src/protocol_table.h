// The field tables the instrument supplies ("/protocol.inf",
// "/keyprotocol.inf"): names and sizes of the fields of its system parameter
// block, in block order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qmk {

struct ProtocolEntry {
    std::string name;         // key string, 8-bit text
    std::uint16_t size = 0;   // bytes of the field
    std::uint32_t index = 0;  // position within the table text it came from, from 0
    std::uint32_t end = 0;    // running sum of sizes: the field is data bytes end - size .. end - 1
};

using ProtocolTable = std::vector<ProtocolEntry>;

// Parses a table text and appends its entries; returns how many were added.
// Shape: ... TOTAL] <total> [START] [NAME] <size> [NAME] <size> [ ...
// Entries are read until their sizes reach the total; a size counts only when
// another "[" follows it. The text ends at its first NUL or at its end, so an
// unterminated text is never read past. A total or size that does not fit
// (total above 2^31 - 1, size above 65535) ends the parse at that point.
std::size_t ParseTableText(std::string_view text, ProtocolTable& table);

// First entry whose name equals `key` byte for byte, or null.
const ProtocolEntry* FindEntry(const ProtocolTable& table, std::string_view key);

}  // namespace qmk
