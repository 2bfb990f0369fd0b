// The fault-injecting generator of the reliability tests (see faulty_instrument.h).
#include "faulty_instrument.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "loopback.h"
#include "zorbel/numbers.h"

namespace zorbel::test {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t kUsbHeader = 12;
constexpr std::uint32_t kOversizeClaim = 20000;
const std::string kGarbage = "\x7f#@!\x01garbage";

std::string UsbReply(std::uint8_t tag, const std::string& payload, std::uint32_t claimed) {
    std::string packet(kUsbHeader, '\0');
    packet[0] = 2;
    packet[1] = static_cast<char>(tag);
    packet[2] = static_cast<char>(static_cast<std::uint8_t>(~tag));
    for (int i = 0; i < 4; ++i) packet[4 + i] = static_cast<char>((claimed >> (8 * i)) & 0xFF);
    packet[8] = 1;
    return packet + payload;
}

// Quantity headers in the order of the library's range table: the index
// makes each range distinct, so a misplaced answer shows.
const char* const kQuantities[] = {
    "VOLTage",
    "FREQuency",
    "VOLTage:OFFSet",
    "PHASe",
    "FUNCtion:SQUare:DCYCle",
    "FUNCtion:RAMP:SYMMetry",
    "FUNCtion:PULSe:DCYCle",
    "FUNCtion:PULSe:WIDTh",
    "FUNCtion:PULSe:TRANsition:LEADing",
    "FUNCtion:PULSe:TRANsition:TRAiling",
};

int QuantityIndex(const std::string& header) {
    for (int i = 0; i < 10; ++i)
        if (header == kQuantities[i]) return i;
    return -1;
}

// "SOURce2:FREQuency" -> channel 2 and "FREQuency".
bool SplitHeader(const std::string& header, int& channel, std::string& quantity) {
    if (header.rfind("SOURce", 0) != 0 || header.size() < 8 || header[7] != ':') return false;
    channel = header[6] - '0';
    quantity = header.substr(8);
    return channel == 1 || channel == 2;
}

}  // namespace

const char* FaultName(Fault fault) {
    switch (fault) {
    case Fault::None:
        return "None";
    case Fault::Lost:
        return "Lost";
    case Fault::Late:
        return "Late";
    case Fault::Slow:
        return "Slow";
    case Fault::Duplicated:
        return "Duplicated";
    case Fault::Truncated:
        return "Truncated";
    case Fault::Oversize:
        return "Oversize";
    case Fault::Garbage:
        return "Garbage";
    case Fault::GoneDuring:
        return "GoneDuring";
    }
    return "?";
}

std::chrono::milliseconds FaultyInstrument::LateDelay(LinkKind link) { return link == LinkKind::Lan ? 620ms : 2150ms; }

// Six significant digits at most, so that "%G" carries them exactly.
double FaultyInstrument::RangeMaximum(const std::string& header, int channel) {
    return 10000.0 * (QuantityIndex(header) + 1) + channel;
}

double FaultyInstrument::RangeMinimum(const std::string& header, int channel) {
    // The offset may be negative; every other quantity starts at 0.
    return header == "VOLTage:OFFSet" ? -RangeMaximum(header, channel) : 0.0;
}

FaultyInstrument::FaultyInstrument(LinkKind link) : link_(link) {
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe failed");
    path_ = dir_.file("usb.sock");
    for (int attempt = 0; attempt < 10 && listenFd_ < 0; ++attempt) {
        address_ = UniqueLoopbackAddress();
        Listen();
    }
    if (listenFd_ < 0) throw std::runtime_error(std::string("cannot serve the instrument: ") + std::strerror(errno));
    thread_ = std::thread([this] { Run(); });
}

FaultyInstrument::~FaultyInstrument() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    const char byte = 'q';
    [[maybe_unused]] const ssize_t ignored = write(wake_[1], &byte, 1);
    thread_.join();
    StopListening();
    close(wake_[0]);
    close(wake_[1]);
}

std::uint32_t FaultyInstrument::AddressValue() const { return test::AddressValue(address_); }

void FaultyInstrument::Listen() {
    if (link_ == LinkKind::Lan) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(9966);
        inet_pton(AF_INET, address_.c_str(), &local.sin_addr);
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0)
            listenFd_ = fd;
        else if (fd >= 0)
            close(fd);
        return;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path_.c_str(), path_.size());
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 && listen(fd, 16) == 0)
        listenFd_ = fd;
    else if (fd >= 0)
        close(fd);
}

