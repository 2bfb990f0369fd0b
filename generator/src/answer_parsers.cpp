// Number lists and chunked-answer pieces (see answer_parsers.h).
#include "answer_parsers.h"

#include <string>

#include "number_rules.h"

namespace qrv {

namespace {

std::string WithoutBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != ' ') out += c;
    return out;
}

// Takes the text up to the next comma off the front of `rest` and reads it as
// a 32-bit integer; false when there is no comma or no fitting number.
bool TakeIntField(std::string_view& rest, std::int32_t& out) {
    const auto comma = rest.find(',');
    if (comma == std::string_view::npos) return false;
    double value = 0.0;
    if (!TurnStringIntoDouble(WithoutBlanks(rest.substr(0, comma)), value)) return false;
    rest.remove_prefix(comma + 1);
    return TruncateToInt32(value, out);
}

}  // namespace

std::size_t ParseNumberList(std::string_view answer, std::span<double> values) {
    const std::string compact = WithoutBlanks(answer);
    std::string_view text = compact;
    std::size_t count = 0;
    while (!text.empty() && count < values.size()) {
        std::string_view item = text;
        const auto comma = text.find(',');
        if (comma != std::string_view::npos) {
            item = text.substr(0, comma);
            text.remove_prefix(comma + 1);
        } else {
            text = {};
        }
        double value = 0.0;
        if (!TurnStringIntoDouble(item, value)) break;
        values[count++] = value;
    }
    return count;
}

bool TruncateToInt16(double value, std::int16_t& out) {
    // Exclusive bounds one past the range: truncation maps (-32769, 32768) into it.
    if (!(value > -32769.0 && value < 32768.0)) return false;
    out = static_cast<std::int16_t>(value);
    return true;
}

bool TruncateToInt32(double value, std::int32_t& out) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

std::optional<BlockPiece> ParseBlockAnswer(std::string_view rest) {
    BlockPiece piece;
    if (!TakeIntField(rest, piece.total) || !TakeIntField(rest, piece.end) || !TakeIntField(rest, piece.count))
        return std::nullopt;
    const auto open = rest.find('"');
    const auto close = rest.rfind('"');
    if (open == std::string_view::npos || close <= open + 1) return std::nullopt;
    piece.text = rest.substr(open + 1, close - open - 1);
    if (piece.text.size() != static_cast<std::size_t>(piece.count)) return std::nullopt;
    return piece;
}

std::optional<BlockPiece> ParseChunkedPiece(std::string_view answer) {
    const auto comma = answer.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    return ParseBlockAnswer(answer.substr(comma + 1));
}

}  // namespace qrv
