#include "scripted_usb_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <stdexcept>

namespace zorbel::test {

namespace {

std::string Header(std::uint8_t type, std::uint8_t tag, std::uint32_t length, std::uint8_t flag) {
    std::string h(12, '\0');
    h[0] = static_cast<char>(type);
    h[1] = static_cast<char>(tag);
    h[2] = static_cast<char>(static_cast<std::uint8_t>(~tag));
    for (int i = 0; i < 4; ++i) h[4 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    h[8] = static_cast<char>(flag);
    return h;
}

}  // namespace

std::string UsbCommandPacket(std::uint8_t tag, const std::string& payload) {
    return Header(1, tag, static_cast<std::uint32_t>(payload.size()), 1) + payload;
}

std::string UsbReadRequest(std::uint8_t tag, std::uint32_t requested) { return Header(2, tag, requested, 0); }

std::string UsbReplyPacket(std::uint8_t tag, const std::string& payload, std::optional<std::uint32_t> claimedLength) {
    return Header(2, tag, claimedLength.value_or(static_cast<std::uint32_t>(payload.size())), 1) + payload;
}

ScriptedUsbPeer::ScriptedUsbPeer() : path_(dir_.file("usb.sock")) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path_.c_str(), path_.size());
    listenFd_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, 16) != 0)
        throw std::runtime_error("cannot listen on " + path_ + ": " + std::strerror(errno));
    if (pipe2(stopPipe_, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    thread_ = std::thread([this] { Run(); });
}

ScriptedUsbPeer::~ScriptedUsbPeer() {
    const char byte = 'q';
    [[maybe_unused]] const ssize_t ignored = write(stopPipe_[1], &byte, 1);
    thread_.join();
    close(stopPipe_[0]);
    close(stopPipe_[1]);
    close(listenFd_);
}

void ScriptedUsbPeer::QueueReply(Reply reply) {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(reply));
}

void ScriptedUsbPeer::QueueReply(std::string payload) {
    Reply reply;
    reply.payload = std::move(payload);
    QueueReply(std::move(reply));
}

void ScriptedUsbPeer::SetResponder(std::function<std::optional<std::string>(const std::string&)> responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

std::vector<std::vector<std::string>> ScriptedUsbPeer::Connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

bool ScriptedUsbPeer::WaitForClosedConnections(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return closed_ >= count; });
}

bool ScriptedUsbPeer::OnPacket(std::size_t connection, int fd) {
    std::string packet(70000, '\0');
    const ssize_t n = recv(fd, packet.data(), packet.size(), 0);
    if (n <= 0) return false;
    packet.resize(static_cast<std::size_t>(n));
    std::optional<Reply> reply;
    {
        std::lock_guard lock(mutex_);
        connections_[connection].push_back(packet);
        if (packet.size() >= 12 && packet[0] == 1) lastCommand_ = packet.substr(12);
        if (packet.size() >= 12 && packet[0] == 2) {
            if (!script_.empty()) {
                reply = std::move(script_.front());
                script_.pop_front();
            } else {
                reply.emplace();
                if (responder_) {
                    if (auto text = responder_(lastCommand_))
                        reply->payload = std::move(*text);
                    else
                        reply->silent = true;
                }
            }
        }
    }
    changed_.notify_all();
    if (!reply || reply->silent) return true;
    // A delayed reply holds up this peer's thread: enough for one exchange at a time.
    if (reply->delay.count() > 0) std::this_thread::sleep_for(reply->delay);
    const auto tag = static_cast<std::uint8_t>(packet[1]);
    const std::string bytes =
        reply->rawPacket ? *reply->rawPacket : UsbReplyPacket(tag, reply->payload, reply->claimedLength);
    send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    return true;
}

void ScriptedUsbPeer::Run() {
    std::map<int, std::size_t> open;  // descriptor -> connection index
    for (;;) {
        std::vector<pollfd> fds = {{stopPipe_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
        for (const auto& [fd, index] : open) fds.push_back({fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents != 0) break;
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            const int fd = fds[i].fd;
            if (!OnPacket(open[fd], fd)) {  // the host closed the connection: the exchange is over
                close(fd);
                open.erase(fd);
                {
                    std::lock_guard lock(mutex_);
                    ++closed_;
                }
                changed_.notify_all();
            }
        }
        if (fds[1].revents != 0) {
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                std::lock_guard lock(mutex_);
                open[fd] = connections_.size();
                connections_.emplace_back();
            }
        }
    }
    for (const auto& [fd, index] : open) close(fd);
}

}  // namespace zorbel::test
