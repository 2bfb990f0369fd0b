// The chunked read of the catalog and file upload answers: the first piece
// answers the command, further pieces are read one by one until the piece
// ends reach the announced total.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qrv {

// Largest total a chunked answer may announce, characters: 64 MiB. The
// library collects the whole answer before the caller gets it (and the
// caller keeps a copy), so without a bound a faulty instrument could make it
// grow until memory runs out. 64 MiB is far above any listing or stored file
// of the instrument and still fits twice in a desktop's memory; with pieces
// of at most one answer buffer (10255 bytes) it takes over 6500 exchanges.
inline constexpr std::int32_t kMaxChunkedTotal = 64 * 1024 * 1024;

// Sends `command` (WriteRead), then reads further pieces (ReadOnly) while the
// last end lies below the total. Every piece after the first must announce the
// same total, an end within it and equal to the previous end plus its count.
// Returns 2 with the pieces' texts joined in `collected`; 0/1 for the link
// (a piece that never comes ends with 1 after the receive time-out, and a
// first piece announcing more than kMaxChunkedTotal with 1 before any more
// is read); 3 for a piece that breaks the rules.
std::uint16_t ReadChunked(std::string_view command, std::string& collected);

}  // namespace qrv
