// Lock files of the instrument links (see instrument_lock.h).
#include "zorbel/model/instrument_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "zorbel/model/device_settings.h"
#include "zorbel/numbers.h"

namespace zorbel {
namespace {

// Keeps a name part to characters every file system takes, and short.
std::string Sanitized(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, 64)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        out += plain ? c : (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : '_';
    }
    return out;
}

// FNV-1a: the same text gives the same name in every program on the machine.
std::string Hash(std::string_view text) {
    std::uint64_t h = 14695981039346656037ull;
    for (char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4) out[static_cast<std::size_t>(i)] = kDigits[h & 15];
    return out;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string UsbLockName() {
    const std::string device = Environment("QRV_USB_DEVICE");
    if (!device.empty()) {
        // One socket reached by different spellings of its path is one device.
        std::string where = device;
        if (device.rfind("unix:", 0) == 0 && device.size() > 5) {
            std::error_code ec;
            const auto path = std::filesystem::weakly_canonical(std::filesystem::absolute(device.substr(5), ec), ec);
            if (!ec) where = "unix:" + path.string();
        }
        const std::string file = std::filesystem::path(where).filename().string();
        return "zorbel-usb-" + Sanitized(file) + "-" + Hash(where) + ".lock";
    }
    const std::string id = Environment("QRV_USB_ID");
    if (!id.empty()) return "zorbel-usb-" + Sanitized(id) + ".lock";
    return "zorbel-usb.lock";
}

}  // namespace

std::string InstrumentLockName(std::uint16_t connectionType, std::uint32_t lanAddress) {
    if (connectionType == kConnectionUsb) return UsbLockName();
    return "zorbel-lan-" + FormatInt((lanAddress >> 24) & 0xFF) + "." + FormatInt((lanAddress >> 16) & 0xFF) + "." +
           FormatInt((lanAddress >> 8) & 0xFF) + "." + FormatInt(lanAddress & 0xFF) + ".lock";
}

std::string InstrumentLockFolder() {
    const std::string runtime = Environment("XDG_RUNTIME_DIR");
    if (!runtime.empty()) return runtime;
    std::error_code ec;
    const auto temp = std::filesystem::temp_directory_path(ec);
    return ec ? "/tmp" : temp.string();
}

InstrumentLock::Attempt InstrumentLock::TryAcquire(const std::string& path) {
    if (Held() && path == path_) return Attempt::Held;
    Release();
    // No links followed: in a shared temporary folder a planted link must not
    // make us create or open someone else's file. Another user's lock file is
    // opened for reading, which is all flock needs.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return Attempt::Unlockable;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? Attempt::Busy : Attempt::Unlockable;
    }
    fd_ = fd;
    path_ = path;
    return Attempt::Held;
}

void InstrumentLock::Release() {
    // The file stays: removing a lock file races with a program about to lock it.
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    path_.clear();
}

}  // namespace zorbel
