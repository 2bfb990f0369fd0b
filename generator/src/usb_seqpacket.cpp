// The virtual USB device: a Unix-domain SOCK_SEQPACKET connection per
// exchange, one packet per bulk transfer, bytes exactly as on the pipes.
#include "transport.h"
#include "usb_device.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qrv {

namespace {

// Waits for `events` on fd; true when ready. EINTR restarts with the full
// timeout, which can only lengthen the wait slightly.
bool WaitFor(int fd, short events, std::chrono::milliseconds timeout) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int ready = poll(&p, 1, static_cast<int>(timeout.count()));
        if (ready < 0 && errno == EINTR) continue;
        return ready > 0;
    }
}

class SeqpacketPipes final : public UsbPipes {
public:
    explicit SeqpacketPipes(int fd) : fd_(fd) {}
    ~SeqpacketPipes() override { ::close(fd_); }
    SeqpacketPipes(const SeqpacketPipes&) = delete;
    SeqpacketPipes& operator=(const SeqpacketPipes&) = delete;

    int WriteOut(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout) override {
        // Sent at once when there is room, as there nearly always is: a wait
        // first would cost a system call per packet of a download.
        for (bool waited = false;; waited = true) {
            const ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n >= 0) return static_cast<int>(n);
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
            if (waited || !WaitFor(fd_, POLLOUT, timeout)) return 0;  // no room within the time-out
        }
    }

    int ReadIn(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        if (!WaitFor(fd_, POLLIN, timeout)) return 0;
        // A packet longer than the buffer is cut (the rest is discarded by the socket).
        const ssize_t n = recv(fd_, buffer.data(), buffer.size(), 0);
        return n < 0 ? -1 : static_cast<int>(n);
    }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<UsbPipes> OpenSeqpacketDevice(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return nullptr;
    std::memcpy(address.sun_path, path.data(), path.size());
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    // A device that is busy accepting earlier exchanges (a full backlog, EAGAIN)
    // is waited for as a USB device is, up to the transfer time-out; a missing
    // or refusing socket is "no device" at once.
    const auto deadline = std::chrono::steady_clock::now() + kUsbTimeout;
    while (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if ((errno != EAGAIN && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return nullptr;
        }
        poll(nullptr, 0, 1);
    }
    return std::make_unique<SeqpacketPipes>(fd);
}

}  // namespace qrv
