// Framed exchanges with the oscilloscope: the sync handshake that brackets
// every request, and the exchange pattern that repeats a request until an
// acceptable reply arrives or 5000 ms have passed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>

#include "frame.h"
#include "transport.h"

namespace qmk {

// How long a request or a sync is repeated before it fails.
inline constexpr std::chrono::milliseconds kRetryWindow{5000};
// Pause before every read of pipe 1: the instrument needs it to prepare a reply.
inline constexpr std::chrono::milliseconds kReadPause{100};
// Pause before a request is sent again after an unacceptable reply.
inline constexpr std::chrono::milliseconds kRetryPause{100};

// One bulk read after the read pause, as every read of the library is done.
std::size_t PausedRead(Transport& transport, std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout);

// The sync request for sequence number `sequence` (sent high byte first).
Bytes SyncRequest(std::uint16_t sequence);

class Link {
public:
    // `sequence` is the library's process-wide sequence number.
    Link(Transport& transport, std::uint16_t& sequence);

    // Sync exchange: true when the instrument echoed the current sequence number.
    bool Sync();

    // Decides whether the first reply (all bytes received) completes the
    // request; may call ReadNext() for the further frame of a two-frame reply.
    using Acceptor = std::function<bool(std::span<const std::uint8_t> reply)>;

    // Exchange pattern without its closing sync: sync, then the request
    // repeated until `accept` takes a reply. The accepted reply stays in
    // Reply() (and a further frame in Next()) until the next exchange.
    bool Exchange(std::span<const std::uint8_t> request, const Acceptor& accept);

    // Reads the frame that follows the first reply of a two-frame answer.
    std::span<const std::uint8_t> ReadNext();

    std::span<const std::uint8_t> Reply() const { return {reply_.data(), replyLength_}; }
    std::span<const std::uint8_t> Next() const { return {next_.data(), nextLength_}; }
    // The whole zero-filled receive buffer of the first reply (65535 bytes):
    // the parameter block read takes one byte beyond the frame from it.
    std::span<const std::uint8_t> ReplyBuffer() const { return reply_; }

private:
    // Reads into `buffer` (cleared first) with the time left in the window.
    std::size_t ReadInto(Bytes& buffer);
    std::chrono::milliseconds TimeLeft() const;

    Transport& transport_;
    std::uint16_t& sequence_;
    std::chrono::steady_clock::time_point windowStart_;
    Bytes reply_;
    Bytes next_;
    Bytes sync_;
    std::size_t replyLength_ = 0;
    std::size_t nextLength_ = 0;
};

}  // namespace qmk
