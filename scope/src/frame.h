// The oscilloscope's frame format, shared by the library and the simulator:
//   "S", N (16-bit LE), code, data (N - 2 bytes), checksum
// N counts the bytes after the length field, checksum included; the checksum
// is the low byte of the sum of all bytes before it. A reply carries its
// request's code with bit 7 set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qmk {

using Bytes = std::vector<std::uint8_t>;

// Largest transfer on the read pipe, in bytes.
inline constexpr std::size_t kMaxTransfer = 65535;

inline constexpr std::uint8_t kFrameStart = 0x53;  // 'S'
inline constexpr std::size_t kHeaderSize = 4;      // start, N (2), code
inline constexpr std::uint8_t kReplyBit = 0x80;

// Request codes (reply code = request code | kReplyBit).
inline constexpr std::uint8_t kCodeSync = 0x00;
inline constexpr std::uint8_t kCodeReadBlock = 0x01;
inline constexpr std::uint8_t kCodeCapture = 0x02;
inline constexpr std::uint8_t kCodeReadFile = 0x10;
inline constexpr std::uint8_t kCodeWriteBlock = 0x11;
inline constexpr std::uint8_t kCodeControl = 0x12;  // sub 0x00 run/stop, 0x01 key lock
inline constexpr std::uint8_t kCodeAutoset = 0x13;
inline constexpr std::uint8_t kCodeMeasure = 0x22;

// Table requests end in this fixed byte instead of a checksum.
inline constexpr std::uint8_t kFileRequestTrailer = 0x66;

// Low 8 bits of the sum of `bytes`.
std::uint8_t Checksum(std::span<const std::uint8_t> bytes);

// A complete frame: start byte, length, code, data, checksum.
Bytes BuildFrame(std::uint8_t code, std::span<const std::uint8_t> data);

// A received frame that passed the length and checksum test.
struct FrameView {
    std::span<const std::uint8_t> bytes;  // all L bytes received
    std::uint16_t n = 0;                  // length field
    std::uint8_t code = 0;

    // Byte at `offset` when it lies in the data area (before the checksum).
    std::optional<std::uint8_t> DataByte(std::size_t offset) const;
    // The data area: bytes 4 .. N + 1.
    std::span<const std::uint8_t> Data() const { return bytes.subspan(kHeaderSize, n - 2u); }
};

// Length and checksum test of L received bytes: L >= N + 3 and the byte at
// N + 2 equals the low byte of the sum of the first L - 1 bytes (trailing bytes
// after a frame take part in the sum, as the instrument's own check does).
// Frames too short to hold a code (L < 4 or N < 2) are refused.
std::optional<FrameView> CheckFrame(std::span<const std::uint8_t> received);

// CheckFrame plus the expected reply code.
std::optional<FrameView> AcceptReply(std::span<const std::uint8_t> received, std::uint8_t expectedCode);

}  // namespace qmk
