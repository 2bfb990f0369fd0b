#include "scripted_udp_peer.h"

#include "loopback.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace zorbel::test {

namespace {

int BindUdp(const std::string& address, std::uint16_t port) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) return -1;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

ScriptedUdpPeer::ScriptedUdpPeer(std::string address, std::uint16_t port) {
    const bool chooseAddress = address.empty();
    for (int attempt = 0; attempt < 10 && fd_ < 0; ++attempt) {
        address_ = chooseAddress ? UniqueLoopbackAddress() : address;
        fd_ = BindUdp(address_, port);
        if (!chooseAddress) break;
    }
    if (fd_ < 0) throw std::runtime_error("cannot bind UDP " + address_ + ": " + std::strerror(errno));
    alternateFd_ = BindUdp(address_, 0);
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (alternateFd_ < 0 || getsockname(alternateFd_, reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        throw std::runtime_error("cannot bind the second UDP port");
    alternatePort_ = ntohs(bound.sin_port);
    if (pipe2(stopPipe_, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    thread_ = std::thread([this] { Run(); });
}

ScriptedUdpPeer::~ScriptedUdpPeer() {
    const char byte = 'q';
    [[maybe_unused]] const ssize_t ignored = write(stopPipe_[1], &byte, 1);
    thread_.join();
    close(stopPipe_[0]);
    close(stopPipe_[1]);
    close(fd_);
    close(alternateFd_);
}

std::uint32_t ScriptedUdpPeer::AddressValue() const { return test::AddressValue(address_); }

void ScriptedUdpPeer::QueueReply(Reply reply) {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(reply));
}

void ScriptedUdpPeer::QueueReply(std::string text, std::chrono::milliseconds delay) {
    QueueReply(Reply{{std::move(text)}, delay, false});
}

void ScriptedUdpPeer::QueueSilence() { QueueReply(Reply{}); }

void ScriptedUdpPeer::SetResponder(std::function<std::optional<std::string>(const std::string&)> responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

std::vector<ScriptedUdpPeer::Datagram> ScriptedUdpPeer::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<std::string> ScriptedUdpPeer::ReceivedTexts() const {
    std::vector<std::string> texts;
    for (const auto& d : Received()) texts.push_back(d.bytes);
    return texts;
}

bool ScriptedUdpPeer::WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

void ScriptedUdpPeer::SendToLastSender(const std::string& bytes) {
    sockaddr_in to{};
    {
        std::lock_guard lock(mutex_);
        if (received_.empty()) return;
        to = received_.back().from;
    }
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void ScriptedUdpPeer::OnDatagram(int fd, bool alternate) {
    std::string buffer(70000, '\0');
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t n = recvfrom(fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) return;
    buffer.resize(static_cast<std::size_t>(n));
    Reply reply;
    {
        std::lock_guard lock(mutex_);
        received_.push_back(Datagram{buffer, from, alternate});
        if (!script_.empty()) {
            reply = std::move(script_.front());
            script_.pop_front();
        } else if (responder_) {
            if (auto text = responder_(buffer)) reply.datagrams.push_back(std::move(*text));
        }
    }
    changed_.notify_all();
    const auto due = std::chrono::steady_clock::now() + reply.delay;
    for (auto& d : reply.datagrams) pending_.push_back(Pending{due, from, std::move(d), reply.fromAlternatePort});
}

void ScriptedUdpPeer::Run() {
    for (;;) {
        // Send what is due, in the order it was scheduled.
        const auto now = std::chrono::steady_clock::now();
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->due <= now) {
                const int fd = it->fromAlternatePort ? alternateFd_ : fd_;
                sendto(fd, it->bytes.data(), it->bytes.size(), 0, reinterpret_cast<const sockaddr*>(&it->to),
                       sizeof it->to);
                it = pending_.erase(it);
            } else {
                ++it;
            }
        }
        int timeoutMs = -1;
        for (const auto& p : pending_) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(p.due - now).count();
            timeoutMs = timeoutMs < 0 ? static_cast<int>(left) : std::min(timeoutMs, static_cast<int>(left));
        }
        pollfd fds[3] = {{stopPipe_[0], POLLIN, 0}, {fd_, POLLIN, 0}, {alternateFd_, POLLIN, 0}};
        const int ready = poll(fds, 3, timeoutMs);
        if (ready < 0 && errno != EINTR) return;
        if (ready <= 0) continue;
        if (fds[0].revents != 0) return;
        if (fds[1].revents != 0) OnDatagram(fd_, false);
        if (fds[2].revents != 0) OnDatagram(alternateFd_, true);
    }
}

void SendDatagramFrom(const std::string& fromAddress, const sockaddr_in& to, const std::string& bytes) {
    const int fd = BindUdp(fromAddress, 0);
    if (fd < 0) throw std::runtime_error("cannot bind UDP " + fromAddress);
    sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    close(fd);
}

}  // namespace zorbel::test
