// Chunking of the arbitrary waveform download (see arbitrary_download.h).
#include "arbitrary_download.h"

#include <algorithm>
#include <array>
#include <string>

#include "arbitrary_block.h"
#include "link.h"

namespace qrv::arb {

bool FitsWaveMemory(std::uint64_t address, std::uint64_t length) { return address + length <= kWaveMemoryPoints; }

std::uint16_t DownloadArbitraryData(const DownloadRequest& request, const PacketBatchSender& send) {
    const std::uint32_t total = request.totalPoints;
    const std::uint32_t first = request.first;
    std::uint32_t count = request.count;
    if (!IsGainCode(request.gain) || total > kWaveMemoryPoints || count > total || first > total ||
        !FitsWaveMemory(first, count))
        return kStatusRejected;
    if (static_cast<std::uint64_t>(first) + count > total) count = total - first;
    // Without samples only an empty download can be sent.
    if (request.samplesVolts == nullptr && count > 0) return kStatusRejected;

    // One buffer per packet of a batch, kept for all batches: the largest
    // packet is well below kMaxBufLen.
    std::array<std::string, kPacketsPerBatch> buffers;
    for (std::string& b : buffers) b.reserve(kMaxBufLen);
    std::array<std::string_view, kPacketsPerBatch> batch;
    std::uint32_t sent = 0;
    int result = kExchangeDone;
    do {
        std::size_t n = 0;
        do {
            const std::uint32_t chunk = std::min(kMaxChunkPoints, count - sent);
            const std::uint32_t start = first + sent;
            const double* samples = chunk > 0 ? request.samplesVolts + start : nullptr;
            BuildDac16Packet(buffers[n], request.channel, total, start + chunk, samples, chunk, request.gain);
            batch[n] = buffers[n];
            ++n;
            sent += chunk;
        } while (n < kPacketsPerBatch && sent < count);
        result = send(std::span<const std::string_view>(batch.data(), n));
    } while (result == kExchangeDone && sent < count);
    return result == kExchangeDone ? kStatusOk : FailureStatus(result);
}

std::uint16_t DownloadArbitraryData(const DownloadRequest& request, const PacketSender& send) {
    return DownloadArbitraryData(request, [&send](std::span<const std::string_view> packets) {
        int result = kExchangeDone;
        for (std::string_view packet : packets) {
            result = send(packet);
            if (result != kExchangeDone) break;
        }
        return result;
    });
}

}  // namespace qrv::arb
