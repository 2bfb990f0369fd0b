// USB exchanges: command packet, pause, read request, reply (see usb_link.h).
#include "usb_link.h"

#include "zorbel/numbers.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace qrv {

namespace {

// One exchange's packet writer: keeps the tag sequence of that exchange.
class Framing {
public:
    explicit Framing(UsbPipes& pipes) : pipes_(pipes) {}

    // Writes header + payload as one transfer; the bytes written, or -1 when
    // there is nothing to send or the transfer failed.
    int WriteCommand(std::string_view payload) {
        if (payload.empty()) return -1;
        // Not zero-filled first: every byte is written below.
        const std::size_t size = kUsbHeaderSize + payload.size();
        const auto packet = std::make_unique_for_overwrite<std::uint8_t[]>(size);
        const UsbHeader header = MakeUsbHeader(kUsbCommandPacket, tag_, static_cast<std::uint32_t>(payload.size()));
        std::copy(header.begin(), header.end(), packet.get());
        std::copy(payload.begin(), payload.end(), packet.get() + kUsbHeaderSize);
        const int written = pipes_.WriteOut(std::span<const std::uint8_t>(packet.get(), size), kUsbTimeout);
        tag_ = NextUsbTag(tag_);
        return written;
    }

    // Sends a read request for kMaxBufLen bytes and reads one reply. Puts the
    // answer bytes into `received`, which stays empty when the request could
    // not be written, the read failed or nothing arrived.
    void ReadAnswer(std::string& received) {
        received.clear();
        const UsbHeader request = MakeUsbHeader(kUsbReadRequest, tag_, static_cast<std::uint32_t>(kMaxBufLen));
        const int written = pipes_.WriteOut(request, kUsbTimeout);
        tag_ = NextUsbTag(tag_);
        if (written != static_cast<int>(kUsbHeaderSize)) return;

        // Room for the header and a whole answer of kMaxBufLen bytes.
        std::vector<std::uint8_t> reply(kUsbHeaderSize + kMaxBufLen, 0);
        const int got = pipes_.ReadIn(reply, kUsbTimeout);
        if (got < static_cast<int>(kUsbHeaderSize)) return;  // failed, or no whole header arrived
        std::uint32_t claimed = static_cast<std::uint32_t>(reply[4]) | static_cast<std::uint32_t>(reply[5]) << 8 |
                                static_cast<std::uint32_t>(reply[6]) << 16 | static_cast<std::uint32_t>(reply[7]) << 24;
        if (claimed > kMaxBufLen) {
            // The length is unsigned on the wire; it is reported as such.
            ShowMessage("After ReadFile:nchars(" + zorbel::FormatInt(claimed) + ") > MAX_BUF_LEN");
            claimed = static_cast<std::uint32_t>(kMaxBufLen);
        }
        // Never more than actually arrived: a header may claim more than it carries.
        const std::size_t take = std::min<std::size_t>(claimed, static_cast<std::size_t>(got) - kUsbHeaderSize);
        received.assign(reinterpret_cast<const char*>(reply.data()) + kUsbHeaderSize, take);
    }

private:
    UsbPipes& pipes_;
    std::uint8_t tag_ = 0;
};

// The pause between command and read request gives the instrument time to
// prepare its answer. A plain sleep wakes a scheduler tick late on a busy
// machine, a quarter of a millisecond per exchange; so sleep most of it and
// yield through the rest.
void PauseBeforeRead() {
    constexpr auto kYieldTail = std::chrono::microseconds(300);
    const auto deadline = std::chrono::steady_clock::now() + kUsbReadPause;
    std::this_thread::sleep_until(deadline - kYieldTail);
    while (std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
}

}  // namespace

UsbHeader MakeUsbHeader(std::uint8_t type, std::uint8_t tag, std::uint32_t length) {
    UsbHeader h{};
    h[0] = type;
    h[1] = tag;
    h[2] = static_cast<std::uint8_t>(~tag);
    h[3] = 0;
    h[4] = static_cast<std::uint8_t>(length);
    h[5] = static_cast<std::uint8_t>(length >> 8);
    h[6] = static_cast<std::uint8_t>(length >> 16);
    h[7] = static_cast<std::uint8_t>(length >> 24);
    h[8] = type == kUsbCommandPacket ? 1 : 0;  // end of message: each command is whole
    return h;
}

int UsbLink::Exchange(std::string_view command, std::string& received, ExchangeMode mode) {
    received.clear();
    const std::unique_ptr<UsbPipes> pipes = OpenUsbDevice();
    if (!pipes) return kLinkUnavailable;
    Framing framing(*pipes);
    const int fullPacket = static_cast<int>(command.size() + kUsbHeaderSize);
    switch (mode) {
    case ExchangeMode::Probe:
        return kExchangeDone;
    case ExchangeMode::WriteOnly:
        return framing.WriteCommand(command) == fullPacket ? kExchangeDone : kExchangeFailed;
    case ExchangeMode::ReadOnly:
        framing.ReadAnswer(received);
        return received.empty() ? kExchangeFailed : kExchangeDone;
    case ExchangeMode::WriteRead:
        if (framing.WriteCommand(command) != fullPacket) return kExchangeFailed;
        PauseBeforeRead();
        framing.ReadAnswer(received);
        return received.empty() ? kExchangeFailed : kExchangeDone;
    }
    return kExchangeFailed;
}

}  // namespace qrv
