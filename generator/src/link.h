// The generator link: one exchange routine over USB (libusb or the virtual
// device socket) or LAN (UDP), chosen by the connection type. Every command
// of the library passes through SendCommand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qrv {

// Largest command (bytes + 1) and largest answer, in bytes.
inline constexpr std::size_t kMaxBufLen = 10255;

enum class ExchangeMode : std::uint16_t {
    Probe = 0,      // nothing sent; reports whether the link can be opened
    WriteOnly = 1,  // command sent, no answer read
    ReadOnly = 2,   // nothing sent, one answer read (further pieces of a chunked answer)
    WriteRead = 3,  // command sent, then one answer read
};

// Result of SendCommand.
inline constexpr int kLinkUnavailable = -1;
inline constexpr int kExchangeFailed = 0;
inline constexpr int kExchangeDone = 1;

// Sends `command` (its exact bytes, which may include NULs: data packets do)
// and, for ReadOnly/WriteRead, replaces `answer` with the received bytes up to
// the first NUL when more than 0 bytes arrived (otherwise leaves it as it was).
// Only the low 16 bits of `mode` count; an unknown mode returns kExchangeFailed
// without touching the link. Exchanges must not overlap (one caller thread).
int SendCommand(std::string_view command, std::string& answer, std::uint32_t mode);

// Sends packets in mode WriteOnly, in order, as SendCommand would one by one,
// and stops at the first that is not sent (a packet too long for the
// instrument's buffer is not sent). The LAN link sends many with one system
// call. Returns the SendCommand result of the last packet tried.
int SendPackets(std::span<const std::string_view> packets);

// Status code shared by every export: 0 link not available, 1 exchange failed,
// 2 success, 3 argument rejected or answer not acceptable.
inline constexpr std::uint16_t kStatusNoLink = 0;
inline constexpr std::uint16_t kStatusFailed = 1;
inline constexpr std::uint16_t kStatusOk = 2;
inline constexpr std::uint16_t kStatusRejected = 3;

// Maps a SendCommand result that is not kExchangeDone to its status (-1 -> 0, 0 -> 1).
inline std::uint16_t FailureStatus(int sendResult) {
    return sendResult == kLinkUnavailable ? kStatusNoLink : kStatusFailed;
}

// The library's one diagnostic ("shows a message box"): one line on stderr.
void ShowMessage(std::string_view text);

// A setting from the environment the link cannot use: one line on stderr,
// "<program>: <variable>=<value>: <problem>", with the program's name as its
// own messages start. Shown once per variable and value, although the link
// looks at the variable at every exchange (every 10 ms while idle online).
void ReportEnvironment(std::string_view variable, std::string_view value, std::string_view problem);

}  // namespace qrv
