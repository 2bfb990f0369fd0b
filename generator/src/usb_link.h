// The USB link: USBTMC-style packet framing (12-byte headers, tags, read
// requests) over whichever device usb_device.h opens. Holds no state between
// exchanges: every exchange opens the device, starts with tag 0 and closes.
#pragma once

#include "transport.h"
#include "usb_device.h"

#include <array>
#include <cstdint>

namespace qrv {

inline constexpr std::size_t kUsbHeaderSize = 12;

// Message types of byte 0 of the header.
inline constexpr std::uint8_t kUsbCommandPacket = 1;  // host to instrument, with payload
inline constexpr std::uint8_t kUsbReadRequest = 2;    // host asks for one answer

using UsbHeader = std::array<std::uint8_t, kUsbHeaderSize>;

// Header of a command packet (payload length, end-of-message flag 1) or of a
// read request (requested length, flag 0); multi-byte fields little-endian.
UsbHeader MakeUsbHeader(std::uint8_t type, std::uint8_t tag, std::uint32_t length);

// The tag after `tag`: 1..255 cycle, 0 is only ever the first tag of an exchange.
constexpr std::uint8_t NextUsbTag(std::uint8_t tag) { return tag == 255 ? 1 : static_cast<std::uint8_t>(tag + 1); }

class UsbLink final : public Transport {
public:
    int Exchange(std::string_view command, std::string& received, ExchangeMode mode) override;
};

}  // namespace qrv
