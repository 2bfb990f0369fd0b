// The virtual USB device: a SOCK_SEQPACKET socket on which every packet is
// one bulk transfer with its 12-byte header, exactly as on the USB pipes.
// Command packets (type 1) are executed; read requests (type 2) are answered
// with one reply packet (type 2, same tag, payload length, end-of-message).
#include "command_text.h"
#include "endpoints.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace gensim {

namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kMaxPacket = 65536;

std::uint32_t LittleEndian32(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

// Type, tag and the tag's complement as the host must send them.
bool HeaderValid(std::string_view packet, unsigned char type) {
    return packet.size() >= kHeaderSize && static_cast<unsigned char>(packet[0]) == type &&
           static_cast<unsigned char>(packet[2]) == static_cast<unsigned char>(~static_cast<unsigned char>(packet[1]));
}

std::string ReplyPacket(unsigned char tag, std::string_view payload) {
    std::string packet(kHeaderSize, '\0');
    const auto length = static_cast<std::uint32_t>(payload.size());
    packet[0] = 2;
    packet[1] = static_cast<char>(tag);
    packet[2] = static_cast<char>(static_cast<unsigned char>(~tag));
    for (int i = 0; i < 4; ++i) packet[4 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    packet[8] = 1;  // end of message
    packet.append(payload);
    return packet;
}

}  // namespace

UsbEndpoint::~UsbEndpoint() {
    for (const auto& [id, fd] : clients_) {
        loop_.Unwatch(fd);
        ::close(fd);
    }
    if (listenFd_ >= 0) {
        loop_.Unwatch(listenFd_);
        ::close(listenFd_);
        socketFile_.RemoveIfOurs();
    }
}

bool UsbEndpoint::Start(const std::string& path, std::string& error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        error = "socket path empty or too long: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    // A socket someone still serves is another device, not a leftover:
    // taking it over would cut that device off for good.
    if (zorbel::sim::SocketAnswers(path)) {
        error = "a device already answers at " + path;
        return false;
    }
    struct stat existing {};
    if (lstat(path.c_str(), &existing) == 0 && S_ISSOCK(existing.st_mode)) ::unlink(path.c_str());
    listenFd_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, 64) != 0) {
        error = "cannot listen on " + path + ": " + std::strerror(errno);
        if (listenFd_ >= 0) ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    socketFile_.Remember(path);
    loop_.Watch(listenFd_, [this] { OnConnection(); });
    return true;
}

void UsbEndpoint::OnConnection() {
    for (;;) {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        const std::uint64_t id = nextClient_++;
        clients_[id] = fd;
        loop_.Watch(fd, [this, id] { OnPacket(id); });
    }
}

void UsbEndpoint::Disconnect(std::uint64_t client) {
    const auto found = clients_.find(client);
    if (found == clients_.end()) return;
    loop_.Unwatch(found->second);
    ::close(found->second);
    clients_.erase(found);
}

void UsbEndpoint::OnPacket(std::uint64_t client) {
    const auto found = clients_.find(client);
    if (found == clients_.end()) return;
    // One buffer for every packet: a download sends tens of thousands.
    std::string& buffer = packet_;
    if (buffer.size() != kMaxPacket) buffer.assign(kMaxPacket, '\0');
    const ssize_t n = recv(found->second, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n <= 0) {  // the exchange is over (or broke)
        Disconnect(client);
        return;
    }
    const std::string_view packet(buffer.data(), static_cast<std::size_t>(n));
    if (HeaderValid(packet, 1))
        OnCommandPacket(packet);
    else if (HeaderValid(packet, 2))
        OnReadRequest(client, packet);
    else
        std::cerr << "gensim usb: malformed packet ignored: " << Printable(packet.substr(0, kHeaderSize)) << '\n';
}

void UsbEndpoint::OnCommandPacket(std::string_view packet) {
    const std::uint32_t length = LittleEndian32(packet, 4);
    const std::string_view payload = packet.substr(kHeaderSize);
    if (length != payload.size()) {
        std::cerr << "gensim usb: command packet claims " << length << " bytes but carries " << payload.size()
                  << "; ignored\n";
        return;
    }
    if (verbose_) std::cerr << "gensim usb <- " << Printable(payload) << '\n';
    output_.clear();  // a new command: answers nobody asked for are gone
    for (auto& piece : dispatcher_.Handle(payload)) output_.push_back(faults_.Pass(std::move(piece)));
}

void UsbEndpoint::OnReadRequest(std::uint64_t client, std::string_view packet) {
    const auto tag = static_cast<unsigned char>(packet[1]);
    const std::uint32_t requested = LittleEndian32(packet, 4);
    if (output_.empty()) {
        if (verbose_) std::cerr << "gensim usb: read request with nothing to answer\n";
        return;  // as a real device: the host's read times out
    }
    std::optional<std::string> answer = std::move(output_.front());
    output_.pop_front();
    if (!answer) {
        if (verbose_) std::cerr << "gensim usb -> (dropped)\n";
        return;
    }
    if (answer->size() > requested) answer->resize(requested);
    if (verbose_) std::cerr << "gensim usb -> " << Printable(*answer) << '\n';
    loop_.After(faults_.Delay(), [this, client, reply = ReplyPacket(tag, *answer)] {
        const auto found = clients_.find(client);
        if (found != clients_.end()) send(found->second, reply.data(), reply.size(), MSG_NOSIGNAL);
    });
}

}  // namespace gensim
