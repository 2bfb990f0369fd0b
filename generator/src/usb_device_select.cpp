// Chooses the USB device kind for each exchange (see usb_device.h).
#include "usb_device.h"

#include "link.h"
#include "zorbel/numbers.h"

#include <sys/un.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace qrv {

std::unique_ptr<UsbPipes> OpenUsbDevice() {
    const char* virtualDevice = std::getenv("QRV_USB_DEVICE");
    if (virtualDevice == nullptr || *virtualDevice == '\0') return OpenLibusbDevice();
    const std::string_view text(virtualDevice);
    constexpr std::string_view kUnixPrefix = "unix:";
    // A mistyped variable must not silently fall back to real hardware:
    // nothing is used, and the user is told why once.
    if (text.substr(0, kUnixPrefix.size()) != kUnixPrefix || text.size() == kUnixPrefix.size()) {
        ReportEnvironment("QRV_USB_DEVICE", text, "not unix:PATH; no USB device is used");
        return nullptr;
    }
    const std::string_view path = text.substr(kUnixPrefix.size());
    // The kernel takes a socket path of at most this many bytes (sun_path with its NUL).
    constexpr std::size_t kMaxSocketPath = sizeof(sockaddr_un{}.sun_path) - 1;
    if (path.size() > kMaxSocketPath) {
        ReportEnvironment("QRV_USB_DEVICE", text,
                          "the socket path has " + zorbel::FormatInt(static_cast<long long>(path.size())) +
                              " bytes, the system allows " + zorbel::FormatInt(kMaxSocketPath) +
                              "; no USB device is used");
        return nullptr;
    }
    return OpenSeqpacketDevice(std::string(path));
}

}  // namespace qrv
