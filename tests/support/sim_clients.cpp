#include "sim_clients.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace zorbel::test {

namespace {

std::optional<std::string> ReceiveOne(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
    std::string buffer(70000, '\0');
    const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
    if (n < 0) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

}  // namespace

UdpClient::UdpClient(const std::string& serverAddress) : server_(serverAddress) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

UdpClient::~UdpClient() {
    if (fd_ >= 0) close(fd_);
}

void UdpClient::Send(const std::string& bytes) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9966);
    inet_pton(AF_INET, server_.c_str(), &to.sin_addr);
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

std::optional<std::string> UdpClient::Receive(std::chrono::milliseconds timeout) { return ReceiveOne(fd_, timeout); }

std::optional<std::string> UdpClient::Ask(const std::string& command, std::chrono::milliseconds timeout) {
    Send(command);
    return Receive(timeout);
}

UsbClient::UsbClient(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) return;
    std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
    fd_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd_ >= 0 && connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

UsbClient::~UsbClient() {
    if (fd_ >= 0) close(fd_);
}

void UsbClient::Send(const std::string& packet) { send(fd_, packet.data(), packet.size(), MSG_NOSIGNAL); }

std::optional<std::string> UsbClient::Receive(std::chrono::milliseconds timeout) { return ReceiveOne(fd_, timeout); }

}  // namespace zorbel::test
