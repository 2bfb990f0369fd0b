// A stand-in LAN instrument for tests: binds UDP on a loopback address,
// records every datagram exactly and answers by script, on its own thread.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zorbel::test {

class ScriptedUdpPeer {
public:
    // What to do with one received datagram.
    struct Reply {
        std::vector<std::string> datagrams;  // sent in order; none: stay silent
        std::chrono::milliseconds delay{0};  // after receipt (the peer keeps receiving meanwhile)
        bool fromAlternatePort = false;      // answer from the peer's second port
    };

    struct Datagram {
        std::string bytes;
        sockaddr_in from{};
        bool toAlternatePort = false;  // arrived at the second port
    };

    // Binds `address`:`port` (and a second, system-chosen port on the same
    // address). Without an address a fresh loopback address is taken, with
    // retries when one is in use. Throws std::runtime_error when binding fails.
    explicit ScriptedUdpPeer(std::string address = {}, std::uint16_t port = 9966);
    ~ScriptedUdpPeer();
    ScriptedUdpPeer(const ScriptedUdpPeer&) = delete;
    ScriptedUdpPeer& operator=(const ScriptedUdpPeer&) = delete;

    const std::string& address() const { return address_; }
    std::uint32_t addressValue() const;  // for qmkHDInitComType
    std::uint16_t alternatePort() const { return alternatePort_; }

    // The n-th datagram received takes the n-th queued reply; when none is
    // queued the responder answers (if set), otherwise the peer is silent.
    void QueueReply(Reply reply);
    void QueueReply(std::string text, std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    void QueueSilence();
    // Answers unscripted datagrams: the reply text, or nullopt for silence.
    void SetResponder(std::function<std::optional<std::string>(const std::string&)> responder);

    std::vector<Datagram> Received() const;
    std::vector<std::string> ReceivedTexts() const;
    // Waits until at least `count` datagrams arrived; false on time-out.
    bool WaitForReceived(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // Sends `bytes` from the peer's main port to where the last datagram came from.
    void SendToLastSender(const std::string& bytes);

private:
    struct Pending {
        std::chrono::steady_clock::time_point due;
        sockaddr_in to;
        std::string bytes;
        bool fromAlternatePort;
    };
    void Run();
    void OnDatagram(int fd, bool alternate);

    std::string address_;
    std::uint16_t alternatePort_ = 0;
    int fd_ = -1;
    int alternateFd_ = -1;
    int stopPipe_[2] = {-1, -1};

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<Reply> script_;
    std::function<std::optional<std::string>(const std::string&)> responder_;
    std::vector<Datagram> received_;
    std::vector<Pending> pending_;  // touched by the peer thread only
    std::thread thread_;
};

// Sends one datagram from `fromAddress` (any port) to `to`: a stranger on the network.
void SendDatagramFrom(const std::string& fromAddress, const sockaddr_in& to, const std::string& bytes);

}  // namespace zorbel::test
