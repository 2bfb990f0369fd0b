// UDP queries to the generator simulator (see gensim_link.h).
#include "gensim_link.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "zorbel/numbers.h"

namespace scopesim {

namespace {

constexpr std::uint16_t kGeneratorPort = 9966;
constexpr std::chrono::milliseconds kAnswerWait{300};

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

class GensimSignals final : public SignalSource {
public:
    GensimSignals(int fd, sockaddr_in peer, std::array<int, 2> outputs) : fd_(fd), peer_(peer), outputs_(outputs) {}
    ~GensimSignals() override { ::close(fd_); }
    GensimSignals(const GensimSignals&) = delete;
    GensimSignals& operator=(const GensimSignals&) = delete;

    ChannelSignal Signal(int channel) override {
        ChannelSignal off;
        off.on = false;
        const std::string query = "SIMulator:OUTPut? " + zorbel::formatInt(outputs_[channel == 0 ? 0 : 1]);
        Discard();
        if (::sendto(fd_, query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&peer_), sizeof peer_) < 0)
            return off;
        const auto answer = Receive();
        if (!answer) return off;
        return ParseOutputAnswer(*answer).value_or(off);
    }

private:
    // Late answers to earlier queries must not be taken for this one.
    void Discard() {
        char sink[512];
        while (::recv(fd_, sink, sizeof sink, MSG_DONTWAIT) > 0) {}
    }

    std::optional<std::string> Receive() {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + kAnswerWait;
        std::vector<char> buffer(2048);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd entry{fd_, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t got = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                           reinterpret_cast<sockaddr*>(&from), &fromLength);
            // Only the generator simulator's own address counts.
            if (got >= 0 && from.sin_addr.s_addr == peer_.sin_addr.s_addr)
                return std::string(buffer.data(), static_cast<std::size_t>(got));
        }
    }

    int fd_;
    sockaddr_in peer_;
    std::array<int, 2> outputs_;
};

}  // namespace

std::optional<ChannelSignal> ParseOutputAnswer(std::string_view answer) {
    std::vector<std::string_view> fields;
    answer = Trim(answer);
    while (true) {
        const auto comma = answer.find(',');
        fields.push_back(Trim(answer.substr(0, comma)));
        if (comma == std::string_view::npos) break;
        answer.remove_prefix(comma + 1);
    }
    if (fields.size() != 5) return std::nullopt;
    ChannelSignal signal;
    if (fields[0] == "ON")
        signal.on = true;
    else if (fields[0] == "OFF")
        signal.on = false;
    else
        return std::nullopt;
    signal.wave = WaveFromWord(std::string(fields[1]));
    if (!zorbel::parseDouble(fields[2], signal.frequencyHz) || !zorbel::parseDouble(fields[3], signal.amplitudeVpp) ||
        !zorbel::parseDouble(fields[4], signal.offsetV))
        return std::nullopt;
    if (!std::isfinite(signal.frequencyHz) || !std::isfinite(signal.amplitudeVpp) || !std::isfinite(signal.offsetV))
        return std::nullopt;
    return signal;
}

std::unique_ptr<SignalSource> MakeGensimSignals(const std::string& address, std::array<int, 2> outputs,
                                                std::string& error) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(kGeneratorPort);
    if (::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1 || (ntohl(peer.sin_addr.s_addr) >> 24) != 127) {
        error = "--gensim-lan needs a loopback address (127.x.y.z), not \"" + address + "\"";
        return nullptr;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = "cannot open a UDP socket for the generator simulator";
        if (fd >= 0) ::close(fd);
        return nullptr;
    }
    return std::make_unique<GensimSignals>(fd, peer, outputs);
}

}  // namespace scopesim
