// Parsers for the generator's composite answers: comma-separated number lists
// (calibration and clock queries) and the pieces of chunked answers (catalog
// and file upload). Pure functions, no link traffic, so they are tested alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qrv {

// Removes every blank (space) from `answer`, then reads comma-separated items
// by the instrument's number rules into `values`, at most values.size() of
// them. Stops at the first item that is not a number (an empty item included).
// Returns how many values were stored; later positions are left untouched.
std::size_t ParseNumberList(std::string_view answer, std::span<double> values);

// Truncation toward zero into a fixed-width integer. False (and `out`
// untouched) when the value does not fit: a cast would be undefined behaviour.
bool TruncateToInt16(double value, std::int16_t& out);
bool TruncateToInt32(double value, std::int32_t& out);

// One piece of a chunked answer.
struct BlockPiece {
    std::int32_t total = 0;  // characters of the whole answer
    std::int32_t end = 0;    // index just after this piece's last character
    std::int32_t count = 0;  // characters in this piece
    std::string_view text;   // the piece's characters, a view into the parsed answer
};

// Parses `total,end,count,"text"` (a piece without its leading field). Each
// number is the text up to the next comma with blanks removed, by the number
// rules, truncated to 32 bits; the text lies between the first and the last
// double quote that follow, holds at least one character and exactly `count`.
std::optional<BlockPiece> ParseBlockAnswer(std::string_view rest);

// A whole piece as the instrument sends it: drops the leading field (up to and
// including the first comma; its meaning is the instrument's own), then
// ParseBlockAnswer. No comma at all fails.
std::optional<BlockPiece> ParseChunkedPiece(std::string_view answer);

}  // namespace qrv
