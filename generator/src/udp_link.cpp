// LAN exchanges: one datagram per command, one per answer, UDP port 9966.
#include "udp_link.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>

namespace qrv {

namespace {

// Upper bound of datagrams dropped before one command: a flooding host must
// not keep the caller in the drain loop forever.
constexpr int kMaxDiscarded = 4096;

}  // namespace

void UdpLink::Open(std::string_view addressText) {
    Close();
    addressText_.fill('\0');
    std::copy_n(addressText.begin(), std::min(addressText.size(), addressText_.size() - 1), addressText_.begin());
    if (inet_pton(AF_INET, addressText_.data(), &instrument_) != 1) return;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) return;
    // Not bound: the system picks the local port at the first send.
    fd_ = fd;
    peer_ = {};
    peer_.sin_family = AF_INET;
    peer_.sin_port = htons(kLanPort);
    peer_.sin_addr = instrument_;
}

void UdpLink::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int UdpLink::Exchange(std::string_view command, std::string& received, ExchangeMode mode) {
    received.clear();
    if (!IsOpen()) return kLinkUnavailable;
    switch (mode) {
    case ExchangeMode::Probe:
        return kExchangeDone;  // only whether the socket is open; no traffic
    case ExchangeMode::WriteOnly:
        return SendAll(command) ? kExchangeDone : kExchangeFailed;
    case ExchangeMode::ReadOnly:
        // No new socket here: the further pieces of an answer come to this one.
        ReceiveAnswer(received);
        return received.empty() ? kExchangeFailed : kExchangeDone;
    case ExchangeMode::WriteRead:
        RenewSocket();
        DiscardWaiting();
        if (!SendAll(command)) return kExchangeFailed;
        ReceiveAnswer(received);
        return received.empty() ? kExchangeFailed : kExchangeDone;
    }
    return kExchangeFailed;
}

bool UdpLink::SendAll(std::string_view command) {
    for (;;) {
        const ssize_t sent = sendto(fd_, command.data(), command.size(), MSG_NOSIGNAL,
                                    reinterpret_cast<const sockaddr*>(&peer_), sizeof peer_);
        if (sent >= 0) return static_cast<std::size_t>(sent) == command.size();
        if (errno == EINTR) continue;
        if ((errno != EAGAIN && errno != EWOULDBLOCK) || !WaitWritable()) return false;
    }
}

bool UdpLink::WaitWritable() {
    pollfd p{fd_, POLLOUT, 0};
    for (;;) {
        const int ready = poll(&p, 1, static_cast<int>(kLanAnswerTimeout.count()));
        if (ready < 0 && errno == EINTR) continue;
        return ready > 0 && (p.revents & POLLOUT) != 0;
    }
}

int UdpLink::SendPackets(std::span<const std::string_view> packets) {
    if (!IsOpen()) return kLinkUnavailable;
    constexpr std::size_t kMaxPerCall = 64;
    std::array<mmsghdr, kMaxPerCall> messages{};
    std::array<iovec, kMaxPerCall> parts{};
    while (!packets.empty()) {
        const std::size_t n = std::min(kMaxPerCall, packets.size());
        for (std::size_t k = 0; k < n; ++k) {
            parts[k] = {const_cast<char*>(packets[k].data()), packets[k].size()};
            messages[k] = {};
            messages[k].msg_hdr.msg_name = &peer_;
            messages[k].msg_hdr.msg_namelen = sizeof peer_;
            messages[k].msg_hdr.msg_iov = &parts[k];
            messages[k].msg_hdr.msg_iovlen = 1;
        }
        const int sent = sendmmsg(fd_, messages.data(), static_cast<unsigned>(n), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if ((errno != EAGAIN && errno != EWOULDBLOCK) || !WaitWritable()) return kExchangeFailed;
            continue;
        }
        if (sent == 0) return kExchangeFailed;
        for (int k = 0; k < sent; ++k)
            if (messages[k].msg_len != packets[k].size()) return kExchangeFailed;
        packets = packets.subspan(static_cast<std::size_t>(sent));
    }
    return kExchangeDone;
}

void UdpLink::RenewSocket() {
    // Bound before the old socket closes, so the system cannot hand out the
    // old port again. Without a new socket the old one stays (and the drain
    // before each command still drops what has already arrived).
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) return;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        return;
    }
    ::close(fd_);
    fd_ = fd;
}

void UdpLink::DiscardWaiting() {
    char scrap[16];  // contents do not matter; the rest of the datagram is dropped with it
    for (int i = 0; i < kMaxDiscarded; ++i) {
        if (recv(fd_, scrap, sizeof scrap, MSG_DONTWAIT) < 0 && errno != EINTR) return;
    }
}

void UdpLink::ReceiveAnswer(std::string& received) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + kLanAnswerTimeout;
    // A datagram longer than the buffer is cut to kMaxBufLen bytes.
    std::string buffer(kMaxBufLen, '\0');
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return;
        pollfd p{fd_, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return;
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n =
            recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return;  // a socket error ends the wait as "nothing received"
        }
        if (from.sin_family != AF_INET || from.sin_addr.s_addr != instrument_.s_addr) continue;
        // The instrument may answer from another port; later commands go there.
        peer_.sin_port = from.sin_port;
        // An empty datagram is the instrument's answer all the same: 0 bytes, failed.
        received.assign(buffer.data(), static_cast<std::size_t>(n));
        return;
    }
}

}  // namespace qrv
