// Bounded access to the parameter image (see parameter_image.h).
#include "parameter_image.h"

#include <algorithm>

namespace qmk {

void ParameterImage::Clear() {
    bytes_.fill(0);
    blockLength_ = 0;
}

void ParameterImage::StoreBlock(std::size_t blockLength, std::span<const std::uint8_t> source) {
    blockLength_ = blockLength;
    bytes_[0] = static_cast<std::uint8_t>(blockLength & 0xFF);
    const std::size_t count = std::min(source.size(), kDataCapacity);
    std::copy_n(source.begin(), count, bytes_.begin() + 1);
}

std::span<const std::uint8_t> ParameterImage::DataBytes(std::size_t count) const {
    return std::span<const std::uint8_t>(bytes_).subspan(1, std::min(count, kDataCapacity));
}

std::optional<std::span<std::uint8_t>> ParameterImage::Field(const ProtocolEntry& entry) {
    if (entry.end > kDataCapacity || entry.size > entry.end) return std::nullopt;
    return std::span<std::uint8_t>(bytes_).subspan(1 + entry.end - entry.size, entry.size);
}

}  // namespace qmk
