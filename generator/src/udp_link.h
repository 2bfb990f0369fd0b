// The LAN link: one non-blocking UDP socket to the instrument's port 9966.
// Process-wide; re-opened by qmkHDInitComType.
#pragma once

#include "transport.h"

#include <netinet/in.h>

#include <array>
#include <string>
#include <string_view>

namespace qrv {

class UdpLink final : public Transport {
public:
    UdpLink() = default;
    ~UdpLink() override { Close(); }
    UdpLink(const UdpLink&) = delete;
    UdpLink& operator=(const UdpLink&) = delete;

    // Closes any open socket, stores the dotted-quad address (at most 19
    // characters are kept) and opens a new socket whose peer is that address,
    // port 9966. The link stays closed when the text is not an IPv4 address or
    // the socket cannot be created; every exchange then reports no link.
    void Open(std::string_view addressText);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    std::string AddressText() const { return addressText_.data(); }

    int Exchange(std::string_view command, std::string& received, ExchangeMode mode) override;
    // One datagram per packet, many per system call (sendmmsg).
    int SendPackets(std::span<const std::string_view> packets) override;

private:
    bool SendAll(std::string_view command);
    // A full send buffer (a burst faster than the network card) is waited
    // for, up to kLanAnswerTimeout, instead of failing the send; false when
    // it stays full or the socket fails.
    bool WaitWritable();
    // Waits up to kLanAnswerTimeout for one datagram from the instrument's
    // address; datagrams from other hosts are dropped and the wait goes on.
    void ReceiveAnswer(std::string& received);
    // Drops datagrams already queued (late answers to earlier commands).
    void DiscardWaiting();
    // Moves to a new socket with a new local port. Done before every command
    // that expects an answer: a datagram still on its way to the old port (an
    // answer later than the time-out, the copy of a duplicated answer) would
    // otherwise land in the middle of this command's wait and be taken for its
    // answer. The instrument answers the port a command came from, so such a
    // datagram finds no listener.
    void RenewSocket();

    int fd_ = -1;
    // NUL-terminated dotted quad, 20 bytes as the instrument link keeps it.
    std::array<char, 20> addressText_{};
    in_addr instrument_{};  // answers are taken only from this address
    sockaddr_in peer_{};    // destination; its port follows each answer's source port
};

}  // namespace qrv
