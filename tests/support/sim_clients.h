// Raw clients for simulator tests: a UDP socket and a virtual-USB connection
// that send exact bytes and wait for answers with a time-out.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace zorbel::test {

class UdpClient {
public:
    explicit UdpClient(const std::string& serverAddress);
    ~UdpClient();
    UdpClient(const UdpClient&) = delete;
    UdpClient& operator=(const UdpClient&) = delete;

    void Send(const std::string& bytes);
    // One datagram, or nullopt after `timeout`.
    std::optional<std::string> Receive(std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    // Send, then Receive.
    std::optional<std::string> Ask(const std::string& command,
                                   std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

private:
    int fd_ = -1;
    std::string server_;
};

// One connection to a virtual USB device, as one exchange of the library.
class UsbClient {
public:
    explicit UsbClient(const std::string& socketPath);
    ~UsbClient();
    UsbClient(const UsbClient&) = delete;
    UsbClient& operator=(const UsbClient&) = delete;

    bool Connected() const { return fd_ >= 0; }
    void Send(const std::string& packet);
    // One packet, or nullopt after `timeout`.
    std::optional<std::string> Receive(std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

private:
    int fd_ = -1;
};

}  // namespace zorbel::test
