// One program at a time talks to an instrument. Every program built on the
// model (the graphical program, zorbel-cli) holds an advisory lock on the link
// for as long as its session has work for the instrument, so that two
// downloads or a download and a Write Operation never interleave their
// commands. The lock is a lock file per link in $XDG_RUNTIME_DIR (or the
// temporary folder), locked with flock: the kernel drops it when its holder
// exits or crashes, so a stale file never blocks anyone.
#pragma once

#include <cstdint>
#include <string>

namespace zorbel {

// The file name of a link's lock: "zorbel-lan-192.168.1.100.lock" for the
// network; for USB "zorbel-usb.lock" (the first USBTMC device), or named after
// QRV_USB_ID or the virtual device of QRV_USB_DEVICE, as the generator library
// picks its device from them.
std::string InstrumentLockName(std::uint16_t connectionType, std::uint32_t lanAddress);

// $XDG_RUNTIME_DIR when set, else the temporary folder ($TMPDIR or /tmp).
std::string InstrumentLockFolder();

class InstrumentLock {
public:
    enum class Attempt {
        Held,       // this object holds the lock now
        Busy,       // another holder has it
        Unlockable  // the lock file cannot be opened: nothing to coordinate with
    };

    InstrumentLock() = default;
    ~InstrumentLock() { Release(); }
    InstrumentLock(const InstrumentLock&) = delete;
    InstrumentLock& operator=(const InstrumentLock&) = delete;

    // One attempt, without waiting. Holding another path releases that first.
    Attempt TryAcquire(const std::string& path);
    void Release();
    bool Held() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace zorbel
