// Chooses the USB device kind for each exchange (see usb_device.h).
#include "usb_device.h"

#include "link.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace qrv {

std::unique_ptr<UsbPipes> OpenUsbDevice() {
    const char* virtualDevice = std::getenv("QRV_USB_DEVICE");
    if (virtualDevice == nullptr || *virtualDevice == '\0') return OpenLibusbDevice();
    const std::string_view text(virtualDevice);
    constexpr std::string_view kUnixPrefix = "unix:";
    if (text.substr(0, kUnixPrefix.size()) != kUnixPrefix || text.size() == kUnixPrefix.size()) {
        // A mistyped variable must not silently fall back to real hardware.
        ShowMessage("QRV_USB_DEVICE must be unix:PATH; no USB device used");
        return nullptr;
    }
    return OpenSeqpacketDevice(std::string(text.substr(kUnixPrefix.size())));
}

}  // namespace qrv
