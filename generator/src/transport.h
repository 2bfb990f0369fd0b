// The one transport interface of the generator link. UdpLink (LAN) and
// UsbLink (USB packet framing over a libusb or virtual device) implement it;
// link.cpp chooses one by the connection type.
#pragma once

#include "link.h"

#include <chrono>
#include <span>
#include <string>
#include <string_view>

namespace qrv {

// How long each kind of link waits for an answer, and the pause between a USB
// command and its read request that the instrument needs to prepare the answer.
inline constexpr std::chrono::milliseconds kLanAnswerTimeout{500};
inline constexpr std::chrono::milliseconds kUsbTimeout{2000};
inline constexpr std::chrono::milliseconds kUsbReadPause{5};

// The instrument's UDP port.
inline constexpr unsigned short kLanPort = 9966;

class Transport {
public:
    virtual ~Transport() = default;

    // Runs one exchange in `mode`. For ReadOnly/WriteRead the bytes received
    // (at most kMaxBufLen, raw, NULs included) are put into `received`, which
    // is left empty when nothing arrived. Returns kLinkUnavailable,
    // kExchangeFailed or kExchangeDone (an answer-reading exchange is done
    // only when more than 0 bytes arrived).
    virtual int Exchange(std::string_view command, std::string& received, ExchangeMode mode) = 0;

    // WriteOnly exchanges of each packet in order, up to the first that
    // fails; the result of the last one. A link that can send several at
    // once does so.
    virtual int SendPackets(std::span<const std::string_view> packets) {
        std::string unused;
        int result = kExchangeDone;
        for (std::string_view packet : packets) {
            result = Exchange(packet, unused, ExchangeMode::WriteOnly);
            if (result != kExchangeDone) break;
        }
        return result;
    }
};

}  // namespace qrv
