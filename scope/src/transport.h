// The byte pipe to the oscilloscope: pipe 0 (bulk write) and pipe 1 (bulk
// read) of the instrument, with the device opened anew for every transfer.
// Two implementations, the USB device through libusb and the simulator's
// virtual device socket, chosen in ActiveTransport() only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qmk {

class Transport {
public:
    virtual ~Transport() = default;
    // One bulk write on pipe 0; true when every byte went out.
    virtual bool Write(std::span<const std::uint8_t> data) = 0;
    // One bulk read on pipe 1 into `buffer` (at most its size); the number of
    // bytes received, 0 on failure or when nothing arrived within `timeout`.
    virtual std::size_t Read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) = 0;
    // True when the device can be opened (it is closed again at once).
    virtual bool Present() = 0;
};

// Longest wait for one bulk transfer, in milliseconds.
inline constexpr std::chrono::milliseconds kTransferTimeout{1000};

// The link named by the environment: QMK_SCOPE_DEVICE=unix:PATH selects the
// virtual device, otherwise the USB device listed in QMK_USB_ID. Re-chosen
// when the setting changes; never null.
Transport& ActiveTransport();

struct UsbId {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
};

// "vvvv:pppp[,vvvv:pppp...]" in hex; malformed items are skipped.
std::vector<UsbId> ParseUsbIds(std::string_view text);

std::unique_ptr<Transport> MakeSocketTransport(std::string path);
std::unique_ptr<Transport> MakeUsbTransport(std::vector<UsbId> ids);

}  // namespace qmk
