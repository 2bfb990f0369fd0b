// The byte pipe under the USB link: the device's bulk OUT pipe ("PIPE01")
// and bulk IN pipe ("PIPE00"), open for one exchange only. A real device is
// reached through libusb, the virtual one through a Unix seqpacket socket;
// the packet framing above (usb_link.cpp) is the same for both.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace qrv {

class UsbPipes {
public:
    virtual ~UsbPipes() = default;  // releases and closes the device

    // One bulk OUT transfer. Returns the bytes written (fewer on a time-out)
    // or -1 on failure.
    virtual int WriteOut(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout) = 0;

    // One bulk IN transfer into `buffer` (a longer transfer is cut to its
    // size). Returns the bytes received, 0 when nothing arrived in time, or -1
    // on failure.
    virtual int ReadIn(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) = 0;
};

// Opens the generator for one exchange; nullptr means no device. The one
// place that chooses the device kind: QRV_USB_DEVICE=unix:PATH selects the
// virtual device at PATH, otherwise libusb finds the instrument.
std::unique_ptr<UsbPipes> OpenUsbDevice();

// The first USBTMC interface (class 0xFE, subclass 0x03), or with
// QRV_USB_ID=vvvv:pppp the first device with that vendor:product id.
std::unique_ptr<UsbPipes> OpenLibusbDevice();

// The virtual device: a connection to the SOCK_SEQPACKET socket at `path`;
// every transfer is one packet.
std::unique_ptr<UsbPipes> OpenSeqpacketDevice(const std::string& path);

}  // namespace qrv
