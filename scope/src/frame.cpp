// Frame building and the reply acceptance rule (see frame.h).
#include "frame.h"

#include <numeric>

namespace qmk {

std::uint8_t Checksum(std::span<const std::uint8_t> bytes) {
    // Unsigned wrap-around keeps exactly the low 8 bits the instrument compares.
    return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

Bytes BuildFrame(std::uint8_t code, std::span<const std::uint8_t> data) {
    const std::size_t n = data.size() + 2;  // code + data + checksum
    Bytes frame;
    frame.reserve(n + 3);
    frame.push_back(kFrameStart);
    frame.push_back(static_cast<std::uint8_t>(n & 0xFF));
    frame.push_back(static_cast<std::uint8_t>((n >> 8) & 0xFF));
    frame.push_back(code);
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(Checksum(frame));
    return frame;
}

std::optional<std::uint8_t> FrameView::DataByte(std::size_t offset) const {
    if (offset < kHeaderSize || offset > static_cast<std::size_t>(n) + 1) return std::nullopt;
    return bytes[offset];
}

std::optional<FrameView> CheckFrame(std::span<const std::uint8_t> received) {
    const std::size_t length = received.size();
    if (length < kHeaderSize) return std::nullopt;
    const std::uint16_t n = static_cast<std::uint16_t>(received[1] | (received[2] << 8));
    if (n < 2 || length < static_cast<std::size_t>(n) + 3) return std::nullopt;
    if (received[n + 2u] != Checksum(received.first(length - 1))) return std::nullopt;
    return FrameView{received, n, received[3]};
}

std::optional<FrameView> AcceptReply(std::span<const std::uint8_t> received, std::uint8_t expectedCode) {
    auto frame = CheckFrame(received);
    if (!frame || frame->code != expectedCode) return std::nullopt;
    return frame;
}

}  // namespace qmk
