// The two ways to reach the simulator: UDP (LAN) and the virtual USB device.
// Both hand each command to the dispatcher and send its answers, through the
// fault policy, after the configured delay.
#pragma once

#include "families.h"
#include "faults.h"
#include "server.h"
#include "sim_support.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>

namespace gensim {

class LanEndpoint {
public:
    LanEndpoint(EventLoop& loop, Dispatcher& dispatcher, FaultPolicy& faults, bool verbose)
        : loop_(loop), dispatcher_(dispatcher), faults_(faults), verbose_(verbose) {}
    ~LanEndpoint();
    LanEndpoint(const LanEndpoint&) = delete;
    LanEndpoint& operator=(const LanEndpoint&) = delete;

    // Binds UDP port 9966 on `address`; false with `error` set when that fails.
    bool Start(const std::string& address, std::string& error);

private:
    void OnReadable();

    EventLoop& loop_;
    Dispatcher& dispatcher_;
    FaultPolicy& faults_;
    bool verbose_;
    int fd_ = -1;
    std::string datagram_;  // receive buffer, sized once in Start
};

class UsbEndpoint {
public:
    UsbEndpoint(EventLoop& loop, Dispatcher& dispatcher, FaultPolicy& faults, bool verbose)
        : loop_(loop), dispatcher_(dispatcher), faults_(faults), verbose_(verbose) {}
    ~UsbEndpoint();  // closes every connection and removes its socket file
    UsbEndpoint(const UsbEndpoint&) = delete;
    UsbEndpoint& operator=(const UsbEndpoint&) = delete;

    // Listens on a SOCK_SEQPACKET socket at `path` (a stale socket file there
    // is replaced, one that another device still serves is refused); false
    // with `error` set when that fails.
    bool Start(const std::string& path, std::string& error);

private:
    void OnConnection();
    void OnPacket(std::uint64_t client);
    void OnCommandPacket(std::string_view packet);
    void OnReadRequest(std::uint64_t client, std::string_view packet);
    void Disconnect(std::uint64_t client);

    EventLoop& loop_;
    Dispatcher& dispatcher_;
    FaultPolicy& faults_;
    bool verbose_;
    int listenFd_ = -1;
    zorbel::sim::SocketFile socketFile_;
    // Connections by id: a delayed reply must not reach a later connection
    // that happens to get the same descriptor.
    std::map<std::uint64_t, int> clients_;
    std::uint64_t nextClient_ = 1;
    // The device's output queue: one entry per answer, taken by read
    // requests in order (nullopt: a dropped answer, whose read request gets
    // no reply). Survives connections, as chunked answers are read in later
    // exchanges; a new command replaces what was not read.
    std::deque<std::optional<std::string>> output_;
    std::string packet_;  // receive buffer
};

}  // namespace gensim
