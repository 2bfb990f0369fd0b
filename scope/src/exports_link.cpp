// Exports of the link layer: raw transfers, table downloads and the generic
// key functions on the parameter image.
#include <algorithm>
#include <string_view>

#include "QMKHardDll.h"
#include "fields.h"
#include "link.h"
#include "pause.h"

using namespace std::chrono_literals;

namespace qmk {
namespace {

constexpr auto kResetPause = 10ms;
constexpr auto kTablePause = 60ms;
constexpr auto kKeyReadPause = 5ms;
constexpr auto kKeyStorePause = 10ms;

constexpr std::string_view kProtocolFile = "/protocol.inf";
constexpr std::string_view kKeyProtocolFile = "/keyprotocol.inf";

constexpr std::uint8_t kFileText = 1;  // byte 4 of the frame carrying the table text
constexpr std::uint8_t kFileEnd = 2;   // byte 4 of the frame that closes it

// "S", N, 0x10, 0x00, file name, 0x66: the one request without a checksum.
Bytes TableRequest(std::string_view file) {
    const std::size_t n = file.size() + 3;  // code, sub-command, name, trailer
    Bytes request{kFrameStart, static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>(n >> 8), kCodeReadFile,
                  0x00};
    request.insert(request.end(), file.begin(), file.end());
    request.push_back(kFileRequestTrailer);
    return request;
}

bool IsFileFrame(std::span<const std::uint8_t> bytes, std::uint8_t part) {
    const auto frame = AcceptReply(bytes, kCodeReadFile | kReplyBit);
    return frame && frame->DataByte(4) == part;
}

std::uint16_t ReadTable(ScopeState& state, std::string_view file, ProtocolTable& table) {
    Link link(ActiveTransport(), state.sequence);
    const bool accepted = link.Exchange(TableRequest(file), [&](std::span<const std::uint8_t> reply) {
        return IsFileFrame(reply, kFileText) && IsFileFrame(link.ReadNext(), kFileEnd);
    });
    std::uint16_t result = 0;
    if (accepted) {
        // The text follows the sub-command byte and ends before the checksum.
        // Starting after the header matters: a length byte of 0 would end a
        // zero-terminated text that began at the frame's first byte.
        const auto frame = CheckFrame(link.Reply());
        const auto data = frame->Data().subspan(1);
        ParseTableText(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), table);
        if (link.Sync()) result = static_cast<std::uint16_t>(link.Reply().size());
    }
    Pause(kTablePause);
    return result;
}

}  // namespace
}  // namespace qmk

using namespace qmk;

extern "C" {

QMK_API uint32_t WriteData(const uint8_t* data, uint32_t length) {
    if (!data || length == 0 || length > kMaxTransfer) return 0;
    return Serialised<uint32_t>(0, [&](ScopeState&) -> uint32_t {
        return ActiveTransport().Write({data, length}) ? 1 : 0;
    });
}

QMK_API uint32_t ReadData(uint8_t* buffer) {
    if (!buffer) return 0;
    return Serialised<uint32_t>(0, [&](ScopeState&) -> uint32_t {
        return static_cast<uint32_t>(PausedRead(ActiveTransport(), {buffer, kMaxTransfer}, kTransferTimeout));
    });
}

QMK_API uint16_t dsoResetAllBufferValue(void) {
    return Serialised<uint16_t>(0, [](ScopeState& state) -> uint16_t {
        state.protocol.clear();
        state.keyProtocol.clear();
        state.image.Clear();
        state.sequence = RandomSequence();
        Pause(kResetPause);
        return 1;
    });
}

QMK_API uint16_t dsoReadInfProtocol(void) {
    return Serialised<uint16_t>(0, [](ScopeState& state) { return ReadTable(state, kProtocolFile, state.protocol); });
}

QMK_API uint16_t dsoReadInfKeyProtocol(void) {
    return Serialised<uint16_t>(
        0, [](ScopeState& state) { return ReadTable(state, kKeyProtocolFile, state.keyProtocol); });
}

QMK_API uint16_t dsoGetBytesNumberFromKeyString(const char* key, int32_t keyLength) {
    return Serialised<uint16_t>(0, [&](ScopeState& state) -> uint16_t {
        std::uint16_t size = 0;
        if (const auto name = KeyArgument(key, keyLength))
            if (const ProtocolEntry* entry = FindEntry(state.protocol, *name)) size = entry->size;
        Pause(kKeyReadPause);
        return size;
    });
}

QMK_API uint16_t dsoGetConytolResultFromKeyString(const char* key, uint8_t* value, int32_t keyLength, uint32_t* size) {
    if (!value || !size) return 0;
    return Serialised<uint16_t>(0, [&](ScopeState& state) -> uint16_t {
        std::uint16_t result = 0;
        if (const auto name = KeyArgument(key, keyLength)) {
            if (const auto field = FieldOfKey(state, *name)) {
                std::copy(field->begin(), field->end(), value);
                *size = static_cast<uint32_t>(field->size());
                result = 1;
            }
        }
        Pause(kKeyReadPause);
        return result;
    });
}

QMK_API uint16_t dsoSetKeyStringToConytolValue(const char* key, const uint8_t* value, int32_t keyLength,
                                               int32_t valueLength) {
    return Serialised<uint16_t>(0, [&](ScopeState& state) -> uint16_t {
        std::uint16_t result = 0;
        const auto name = KeyArgument(key, keyLength);
        if (name && valueLength >= 0 && (value || valueLength == 0)) {
            const std::span<const std::uint8_t> bytes(value, static_cast<std::size_t>(valueLength));
            result = StoreKeyValue(state, *name, bytes) ? 1 : 0;
        }
        Pause(kKeyStorePause);
        return result;
    });
}

}  // extern "C"
