// Serving the virtual device socket (see device_socket.h).
#include "device_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace scopesim {

namespace {

// One byte more than the largest bulk transfer, to notice oversized packets.
constexpr std::size_t kPacketCapacity = 65536;

bool MakeAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

// True when the other end has closed completely (a presence check, or a read
// that gave up): the half-closed reader still has its receiving side open.
bool PeerGone(int fd) {
    pollfd entry{fd, 0, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLHUP | POLLERR)) != 0;
}

}  // namespace

std::unique_ptr<DeviceSocket> DeviceSocket::Listen(const std::string& path, std::string& error) {
    sockaddr_un address{};
    if (!MakeAddress(path, address)) {
        error = "socket path is empty or too long: " + path;
        return nullptr;
    }
    if (zorbel::sim::SocketAnswers(path)) {
        error = "a device already answers at " + path;
        return nullptr;
    }
    ::unlink(path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 64) != 0) {
        error = "cannot listen at " + path + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return nullptr;
    }
    auto device = std::unique_ptr<DeviceSocket>(new DeviceSocket(fd));
    device->socketFile_.Remember(path);
    return device;
}

DeviceSocket::~DeviceSocket() { Close(); }

void DeviceSocket::Close() {
    if (closed_) return;
    closed_ = true;
    for (int fd : fresh_) ::close(fd);
    for (int fd : readers_) ::close(fd);
    fresh_.clear();
    readers_.clear();
    replies_.clear();
    ::close(listenFd_);
    listenFd_ = -1;
    socketFile_.RemoveIfOurs();
}

void DeviceSocket::QueueReply(Bytes reply, std::chrono::milliseconds delay) {
    replies_.push_back({std::move(reply), Clock::now() + delay});
}

void DeviceSocket::AcceptAll() {
    while (!closed_) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        fresh_.push_back(fd);
    }
}

void DeviceSocket::Classify(int fd) {
    if (closed_) {
        ::close(fd);
        return;
    }
    static thread_local std::vector<std::uint8_t> packet(kPacketCapacity);
    const ssize_t got = ::recv(fd, packet.data(), packet.size(), MSG_DONTWAIT);
    if (got > 0) {
        ::close(fd);
        if (onWrite_) onWrite_(std::span<const std::uint8_t>(packet.data(), static_cast<std::size_t>(got)));
        return;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        fresh_.push_back(fd);  // not decided yet
        return;
    }
    if (got == 0 && !PeerGone(fd)) {
        readers_.push_back(fd);
        return;
    }
    ::close(fd);
}

void DeviceSocket::Deliver() {
    const auto now = Clock::now();
    while (!readers_.empty() && !replies_.empty() && replies_.front().readyAt <= now) {
        const int fd = readers_.front();
        readers_.pop_front();
        const Bytes& reply = replies_.front().bytes;
        const ssize_t sent = ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(fd);
        // A reader that went away leaves the reply for the next one.
        if (sent == static_cast<ssize_t>(reply.size())) replies_.pop_front();
    }
}

bool DeviceSocket::Serve(std::chrono::milliseconds timeout, int wakeFd) {
    auto wait = timeout;
    if (!readers_.empty() && !replies_.empty()) {
        const auto untilReady =
            std::chrono::duration_cast<std::chrono::milliseconds>(replies_.front().readyAt - Clock::now()) +
            std::chrono::milliseconds(1);
        wait = std::clamp(untilReady, std::chrono::milliseconds(0), timeout);
    }

    std::vector<pollfd> fds;
    fds.push_back({listenFd_, POLLIN, 0});  // -1 once closed: ignored
    fds.push_back({wakeFd, POLLIN, 0});     // poll ignores a negative fd
    for (int fd : fresh_) fds.push_back({fd, POLLIN, 0});
    for (int fd : readers_) fds.push_back({fd, 0, 0});  // only hang-ups matter
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(wait.count()));
    if (ready < 0 && errno != EINTR) return false;

    const bool woken = ready > 0 && wakeFd >= 0 && (fds[1].revents & POLLIN);
    std::vector<int> decide;
    std::vector<int> keep;
    for (std::size_t i = 0; i < fresh_.size(); ++i) (fds[2 + i].revents ? decide : keep).push_back(fresh_[i]);
    std::deque<int> waiting;
    for (std::size_t i = 0; i < readers_.size(); ++i) {
        if (fds[2 + fresh_.size() + i].revents & (POLLHUP | POLLERR))
            ::close(readers_[i]);
        else
            waiting.push_back(readers_[i]);
    }
    fresh_ = std::move(keep);
    readers_ = std::move(waiting);
    // Connections are taken in the order they were accepted, so a write is
    // handled before the read that follows it.
    for (int fd : decide) Classify(fd);
    if (!closed_ && (fds[0].revents & POLLIN)) {
        const std::size_t before = fresh_.size();
        AcceptAll();
        const std::vector<int> accepted(fresh_.begin() + static_cast<std::ptrdiff_t>(before), fresh_.end());
        fresh_.resize(before);
        for (int fd : accepted) Classify(fd);
    }
    Deliver();
    return woken;
}

}  // namespace scopesim
