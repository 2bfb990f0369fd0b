// Chunking of the arbitrary waveform download (see arbitrary_download.h).
#include "arbitrary_download.h"

#include <algorithm>
#include <string>

#include "arbitrary_block.h"
#include "link.h"

namespace qrv::arb {

bool FitsWaveMemory(std::uint64_t address, std::uint64_t length) { return address + length <= kWaveMemoryPoints; }

std::uint16_t DownloadArbitraryData(const DownloadRequest& request, const PacketSender& send) {
    const std::uint32_t total = request.totalPoints;
    const std::uint32_t first = request.first;
    std::uint32_t count = request.count;
    if (!IsGainCode(request.gain) || total > kWaveMemoryPoints || count > total || first > total ||
        !FitsWaveMemory(first, count))
        return kStatusRejected;
    if (static_cast<std::uint64_t>(first) + count > total) count = total - first;
    // Without samples only an empty download can be sent.
    if (request.samplesVolts == nullptr && count > 0) return kStatusRejected;

    // One buffer for all packets: the largest packet is well below kMaxBufLen.
    std::string packet;
    packet.reserve(kMaxBufLen);
    std::uint32_t sent = 0;
    int result = kExchangeDone;
    do {
        const std::uint32_t chunk = std::min(kMaxChunkPoints, count - sent);
        const std::uint32_t start = first + sent;
        const double* samples = chunk > 0 ? request.samplesVolts + start : nullptr;
        BuildDac16Packet(packet, request.channel, total, start + chunk, samples, chunk, request.gain);
        result = send(packet);
        sent += chunk;
    } while (result == kExchangeDone && sent < count);
    return result == kExchangeDone ? kStatusOk : FailureStatus(result);
}

}  // namespace qrv::arb
