// The generator's composite answers: comma-separated number lists
// (calibration and clock queries) and the pieces of chunked answers (catalog
// and file upload), exactly as they arrive from the instrument.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "answer_parsers.h"
#include "fuzz_check.h"
#include "number_rules.h"

namespace {

constexpr double kUntouched = -12345.5;

void CheckNumberList(std::string_view answer, std::size_t capacity) {
    std::array<double, 16> values;
    values.fill(kUntouched);
    const std::size_t count = qrv::ParseNumberList(answer, std::span<double>(values.data(), capacity));
    FUZZ_CHECK(count <= capacity);
    for (std::size_t i = count; i < values.size(); ++i) FUZZ_CHECK(values[i] == kUntouched);
    // Without blanks, the i-th stored value is the i-th comma-separated item by the number rules.
    std::string compact;
    for (char c : answer)
        if (c != ' ') compact += c;
    std::string_view rest = compact;
    for (std::size_t i = 0; i < count; ++i) {
        const auto comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        double expected = 0.0;
        FUZZ_CHECK(qrv::TurnStringIntoDouble(item, expected));
        FUZZ_CHECK(std::memcmp(&expected, &values[i], sizeof expected) == 0);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
}

void CheckPiece(std::string_view answer) {
    const auto piece = qrv::ParseChunkedPiece(answer);
    const auto comma = answer.find(',');
    if (comma == std::string_view::npos) {
        FUZZ_CHECK(!piece);
        return;
    }
    const auto rest = answer.substr(comma + 1);
    const auto direct = qrv::ParseBlockAnswer(rest);
    FUZZ_CHECK(piece.has_value() == direct.has_value());
    if (!piece) return;
    // The text is a non-empty view into the answer, between double quotes, of exactly `count` characters.
    FUZZ_CHECK(piece->count >= 1);
    FUZZ_CHECK(piece->text.size() == static_cast<std::size_t>(piece->count));
    FUZZ_CHECK(piece->text.data() > rest.data() && piece->text.data() + piece->text.size() < rest.data() + rest.size());
    FUZZ_CHECK(piece->text.data()[-1] == '"' && piece->text.data()[piece->text.size()] == '"');
    FUZZ_CHECK(piece->total == direct->total && piece->end == direct->end && piece->text == direct->text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte chooses how many values the caller has room for (0..16).
    const std::size_t capacity = data[0] % 17;
    const std::string_view answer(reinterpret_cast<const char*>(data + 1), size - 1);
    CheckNumberList(answer, capacity);
    CheckPiece(answer);
    return 0;
}
