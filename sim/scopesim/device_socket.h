// The oscilloscope's virtual USB device: a Unix SOCK_SEQPACKET socket on which
// every bulk transfer is one connection (see scope/src/socket_transport.cpp):
// a connection that sends a packet is a bulk write on pipe 0; one that shuts
// down its sending side and waits is a bulk read on pipe 1 and gets the next
// queued reply; one that just closes was a presence check.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim_support.h"

namespace scopesim {

using Bytes = std::vector<std::uint8_t>;

class DeviceSocket {
public:
    // Called with the bytes of every bulk write, in arrival order.
    using WriteHandler = std::function<void(std::span<const std::uint8_t>)>;

    // Listens at `path`. A stale socket file is replaced; a path where a device
    // still answers is refused. Null and `error` set on failure.
    static std::unique_ptr<DeviceSocket> Listen(const std::string& path, std::string& error);
    ~DeviceSocket();  // closes every connection and removes its socket file
    DeviceSocket(const DeviceSocket&) = delete;
    DeviceSocket& operator=(const DeviceSocket&) = delete;

    void OnWrite(WriteHandler handler) { onWrite_ = std::move(handler); }

    // Queues a reply for the bulk reads; it becomes readable `delay` from now.
    void QueueReply(Bytes reply, std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    // Forgets replies nobody has read yet.
    void DropReplies() { replies_.clear(); }
    std::size_t QueuedReplies() const { return replies_.size(); }

    // Closes the device at once, even from inside the write handler: the
    // socket file disappears and later transfers find no device.
    void Close();

    // Serves for at most `timeout` (one round of waiting). Returns true when
    // `wakeFd` (if not -1) became readable; the caller drains it.
    bool Serve(std::chrono::milliseconds timeout, int wakeFd = -1);

private:
    using Clock = std::chrono::steady_clock;
    struct Reply {
        Bytes bytes;
        Clock::time_point readyAt;
    };

    explicit DeviceSocket(int listenFd) : listenFd_(listenFd) {}
    void AcceptAll();
    void Classify(int fd);  // a fresh connection that has become readable
    void Deliver();

    int listenFd_;
    zorbel::sim::SocketFile socketFile_;
    bool closed_ = false;
    WriteHandler onWrite_;
    std::vector<int> fresh_;   // accepted, direction not known yet
    std::deque<int> readers_;  // bulk reads waiting for a reply, oldest first
    std::deque<Reply> replies_;
};

}  // namespace scopesim
