// A generator that answers every command of the library as the instrument
// does (settings are stored and repeated, ranges are fixed per quantity and
// channel, so every answer tells which command it belongs to) and spoils the
// answers the test names: lost, late, duplicated, truncated, oversize,
// garbage, or the device gone in the middle of the exchange. It serves the
// LAN link (UDP on a loopback address) or the virtual USB device (seqpacket
// socket in a private folder), on its own thread, and can go away and come
// back between exchanges.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "temp_dir.h"

namespace zorbel::test {

enum class Fault {
    None,
    Lost,        // never answered
    Late,        // answered after the library's time-out
    Slow,        // answered late, yet within the time-out
    Duplicated,  // answered twice, the copy 100 ms after the first
    Truncated,   // the first half of the answer (USB: the header still claims the whole)
    Oversize,    // more bytes than the library's buffer (USB: the header claims 20000)
    Garbage,     // bytes that are no answer
    GoneDuring,  // the command arrives, then the device disappears without answering
};

const char* FaultName(Fault fault);

enum class LinkKind { Lan, Usb };

class FaultyInstrument {
public:
    // How late Fault::Late and Fault::Slow answers are sent, per link: past
    // the library's time-out (500 ms LAN, 2000 ms USB) and well within it.
    static std::chrono::milliseconds LateDelay(LinkKind link);
    static constexpr std::chrono::milliseconds kSlowDelay{250};

    // Starts serving at once. Throws std::runtime_error when it cannot.
    explicit FaultyInstrument(LinkKind link);
    ~FaultyInstrument();
    FaultyInstrument(const FaultyInstrument&) = delete;
    FaultyInstrument& operator=(const FaultyInstrument&) = delete;

    LinkKind link() const { return link_; }
    // For qmkHDInitComType (LAN) and QRV_USB_DEVICE (USB).
    std::uint32_t AddressValue() const;
    std::string UsbDevice() const { return "unix:" + path_; }

    // The answer to the n-th command that has one (0 = the next from now) gets `fault`.
    void FaultAt(std::size_t n, Fault fault);
    // Every answer from now on is sent kSlowDelay late (until cleared).
    void SetAllSlow(bool slow);

    // The device disappears (LAN: nobody listens; USB: no socket) and comes back.
    void Disappear();
    void Reappear();

    // Commands received, in order; those with an answer count for FaultAt.
    std::vector<std::string> Commands() const;
    std::size_t AnswersDue() const;  // commands with an answer received so far
    // The instrument's present value of a setting ("SOURce1:FREQuency"), or nullopt.
    std::optional<std::string> Setting(const std::string& header) const;
    // The range the instrument reports for a quantity header of a channel (1 or 2).
    static double RangeMaximum(const std::string& header, int channel);
    static double RangeMinimum(const std::string& header, int channel);

private:
    struct Outgoing {
        std::chrono::steady_clock::time_point due;
        int fd;  // LAN: the socket; USB: the connection
        std::string bytes;
        std::string to;  // LAN: sockaddr bytes of the sender
    };

    void Run();
    void Listen();
    void StopListening();
    void OnLanDatagram();
    bool OnUsbPacket(int fd);  // false when the connection ended
    // The instrument's answer to a command, or nullopt for a command without one.
    std::optional<std::string> Answer(const std::string& command);
    // Records the command and decides the fault of its answer.
    Fault Received(const std::string& command, bool answered);
    void Send(int fd, const std::string& bytes, const std::string& to, std::chrono::milliseconds delay);
    void SendAnswer(int fd, const std::string& answer, Fault fault, const std::string& to, std::uint8_t tag);

    const LinkKind link_;
    TempDir dir_;
    std::string address_;  // LAN
    std::string path_;     // USB
    int wake_[2] = {-1, -1};

    mutable std::mutex mutex_;
    int listenFd_ = -1;
    bool present_ = true;
    bool allSlow_ = false;
    std::vector<int> connections_;                          // USB: one per exchange
    std::map<int, std::pair<std::string, Fault>> pending_;  // USB: answer awaiting its read request
    std::map<std::size_t, Fault> faults_;                   // by answer number
    std::size_t answers_ = 0;
    std::vector<std::string> commands_;
    std::map<std::string, std::string> settings_;
    std::vector<Outgoing> outgoing_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace zorbel::test