// Called with the mutex held or after the thread has ended.
void FaultyInstrument::StopListening() {
    if (listenFd_ >= 0) close(listenFd_);
    listenFd_ = -1;
    if (link_ == LinkKind::Usb) unlink(path_.c_str());
    for (int fd : connections_) close(fd);
    connections_.clear();
    pending_.clear();
    outgoing_.clear();
}

void FaultyInstrument::FaultAt(std::size_t n, Fault fault) {
    std::lock_guard lock(mutex_);
    faults_[answers_ + n] = fault;
}

void FaultyInstrument::SetAllSlow(bool slow) {
    std::lock_guard lock(mutex_);
    allSlow_ = slow;
}

void FaultyInstrument::Disappear() {
    {
        std::lock_guard lock(mutex_);
        StopListening();
    }
    const char byte = 'w';
    [[maybe_unused]] const ssize_t ignored = write(wake_[1], &byte, 1);
}

void FaultyInstrument::Reappear() {
    {
        std::lock_guard lock(mutex_);
        if (listenFd_ < 0) Listen();
        if (listenFd_ < 0) throw std::runtime_error("the instrument cannot come back");
    }
    const char byte = 'w';
    [[maybe_unused]] const ssize_t ignored = write(wake_[1], &byte, 1);
}

std::vector<std::string> FaultyInstrument::Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

std::size_t FaultyInstrument::AnswersDue() const {
    std::lock_guard lock(mutex_);
    return answers_;
}

std::optional<std::string> FaultyInstrument::Setting(const std::string& header) const {
    std::lock_guard lock(mutex_);
    const auto found = settings_.find(header);
    if (found == settings_.end()) return std::nullopt;
    return found->second;
}

std::optional<std::string> FaultyInstrument::Answer(const std::string& command) {
    if (command == "DISPlay:REFResh") return std::nullopt;
    int channel = 0;
    std::string quantity;
    for (const char* bound : {"? MAXimum", "? MINimum"}) {
        const auto at = command.find(bound);
        if (at == std::string::npos || !SplitHeader(command.substr(0, at), channel, quantity)) continue;
        const bool maximum = bound[2] == 'M' && bound[3] == 'A';
        return formatWindowsG(maximum ? RangeMaximum(quantity, channel) : RangeMinimum(quantity, channel));
    }
    if (!command.empty() && command.back() == '?') {
        const std::string header = command.substr(0, command.size() - 1);
        const auto found = settings_.find(header);
        if (found != settings_.end()) return found->second;
        if (header.rfind("OUTPut", 0) == 0) return "OFF";
        if (header.ends_with(":FUNCtion")) return "SINusoid";
        return "1";
    }
    const auto space = command.find(' ');
    if (space == std::string::npos) return "0";
    const std::string value = command.substr(space + 1);
    settings_[command.substr(0, space)] = value;
    return value;  // the instrument repeats what it was given
}

Fault FaultyInstrument::Received(const std::string& command, bool answered) {
    commands_.push_back(command);
    if (!answered) return Fault::None;
    const std::size_t n = answers_++;
    const auto found = faults_.find(n);
    if (found != faults_.end()) return found->second;
    return allSlow_ ? Fault::Slow : Fault::None;
}

void FaultyInstrument::Send(int fd, const std::string& bytes, const std::string& to, std::chrono::milliseconds delay) {
    outgoing_.push_back({Clock::now() + delay, fd, bytes, to});
}

void FaultyInstrument::SendAnswer(int fd, const std::string& answer, Fault fault, const std::string& to,
                                  std::uint8_t tag) {
    const bool usb = link_ == LinkKind::Usb;
    const auto whole = [&](const std::string& payload) {
        return usb ? UsbReply(tag, payload, static_cast<std::uint32_t>(payload.size())) : payload;
    };
    switch (fault) {
    case Fault::None:
        Send(fd, whole(answer), to, 0ms);
        break;
    case Fault::Lost:
        break;
    case Fault::Late:
        Send(fd, whole(answer), to, LateDelay(link_));
        break;
    case Fault::Slow:
        Send(fd, whole(answer), to, kSlowDelay);
        break;
    case Fault::Duplicated:
        // The copy a little later, while the library already waits for its next answer.
        Send(fd, whole(answer), to, 0ms);
        Send(fd, whole(answer), to, 100ms);
        break;
    case Fault::Truncated: {
        const std::string half = answer.substr(0, answer.size() / 2);
        Send(fd, usb ? UsbReply(tag, half, static_cast<std::uint32_t>(answer.size())) : half, to, 0ms);
        break;
    }
    case Fault::Oversize: {
        const std::string big = answer + std::string(11000, 'x');
        Send(fd, usb ? UsbReply(tag, big, kOversizeClaim) : big, to, 0ms);
        break;
    }
    case Fault::Garbage:
        Send(fd, whole(kGarbage), to, 0ms);
        break;
    case Fault::GoneDuring:
        StopListening();
        break;
    }
}

