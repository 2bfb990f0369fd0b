// The library's copy of the instrument's system parameter block: one length
// byte followed by the data area, in a 65535-byte image. Data byte i lies at
// image position i + 1. Every access is bounded by the image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "protocol_table.h"

namespace qmk {

class ParameterImage {
public:
    static constexpr std::size_t kImageSize = 65535;              // bytes, length byte included
    static constexpr std::size_t kDataCapacity = kImageSize - 1;  // bytes of the data area
    // The write frame's one-byte length field (count + 2) limits a block to this.
    static constexpr std::size_t kMaxWritableBlock = 253;

    // All zero, as at load.
    void Clear();

    // Takes a block read from the instrument: `blockLength` data bytes as the
    // reply announced them (N - 2), the length byte := blockLength mod 256, and
    // `source` copied to the data area (cut to its capacity).
    void StoreBlock(std::size_t blockLength, std::span<const std::uint8_t> source);

    std::uint8_t LengthByte() const { return bytes_[0]; }
    // Data bytes of the block last read, without the modulo of the length byte.
    std::size_t BlockLength() const { return blockLength_; }
    std::span<const std::uint8_t> DataBytes(std::size_t count) const;

    // The bytes of a table field, or nullopt when the field does not lie
    // inside the data area.
    std::optional<std::span<std::uint8_t>> Field(const ProtocolEntry& entry);

    // Position 0 (length byte) onwards, for tests and diagnostics.
    std::span<const std::uint8_t> Raw() const { return bytes_; }

private:
    std::array<std::uint8_t, kImageSize> bytes_{};
    std::size_t blockLength_ = 0;
};

}  // namespace qmk
