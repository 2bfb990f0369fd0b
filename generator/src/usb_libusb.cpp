// The real USB device through libusb: each exchange initialises libusb,
// finds the instrument, detaches a bound kernel driver, claims the interface
// and releases everything again when the exchange ends.
#include "usb_device.h"

#include "link.h"

#include <libusb.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

namespace qrv {

namespace {

constexpr std::uint8_t kUsbtmcClass = 0xFE;
constexpr std::uint8_t kUsbtmcSubclass = 0x03;

struct UsbId {
    std::uint16_t vendor;
    std::uint16_t product;
};

// A "vvvv:pppp" id (hex, one to four digits each); nullopt when malformed.
std::optional<UsbId> ParseUsbId(std::string_view id) {
    const auto colon = id.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    auto hex = [](std::string_view part) -> std::optional<std::uint16_t> {
        if (part.empty() || part.size() > 4) return std::nullopt;
        unsigned value = 0;
        for (char c : part) {
            int digit = -1;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            if (digit < 0) return std::nullopt;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        return static_cast<std::uint16_t>(value);
    };
    const auto vendor = hex(id.substr(0, colon));
    const auto product = hex(id.substr(colon + 1));
    if (!vendor || !product) return std::nullopt;
    return UsbId{*vendor, *product};
}

// Where the link lives on one device: interface number and its first bulk
// OUT ("PIPE01") and bulk IN ("PIPE00") endpoints.
struct Endpoints {
    int interfaceNumber = -1;
    std::uint8_t out = 0;
    std::uint8_t in = 0;
    int inPacketSize = 512;
};

std::optional<Endpoints> FindEndpoints(libusb_device* device, bool anyInterface) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0 &&
        libusb_get_config_descriptor(device, 0, &config) != 0)
        return std::nullopt;
    std::optional<Endpoints> found;
    for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
        const libusb_interface& iface = config->interface[i];
        if (iface.num_altsetting < 1) continue;
        const libusb_interface_descriptor& alt = iface.altsetting[0];
        if (!anyInterface && (alt.bInterfaceClass != kUsbtmcClass || alt.bInterfaceSubClass != kUsbtmcSubclass))
            continue;
        Endpoints e;
        e.interfaceNumber = alt.bInterfaceNumber;
        for (int k = 0; k < alt.bNumEndpoints; ++k) {
            const libusb_endpoint_descriptor& ep = alt.endpoint[k];
            if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
            const bool isIn = (ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN;
            if (isIn && e.in == 0) {
                e.in = ep.bEndpointAddress;
                if (ep.wMaxPacketSize > 0) e.inPacketSize = ep.wMaxPacketSize;
            } else if (!isIn && e.out == 0) {
                e.out = ep.bEndpointAddress;
            }
        }
        if (e.in != 0 && e.out != 0) found = e;
    }
    libusb_free_config_descriptor(config);
    return found;
}

class LibusbPipes final : public UsbPipes {
public:
    LibusbPipes(libusb_context* context, libusb_device_handle* handle, Endpoints endpoints)
        : context_(context), handle_(handle), endpoints_(endpoints) {}
    ~LibusbPipes() override {
        libusb_release_interface(handle_, endpoints_.interfaceNumber);
        libusb_close(handle_);
        libusb_exit(context_);
    }
    LibusbPipes(const LibusbPipes&) = delete;
    LibusbPipes& operator=(const LibusbPipes&) = delete;

    int WriteOut(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout) override {
        int transferred = 0;
        // libusb takes a non-const buffer even for OUT transfers; it does not write to it.
        const int rc =
            libusb_bulk_transfer(handle_, endpoints_.out, const_cast<std::uint8_t*>(bytes.data()),
                                 static_cast<int>(bytes.size()), &transferred, static_cast<unsigned>(timeout.count()));
        if (rc != 0 && rc != LIBUSB_ERROR_TIMEOUT) return -1;
        return transferred;
    }

    int ReadIn(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        // Ask for whole packets so that a device sending up to the buffer size
        // never causes an overflow error; anything beyond the buffer is cut.
        const std::size_t packet = static_cast<std::size_t>(endpoints_.inPacketSize);
        std::vector<std::uint8_t> whole((buffer.size() + packet - 1) / packet * packet);
        int transferred = 0;
        const int rc = libusb_bulk_transfer(handle_, endpoints_.in, whole.data(), static_cast<int>(whole.size()),
                                            &transferred, static_cast<unsigned>(timeout.count()));
        if (rc == LIBUSB_ERROR_TIMEOUT) return 0;  // a partial reply after a time-out is not used
        if (rc != 0) return -1;
        const std::size_t n = std::min(static_cast<std::size_t>(transferred), buffer.size());
        std::copy_n(whole.begin(), n, buffer.begin());
        return static_cast<int>(n);
    }

private:
    libusb_context* context_;
    libusb_device_handle* handle_;
    Endpoints endpoints_;
};

// Opens and claims the link interface of `device`; nullptr when it cannot be opened.
libusb_device_handle* OpenAndClaim(libusb_device* device, const Endpoints& endpoints) {
    libusb_device_handle* handle = nullptr;
    if (libusb_open(device, &handle) != 0) return nullptr;
    libusb_set_auto_detach_kernel_driver(handle, 1);  // the usbtmc kernel driver, if bound
    if (libusb_claim_interface(handle, endpoints.interfaceNumber) != 0) {
        libusb_close(handle);
        return nullptr;
    }
    return handle;
}

}  // namespace

std::unique_ptr<UsbPipes> OpenLibusbDevice() {
    // QRV_USB_ID picks the instrument by its id; a mistyped one must not
    // pick some other USBTMC instrument instead, so it picks none.
    const char* idText = std::getenv("QRV_USB_ID");
    std::optional<UsbId> wanted;
    if (idText != nullptr && *idText != '\0') {
        wanted = ParseUsbId(idText);
        if (!wanted) {
            ReportEnvironment("QRV_USB_ID", idText, "not vvvv:pppp in hex digits; no USB device is used");
            return nullptr;
        }
    }
    bool idSeen = false;
    const auto reportUnseenId = [&] {
        if (wanted && !idSeen) ReportEnvironment("QRV_USB_ID", idText, "no USB device has this id");
    };

    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) {  // no USB subsystem: no device
        reportUnseenId();
        return nullptr;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    std::unique_ptr<UsbPipes> pipes;
    for (ssize_t i = 0; i < count && !pipes; ++i) {
        libusb_device* device = list[i];
        if (wanted) {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(device, &descriptor) != 0 || descriptor.idVendor != wanted->vendor ||
                descriptor.idProduct != wanted->product)
                continue;
            idSeen = true;
        }
        const auto endpoints = FindEndpoints(device, wanted.has_value());
        if (!endpoints) continue;
        // The first device that opens wins, as with the Windows driver.
        if (libusb_device_handle* handle = OpenAndClaim(device, *endpoints))
            pipes = std::make_unique<LibusbPipes>(context, handle, *endpoints);
    }
    if (count >= 0) libusb_free_device_list(list, 1);
    if (!pipes) libusb_exit(context);
    reportUnseenId();
    return pipes;
}

}  // namespace qrv
