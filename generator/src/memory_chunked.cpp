// Chunked answers over either link (see memory_chunked.h).
#include "memory_chunked.h"

#include "answer_parsers.h"
#include "link.h"

namespace qrv {

std::uint16_t ReadChunked(std::string_view command, std::string& collected) {
    collected.clear();
    std::string answer;
    int sent = SendCommand(command, answer, static_cast<std::uint32_t>(ExchangeMode::WriteRead));
    if (sent != kExchangeDone) return FailureStatus(sent);
    auto piece = ParseChunkedPiece(answer);
    if (!piece) return kStatusRejected;
    const std::int32_t total = piece->total;
    // Beyond anything the caller could hold: the exchange fails as a whole.
    if (total > kMaxChunkedTotal) return kStatusFailed;
    std::int32_t end = piece->end;
    collected.assign(piece->text);
    // Each further piece moves `end` forward by at least one character and
    // never past `total`, so the loop ends; a silent instrument ends it by
    // the link's receive time-out.
    while (end < total) {
        answer.clear();
        sent = SendCommand({}, answer, static_cast<std::uint32_t>(ExchangeMode::ReadOnly));
        if (sent != kExchangeDone) return FailureStatus(sent);
        piece = ParseChunkedPiece(answer);
        if (!piece || piece->total != total || piece->end > total ||
            static_cast<std::int64_t>(piece->end) != static_cast<std::int64_t>(end) + piece->count)
            return kStatusRejected;
        collected.append(piece->text);
        end = piece->end;
    }
    return kStatusOk;
}

}  // namespace qrv
