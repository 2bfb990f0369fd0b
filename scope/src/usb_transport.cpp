// The oscilloscope on USB through libusb. The device is the first one whose
// vendor:product id is listed in QMK_USB_ID; pipe 0 (bulk write) is the first
// endpoint of interface 0, pipe 1 (bulk read) the second. Every transfer opens,
// claims, transfers, releases and closes: the instrument's driver model keeps
// no state between transfers and neither do we.
#include "transport.h"

#include <libusb.h>

namespace qmk {

namespace {

constexpr int kInterface = 0;

class UsbTransport final : public Transport {
public:
    explicit UsbTransport(std::vector<UsbId> ids) : ids_(std::move(ids)) {
        if (!ids_.empty() && libusb_init(&context_) != LIBUSB_SUCCESS) context_ = nullptr;
    }
    ~UsbTransport() override {
        if (context_) libusb_exit(context_);
    }
    UsbTransport(const UsbTransport&) = delete;
    UsbTransport& operator=(const UsbTransport&) = delete;

    bool Write(std::span<const std::uint8_t> data) override {
        Session session(OpenDevice());
        if (!session.Claim()) return false;
        int sent = 0;
        const int rc =
            libusb_bulk_transfer(session.handle, session.pipe0, const_cast<std::uint8_t*>(data.data()),
                                 static_cast<int>(data.size()), &sent, static_cast<unsigned>(kTransferTimeout.count()));
        return rc == LIBUSB_SUCCESS && static_cast<std::size_t>(sent) == data.size();
    }

    std::size_t Read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        Session session(OpenDevice());
        if (!session.Claim()) return 0;
        int got = 0;
        const int rc =
            libusb_bulk_transfer(session.handle, session.pipe1, buffer.data(), static_cast<int>(buffer.size()), &got,
                                 static_cast<unsigned>(timeout.count() > 0 ? timeout.count() : 1));
        return rc == LIBUSB_SUCCESS && got > 0 ? static_cast<std::size_t>(got) : 0;
    }

    bool Present() override { return Session(OpenDevice()).handle != nullptr; }

private:
    // One opened device for the length of one transfer.
    struct Session {
        explicit Session(libusb_device_handle* h) : handle(h) {}
        ~Session() {
            if (claimed) libusb_release_interface(handle, kInterface);
            if (handle) libusb_close(handle);
        }
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;

        // Claims interface 0 and finds its first two endpoints.
        bool Claim() {
            if (!handle) return false;
            libusb_config_descriptor* config = nullptr;
            if (libusb_get_active_config_descriptor(libusb_get_device(handle), &config) != LIBUSB_SUCCESS) return false;
            bool found = false;
            if (config->bNumInterfaces > kInterface && config->interface[kInterface].num_altsetting > 0) {
                const libusb_interface_descriptor& alt = config->interface[kInterface].altsetting[0];
                if (alt.bNumEndpoints >= 2) {
                    pipe0 = alt.endpoint[0].bEndpointAddress;
                    pipe1 = alt.endpoint[1].bEndpointAddress;
                    found = true;
                }
            }
            libusb_free_config_descriptor(config);
            if (!found) return false;
            libusb_set_auto_detach_kernel_driver(handle, 1);
            claimed = libusb_claim_interface(handle, kInterface) == LIBUSB_SUCCESS;
            return claimed;
        }

        libusb_device_handle* handle = nullptr;
        bool claimed = false;
        unsigned char pipe0 = 0;
        unsigned char pipe1 = 0;
    };

    // The first listed device, opened; null when there is none.
    libusb_device_handle* OpenDevice() {
        if (!context_) return nullptr;
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context_, &list);
        libusb_device* match = nullptr;
        for (ssize_t i = 0; i < count && !match; ++i) {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(list[i], &descriptor) != LIBUSB_SUCCESS) continue;
            for (const UsbId& id : ids_)
                if (descriptor.idVendor == id.vendor && descriptor.idProduct == id.product) match = list[i];
        }
        libusb_device_handle* handle = nullptr;
        if (match && libusb_open(match, &handle) != LIBUSB_SUCCESS) handle = nullptr;
        if (count >= 0) libusb_free_device_list(list, 1);
        return handle;
    }

    std::vector<UsbId> ids_;
    libusb_context* context_ = nullptr;
};

}  // namespace

std::unique_ptr<Transport> MakeUsbTransport(std::vector<UsbId> ids) {
    return std::make_unique<UsbTransport>(std::move(ids));
}

}  // namespace qmk
