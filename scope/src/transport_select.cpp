// The one place where the oscilloscope link is chosen (see transport.h).
#include "transport.h"

#include <charconv>
#include <cstdlib>

namespace qmk {

namespace {

constexpr std::string_view kUnixPrefix = "unix:";

// A device that is never present: QMK_SCOPE_DEVICE names no usable socket.
class AbsentTransport final : public Transport {
public:
    bool Write(std::span<const std::uint8_t>) override { return false; }
    std::size_t Read(std::span<std::uint8_t>, std::chrono::milliseconds) override { return 0; }
    bool Present() override { return false; }
};

std::optional<std::uint16_t> ParseHex16(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::string Setting(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::vector<UsbId> ParseUsbIds(std::string_view text) {
    std::vector<UsbId> ids;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const auto colon = item.find(':');
        if (colon == std::string_view::npos) continue;
        const auto vendor = ParseHex16(item.substr(0, colon));
        const auto product = ParseHex16(item.substr(colon + 1));
        if (vendor && product) ids.push_back({*vendor, *product});
    }
    return ids;
}

Transport& ActiveTransport() {
    // Callers hold the library lock, so the cache needs no lock of its own.
    static std::string chosenFor;
    static std::unique_ptr<Transport> transport;
    const std::string device = Setting("QMK_SCOPE_DEVICE");
    const std::string key = device.empty() ? "usb:" + Setting("QMK_USB_ID") : device;
    if (!transport || key != chosenFor) {
        transport.reset();
        if (device.empty())
            transport = MakeUsbTransport(ParseUsbIds(Setting("QMK_USB_ID")));
        else if (device.starts_with(kUnixPrefix))
            transport = MakeSocketTransport(device.substr(kUnixPrefix.size()));
        else
            transport = std::make_unique<AbsentTransport>();
        chosenFor = key;
    }
    return *transport;
}

}  // namespace qmk