void FaultyInstrument::OnLanDatagram() {
    std::string buffer(65536, '\0');
    for (;;) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n =
            recvfrom(listenFd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0) return;
        const std::string command(buffer.data(), static_cast<std::size_t>(n));
        const auto answer = Answer(command);
        const Fault fault = Received(command, answer.has_value());
        if (!answer) continue;
        SendAnswer(listenFd_, *answer, fault, std::string(reinterpret_cast<const char*>(&from), sizeof from), 0);
        if (listenFd_ < 0) return;  // gone during the exchange
    }
}

bool FaultyInstrument::OnUsbPacket(int fd) {
    std::string packet(70000, '\0');
    const ssize_t n = recv(fd, packet.data(), packet.size(), 0);
    if (n <= 0) return false;
    packet.resize(static_cast<std::size_t>(n));
    if (packet.size() < kUsbHeader) return true;
    if (packet[0] == 1) {
        const std::string command = packet.substr(kUsbHeader);
        auto answer = Answer(command);
        const Fault fault = Received(command, answer.has_value());
        if (answer) pending_[fd] = {std::move(*answer), fault};
        // The device goes as soon as it has the command, before any read request.
        if (answer && fault == Fault::GoneDuring) StopListening();
        return true;
    }
    if (packet[0] == 2) {
        const auto found = pending_.find(fd);
        if (found == pending_.end()) return true;  // nothing to answer: the host's read times out
        const auto [answer, fault] = found->second;
        pending_.erase(found);
        SendAnswer(fd, answer, fault, {}, static_cast<std::uint8_t>(packet[1]));
    }
    return true;
}

void FaultyInstrument::Run() {
    for (;;) {
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}};
        int timeout = -1;
        {
            std::lock_guard lock(mutex_);
            if (stop_) return;
            if (listenFd_ >= 0) fds.push_back({listenFd_, POLLIN, 0});
            for (int fd : connections_) fds.push_back({fd, POLLIN, 0});
            for (const Outgoing& out : outgoing_) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(out.due - Clock::now()).count();
                timeout = timeout < 0 ? std::max<int>(0, static_cast<int>(left))
                                      : std::min(timeout, std::max<int>(0, static_cast<int>(left)));
            }
        }
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return;
        std::lock_guard lock(mutex_);
        if (stop_) return;
        if (fds[0].revents) {
            char scrap[64];
            while (read(wake_[0], scrap, sizeof scrap) > 0) {}
        }
        // Events of descriptors closed meanwhile (the device went) are stale: skip them.
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            const int fd = fds[i].fd;
            if (fd == listenFd_ && link_ == LinkKind::Lan) {
                OnLanDatagram();
            } else if (fd == listenFd_) {
                const int accepted = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (accepted >= 0) connections_.push_back(accepted);
            } else if (std::find(connections_.begin(), connections_.end(), fd) != connections_.end()) {
                if (!OnUsbPacket(fd)) {
                    // The exchange is over: its late answers go nowhere.
                    close(fd);
                    std::erase(connections_, fd);
                    pending_.erase(fd);
                    std::erase_if(outgoing_, [fd](const Outgoing& out) { return out.fd == fd; });
                }
            }
        }
        const auto now = Clock::now();
        std::vector<Outgoing> due;
        for (auto it = outgoing_.begin(); it != outgoing_.end();) {
            if (it->due <= now) {
                due.push_back(*it);
                it = outgoing_.erase(it);
            } else {
                ++it;
            }
        }
        for (const Outgoing& out : due) {
            if (link_ == LinkKind::Lan) {
                if (listenFd_ < 0) continue;
                sendto(listenFd_, out.bytes.data(), out.bytes.size(), MSG_NOSIGNAL,
                       reinterpret_cast<const sockaddr*>(out.to.data()), static_cast<socklen_t>(out.to.size()));
            } else {
                send(out.fd, out.bytes.data(), out.bytes.size(), MSG_NOSIGNAL);
            }
        }
    }
}

}  // namespace zorbel::test
