// Small helpers shared by the device-memory exports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qrv {

// `verb "a"` or `verb "a","b"`: the names between double quotes, as the
// instrument expects them.
std::string QuotedCommand(std::string_view verb, std::string_view name);
std::string QuotedCommand(std::string_view verb, std::string_view first, std::string_view second);

// A command whose answer is not examined but must arrive: 2 when it did.
std::uint16_t SendExpectingAnswer(std::string_view command);

}  // namespace qrv
