// The chunked download of an arbitrary waveform into the instrument's waveform
// memory, independent of the link: packets go to a sender, so the same loop
// serves USB, LAN and the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

namespace qrv::arb {

// One call of the data download: `count` points of the waveform `samplesVolts`
// (`totalPoints` long), from index `first` on, as codes of gain `gain`.
struct DownloadRequest {
    std::uint16_t channel = 0;  // 0-based; packets carry channel + 1
    const double* samplesVolts = nullptr;
    std::uint32_t totalPoints = 0;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    std::uint16_t gain = 1;  // 1, 4 or 20
};

// Sends one packet by its exact length (it contains NUL bytes) and returns a
// SendCommand result: -1 link not available, 0 failed, 1 sent.
using PacketSender = std::function<int(std::string_view packet)>;
// Sends packets in order, each by its exact length, and stops at the first
// that fails; returns the result of the last one it tried, as PacketSender.
using PacketBatchSender = std::function<int(std::span<const std::string_view> packets)>;

// Packets handed to a batch sender at once: over the LAN one system call
// sends them all, which costs the instrument nothing and the host far less
// than one call per packet.
inline constexpr std::size_t kPacketsPerBatch = 32;

// True when [address, address + length) lies in the waveform memory (computed
// without 32-bit wrap-around).
bool FitsWaveMemory(std::uint64_t address, std::uint64_t length);

// Rejects (status 3, nothing sent) a gain other than 1/4/20, a waveform longer
// than the memory, first or count beyond the waveform, first + count beyond
// the memory, and missing samples. A count reaching past the end of the
// waveform is cut to it. Sends packets of at most 960 points, one packet even
// for 0 points, and stops at the first send that fails. Returns the status of
// the last send: 0 no link, 1 failed, 2 sent. Packets sent before a failure
// stay in the instrument.
std::uint16_t DownloadArbitraryData(const DownloadRequest& request, const PacketBatchSender& send);
// The same, one packet at a time.
std::uint16_t DownloadArbitraryData(const DownloadRequest& request, const PacketSender& send);

}  // namespace qrv::arb
