// The simulator's virtual device: a Unix SOCK_SEQPACKET socket. As the USB
// device is opened for every transfer, every transfer is one connection:
//   write    connect, send one packet (the bytes of the bulk write), close
//   read     connect, shut down the sending side, wait for one packet, close
//   present  connect, close
// The half-close tells the device that this connection wants to read, so a
// presence check (which just closes) never consumes a reply.
#include "transport.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qmk {

namespace {

class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0) ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }

private:
    int fd_;
};

class SocketTransport final : public Transport {
public:
    explicit SocketTransport(std::string path) : path_(std::move(path)) {}

    bool Write(std::span<const std::uint8_t> data) override {
        Socket socket(Connect());
        if (!socket.Valid()) return false;
        const ssize_t sent = ::send(socket.Fd(), data.data(), data.size(), MSG_NOSIGNAL);
        return sent >= 0 && static_cast<std::size_t>(sent) == data.size();
    }

    std::size_t Read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        Socket socket(Connect());
        if (!socket.Valid()) return 0;
        ::shutdown(socket.Fd(), SHUT_WR);
        if (!WaitReadable(socket.Fd(), timeout)) return 0;
        const ssize_t got = ::recv(socket.Fd(), buffer.data(), buffer.size(), 0);
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }

    bool Present() override { return Socket(Connect()).Valid(); }

private:
    // A connected socket, or -1 when the device is absent.
    int Connect() const {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path_.empty() || path_.size() >= sizeof address.sun_path) return -1;
        std::memcpy(address.sun_path, path_.data(), path_.size());
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        if (fd < 0) return -1;
        int rc;
        do {
            rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    static bool WaitReadable(int fd, std::chrono::milliseconds timeout) {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd entry{fd, POLLIN, 0};
            const int rc = ::poll(&entry, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
            if (rc > 0) return true;  // a packet, or a hang-up that recv reports as 0
            if (rc == 0 || errno != EINTR) return false;
        }
    }

    std::string path_;
};

}  // namespace

std::unique_ptr<Transport> MakeSocketTransport(std::string path) {
    return std::make_unique<SocketTransport>(std::move(path));
}

}  // namespace qmk
