// UDP port 9966 on a loopback address: one datagram per command, each answer
// piece one datagram back to the sender's address and port.
#include "command_text.h"
#include "endpoints.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace gensim {

namespace {

constexpr unsigned short kLanPort = 9966;
constexpr std::size_t kMaxDatagram = 65536;

}  // namespace

LanEndpoint::~LanEndpoint() {
    if (fd_ >= 0) {
        loop_.Unwatch(fd_);
        ::close(fd_);
    }
}

bool LanEndpoint::Start(const std::string& address, std::string& error) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kLanPort);
    if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        return false;
    }
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = "cannot bind UDP " + address + ":9966: " + std::strerror(errno);
        return false;
    }
    // A download arrives as a burst of datagrams with no answer in between;
    // room for a few megabytes keeps a briefly descheduled simulator from
    // dropping them (the kernel caps this at net.core.rmem_max).
    const int receiveBuffer = 4 * 1024 * 1024;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    datagram_.assign(kMaxDatagram, '\0');
    loop_.Watch(fd_, [this] { OnReadable(); });
    return true;
}

void LanEndpoint::OnReadable() {
    std::string& buffer = datagram_;
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n =
            recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) return;  // EAGAIN: all read
        const std::string_view command(buffer.data(), static_cast<std::size_t>(n));
        if (verbose_) std::cerr << "gensim lan <- " << Printable(command) << '\n';
        for (auto& piece : dispatcher_.Handle(command)) {
            auto out = faults_.Pass(std::move(piece));
            if (!out) {
                if (verbose_) std::cerr << "gensim lan -> (dropped)\n";
                continue;
            }
            if (verbose_) std::cerr << "gensim lan -> " << Printable(*out) << '\n';
            loop_.After(faults_.Delay(), [fd = fd_, from, text = std::move(*out)] {
                sendto(fd, text.data(), text.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&from),
                       sizeof from);
            });
        }
    }
}

}  // namespace gensim
