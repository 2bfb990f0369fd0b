// Sync handshake and exchange pattern (see link.h).
#include "link.h"

#include <algorithm>

#include "pause.h"

namespace qmk {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kSyncReply = kCodeSync | kReplyBit;

}  // namespace

std::size_t PausedRead(Transport& transport, std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) {
    Pause(kReadPause);
    return transport.Read(buffer, timeout);
}

Bytes SyncRequest(std::uint16_t sequence) {
    // The one big-endian number of the protocol.
    const std::uint8_t data[] = {static_cast<std::uint8_t>(sequence >> 8), static_cast<std::uint8_t>(sequence & 0xFF)};
    return BuildFrame(kCodeSync, data);
}

Link::Link(Transport& transport, std::uint16_t& sequence)
    : transport_(transport),
      sequence_(sequence),
      windowStart_(Clock::now()),
      reply_(kMaxTransfer),
      next_(kMaxTransfer),
      sync_(kMaxTransfer) {}

std::chrono::milliseconds Link::TimeLeft() const {
    const auto left = kRetryWindow - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - windowStart_);
    // Never a zero time-out: the last read of a window still gets a chance.
    return std::clamp(left, std::chrono::milliseconds(1), kTransferTimeout);
}

std::size_t Link::ReadInto(Bytes& buffer) {
    std::fill(buffer.begin(), buffer.end(), 0);
    return PausedRead(transport_, buffer, TimeLeft());
}

bool Link::Sync() {
    if (!transport_.Present()) return false;
    ++sequence_;
    transport_.Write(SyncRequest(sequence_));
    windowStart_ = Clock::now();
    while (Clock::now() - windowStart_ <= kRetryWindow) {
        if (!transport_.Present()) return false;
        const std::size_t length = ReadInto(sync_);
        const auto frame = CheckFrame(std::span<const std::uint8_t>(sync_.data(), length));
        if (!frame) continue;  // damaged: read again without resending
        if (frame->code == kSyncReply) {
            const auto high = frame->DataByte(4);
            const auto low = frame->DataByte(5);
            if (high && low && ((*high << 8) | *low) == sequence_) return true;
            continue;  // an older sync's answer: the current one may follow
        }
        // A left-over answer to something else: start a fresh handshake.
        ++sequence_;
        transport_.Write(SyncRequest(sequence_));
    }
    return false;
}

bool Link::Exchange(std::span<const std::uint8_t> request, const Acceptor& accept) {
    if (!Sync() || !transport_.Present()) return false;
    windowStart_ = Clock::now();
    while (Clock::now() - windowStart_ <= kRetryWindow) {
        transport_.Write(request);
        if (!transport_.Present()) return false;
        replyLength_ = ReadInto(reply_);
        nextLength_ = 0;
        if (accept(Reply())) return true;
        Pause(kRetryPause);
    }
    return false;
}

std::span<const std::uint8_t> Link::ReadNext() {
    nextLength_ = ReadInto(next_);
    return Next();
}

}  // namespace qmk
