// The chunked read of the catalog and file upload answers: the first piece
// answers the command, further pieces are read one by one until the piece
// ends reach the announced total.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qrv {

// Sends `command` (WriteRead), then reads further pieces (ReadOnly) while the
// last end lies below the total. Every piece after the first must announce the
// same total, an end within it and equal to the previous end plus its count.
// Returns 2 with the pieces' texts joined in `collected`; 0/1 for the link
// (a piece that never comes ends with 1 after the receive time-out); 3 for a
// piece that breaks the rules.
std::uint16_t ReadChunked(std::string_view command, std::string& collected);

}  // namespace qrv
