// A stand-in USB instrument for tests: listens on a SOCK_SEQPACKET socket
// (the virtual USB device), records every packet of every connection
// exactly, and answers read requests by script, on its own thread.
// Independent of the library's own framing code, so that it can check it.
#pragma once

#include "temp_dir.h"

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

// Packet bytes as they cross the USB pipes: 12-byte header (type, tag, tag
// complement, 0, length little-endian, end-of-message flag, three zeros).
std::string UsbCommandPacket(std::uint8_t tag, const std::string& payload);     // type 1, flag 1
std::string UsbReadRequest(std::uint8_t tag, std::uint32_t requested = 10255);  // type 2, flag 0
// A reply: type 2, the request's tag, flag 1; `claimedLength` replaces the
// payload length in the header (to claim more or less than is carried).
std::string UsbReplyPacket(std::uint8_t tag, const std::string& payload,
                           std::optional<std::uint32_t> claimedLength = std::nullopt);

class ScriptedUsbPeer {
public:
    // The answer to one read request.
    struct Reply {
        std::string payload;
        std::optional<std::uint32_t> claimedLength;  // header length other than payload.size()
        std::optional<std::string> rawPacket;        // sent instead of a well-formed reply
        bool silent = false;                         // no reply at all: the host's read times out
        std::chrono::milliseconds delay{0};
    };

    // Listens in its own temporary folder. Throws std::runtime_error on failure.
    ScriptedUsbPeer();
    ~ScriptedUsbPeer();
    ScriptedUsbPeer(const ScriptedUsbPeer&) = delete;
    ScriptedUsbPeer& operator=(const ScriptedUsbPeer&) = delete;

    const std::string& path() const { return path_; }
    std::string device() const { return "unix:" + path_; }  // for QRV_USB_DEVICE

    // The n-th read request takes the n-th queued reply; unscripted read
    // requests get the responder's answer to the last command payload, or,
    // without a responder, an empty reply (header only, length 0).
    void QueueReply(Reply reply);
    void QueueReply(std::string payload);
    void SetResponder(std::function<std::optional<std::string>(const std::string&)> responder);

    // Every connection (one per exchange) with its packets in order.
    std::vector<std::vector<std::string>> Connections() const;
    // Waits until `count` connections have been closed by the host.
    bool WaitForClosedConnections(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

private:
    void Run();
    // Reads and answers one packet; false when the connection has ended.
    bool OnPacket(std::size_t connection, int fd);

    TempDir dir_;
    std::string path_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<Reply> script_;
    std::function<std::optional<std::string>(const std::string&)> responder_;
    std::string lastCommand_;
    std::vector<std::vector<std::string>> connections_;
    std::size_t closed_ = 0;
    std::thread thread_;
};

}  // namespace zorbel::test
