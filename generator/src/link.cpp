// The process-wide link state, the exchange routine SendCommand, the
// library's one diagnostic and the three link exports.
#include "link.h"

#include "QRVHardDll.h"
#include "export_guard.h"
#include "link_state_view.h"
#include "udp_link.h"
#include "usb_link.h"
#include "zorbel/numbers.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace qrv {

namespace {

// Instrument address before the first qmkHDInitComType: a private address,
// overridable with QRV_LAN_ADDRESS (tests and the simulator use loopback).
constexpr const char* kDefaultLanAddress = "192.168.1.100";

std::string StartupLanAddress() {
    const char* text = std::getenv("QRV_LAN_ADDRESS");
    if (text == nullptr || *text == '\0') return kDefaultLanAddress;
    in_addr parsed{};
    if (std::strlen(text) < 20 && inet_pton(AF_INET, text, &parsed) == 1) return text;
    ReportEnvironment("QRV_LAN_ADDRESS", text,
                      std::string("not a dotted-quad IPv4 address; ") + kDefaultLanAddress + " is used");
    return kDefaultLanAddress;
}

struct LinkState {
    // Exchanges are meant to come from one thread; the lock keeps a
    // qmkHDInitComType from another thread from tearing an exchange apart.
    std::mutex mutex;
    std::uint16_t comType = 0;  // 0 USB, anything else LAN
    UdpLink lan;
    UsbLink usb;

    LinkState() { lan.Open(StartupLanAddress()); }
};

// Created at the first use and destroyed (socket closed) when the library unloads.
LinkState& State() {
    static LinkState state;
    return state;
}

// The one place that picks the transport.
Transport& SelectedTransport(LinkState& state) {
    if (state.comType == 0) return state.usb;
    return state.lan;
}

bool Sends(ExchangeMode mode) { return mode == ExchangeMode::WriteOnly || mode == ExchangeMode::WriteRead; }
bool Reads(ExchangeMode mode) { return mode == ExchangeMode::ReadOnly || mode == ExchangeMode::WriteRead; }

}  // namespace

int SendCommand(std::string_view command, std::string& answer, std::uint32_t mode) {
    const std::uint32_t low = mode & 0xFFFFu;
    if (low > static_cast<std::uint32_t>(ExchangeMode::WriteRead)) return kExchangeFailed;
    const auto exchangeMode = static_cast<ExchangeMode>(low);
    // A command must fit the instrument's buffer together with its terminator;
    // a longer one is refused rather than sent cut.
    if (Sends(exchangeMode) && command.size() >= kMaxBufLen) return kExchangeFailed;
    try {
        LinkState& state = State();
        std::string received;
        int result;
        {
            std::lock_guard lock(state.mutex);
            result = SelectedTransport(state).Exchange(command, received, exchangeMode);
        }
        if (Reads(exchangeMode) && !received.empty())
            answer.assign(received.data(), ::strnlen(received.data(), received.size()));
        return result;
    } catch (...) {
        return kExchangeFailed;
    }
}

int SendPackets(std::span<const std::string_view> packets) {
    // Those that fit go out; the first that does not fails where it stands.
    std::size_t fitting = 0;
    while (fitting < packets.size() && packets[fitting].size() < kMaxBufLen) ++fitting;
    try {
        LinkState& state = State();
        int result = kExchangeDone;
        if (fitting > 0) {
            std::lock_guard lock(state.mutex);
            result = SelectedTransport(state).SendPackets(packets.first(fitting));
        }
        return result == kExchangeDone && fitting < packets.size() ? kExchangeFailed : result;
    } catch (...) {
        return kExchangeFailed;
    }
}

std::string CurrentLanAddress() {
    LinkState& state = State();
    std::lock_guard lock(state.mutex);
    return state.lan.AddressText();
}

std::uint16_t CurrentComType() {
    LinkState& state = State();
    std::lock_guard lock(state.mutex);
    return state.comType;
}

bool LanLinkOpen() {
    LinkState& state = State();
    std::lock_guard lock(state.mutex);
    return state.lan.IsOpen();
}

void ShowMessage(std::string_view text) {
    // One write so that the line is not interleaved with other output.
    std::string line(text);
    line += '\n';
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, data, left);
        if (n <= 0) return;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
}

void ReportEnvironment(std::string_view variable, std::string_view value, std::string_view problem) {
    static std::mutex mutex;
    static std::set<std::string, std::less<>> reported;
    std::string setting(variable);
    setting += '=';
    setting += value;
    {
        std::lock_guard lock(mutex);
        if (!reported.insert(setting).second) return;
    }
    ShowMessage(std::string(program_invocation_short_name) + ": " + setting + ": " + std::string(problem));
}

}  // namespace qrv

using namespace qrv;

uint16_t qmkHDInitComType(uint16_t type, uint32_t address) {
    return NoThrow(
        [&]() -> std::uint16_t {
            using zorbel::FormatInt;
            const std::string text = FormatInt((address >> 24) & 0xFF) + "." + FormatInt((address >> 16) & 0xFF) + "." +
                                     FormatInt((address >> 8) & 0xFF) + "." + FormatInt(address & 0xFF);
            LinkState& state = State();
            std::lock_guard lock(state.mutex);
            state.lan.Open(text);  // whatever the type: the LAN link is always kept ready
            state.comType = type;
            return 1;
        },
        1);
}

uint16_t qmkHDDeviceConnect(void) {
    return NoThrow(
        []() -> std::uint16_t {
            std::string unused;
            return SendCommand("", unused, static_cast<std::uint32_t>(ExchangeMode::Probe)) == kExchangeDone ? 1 : 0;
        },
        0);
}

uint16_t qmkHDRefreshDevice(void) {
    return NoThrow([]() -> std::uint16_t {
        std::string unused;
        const int sent = SendCommand("DISPlay:REFResh", unused, static_cast<std::uint32_t>(ExchangeMode::WriteOnly));
        return sent == kExchangeDone ? kStatusOk : FailureStatus(sent);
    });
}
