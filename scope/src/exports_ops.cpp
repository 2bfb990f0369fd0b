// Exports of the instrument operations: parameter block transfer, autoset,
// run/stop, key lock, measurement values, capture and the field setters.
#include <algorithm>
#include <array>
#include <string>

#include "QMKHardDll.h"
#include "fields.h"
#include "link.h"
#include "pause.h"
#include "zorbel/numbers.h"

using namespace std::chrono_literals;

namespace qmk {
namespace {

constexpr auto kOperationPause = 60ms;     // after reads, autoset, run/stop, key lock, capture
constexpr auto kBlockWritePause = 1000ms;  // the instrument applies a written block this long

constexpr std::uint8_t kSubRunStop = 0x00;
constexpr std::uint8_t kSubKeyLock = 0x01;
constexpr std::uint8_t kCapturePart = 0x01;  // capture request: sub-command
constexpr std::uint8_t kCaptureCount = 0;    // byte 4 of the frame with the sample count
constexpr std::uint8_t kCaptureSamples = 1;  // byte 4 of the frame with the samples
constexpr std::size_t kFirstSample = 6;      // samples start after byte 5 of their frame

constexpr std::uint16_t kMeasurementItems = 8;
constexpr std::uint16_t kSources = 2;
constexpr std::uint16_t kMeasurementTypes = 12;

// Exchange with the closing sync; the accepted reply's length or 0.
std::uint16_t Transact(Link& link, std::span<const std::uint8_t> request, const Link::Acceptor& accept,
                       bool closingSync = true) {
    if (!link.Exchange(request, accept)) return 0;
    if (closingSync && !link.Sync()) return 0;
    return static_cast<std::uint16_t>(link.Reply().size());
}

Link::Acceptor Expect(std::uint8_t requestCode) {
    return [requestCode](std::span<const std::uint8_t> reply) {
        return AcceptReply(reply, requestCode | kReplyBit).has_value();
    };
}

std::uint16_t Control(std::uint8_t subCommand, std::uint8_t value) {
    return Serialised<std::uint16_t>(0, [&](ScopeState& state) {
        Link link(ActiveTransport(), state.sequence);
        const std::uint8_t data[] = {subCommand, value};
        const std::uint16_t result = Transact(link, BuildFrame(kCodeControl, data), Expect(kCodeControl));
        Pause(kOperationPause);
        return result;
    });
}

std::string ItemKey(std::uint16_t item, const char* suffix) {
    return "MEASURE-ITEM" + zorbel::formatInt(item) + suffix;
}

}  // namespace
}  // namespace qmk

using namespace qmk;

extern "C" {

QMK_API uint16_t dsoReadAllSysParameter(uint8_t* buffer, uint32_t size) {
    if (!buffer) return 0;
    return Serialised<uint16_t>(0, [&](ScopeState& state) {
        Link link(ActiveTransport(), state.sequence);
        const auto accept = [&](std::span<const std::uint8_t> reply) {
            // The caller sees each try's reply, cut to its buffer.
            std::fill_n(buffer, size, 0);
            std::copy_n(reply.begin(), std::min<std::size_t>(reply.size(), size), buffer);
            return AcceptReply(reply, kCodeReadBlock | kReplyBit).has_value();
        };
        std::uint16_t result = 0;
        if (link.Exchange(BuildFrame(kCodeReadBlock, {}), accept)) {
            // Image positions 1..N take reply bytes 4..N+3: the block, its
            // checksum and one byte more, from the zero-filled receive buffer.
            const std::size_t n = CheckFrame(link.Reply())->n;
            const auto source = link.ReplyBuffer().subspan(kHeaderSize);
            state.image.StoreBlock(n - 2, source.first(std::min(n, source.size())));
            if (link.Sync()) result = static_cast<std::uint16_t>(link.Reply().size());
        }
        Pause(kOperationPause);
        return result;
    });
}

QMK_API uint16_t dsoWriteAllSysParameter(void) {
    return Serialised<uint16_t>(0, [](ScopeState& state) -> uint16_t {
        // A block beyond the one-byte length field would go out with a wrong
        // length and a truncated body: refuse it instead.
        if (state.image.BlockLength() > ParameterImage::kMaxWritableBlock) return 0;
        Link link(ActiveTransport(), state.sequence);
        const auto request = BuildFrame(kCodeWriteBlock, state.image.DataBytes(state.image.LengthByte()));
        std::uint16_t result = 0;
        if (link.Exchange(request, Expect(kCodeWriteBlock))) {
            Pause(kBlockWritePause);
            if (link.Sync()) result = static_cast<std::uint16_t>(link.Reply().size());
        }
        Pause(kBlockWritePause);
        return result;
    });
}

QMK_API uint16_t dsoAutosetDevice(void) {
    return Serialised<uint16_t>(0, [](ScopeState& state) {
        Link link(ActiveTransport(), state.sequence);
        const std::uint8_t data[] = {0x11, 0x01};
        // No closing sync: the instrument is busy setting itself up.
        const std::uint16_t result = Transact(link, BuildFrame(kCodeAutoset, data), Expect(kCodeAutoset), false);
        Pause(kOperationPause);
        return result;
    });
}

QMK_API uint16_t dsoSetDeviceSystemRunStop(uint8_t value) { return Control(kSubRunStop, value); }

QMK_API uint16_t dsoSetKeyboardCtrlLockState(uint8_t state) { return Control(kSubKeyLock, state); }

QMK_API uint16_t dsoGetMeasurementItemValue(char* buffer, uint32_t size, uint16_t source, uint16_t item) {
    if (!buffer) return 0;
    return Serialised<uint16_t>(0, [&](ScopeState& state) -> uint16_t {
        Link link(ActiveTransport(), state.sequence);
        const std::uint8_t data[] = {static_cast<std::uint8_t>(item & 0xFF), static_cast<std::uint8_t>(source & 0xFF),
                                     0x01};
        if (!link.Exchange(BuildFrame(kCodeMeasure, data), Expect(kCodeMeasure))) return 0;
        const auto text = CheckFrame(link.Reply())->Data();
        std::copy_n(text.begin(), std::min<std::size_t>(text.size(), size), buffer);
        return link.Sync() ? static_cast<std::uint16_t>(link.Reply().size()) : 0;
    });
}

QMK_API uint16_t dsoGetCollectData(int16_t* samples, uint16_t* count, uint16_t channel) {
    if (!samples || !count || channel >= kSources) return 0;
    return Serialised<uint16_t>(0, [&](ScopeState& state) {
        Link link(ActiveTransport(), state.sequence);
        const std::uint8_t data[] = {kCapturePart, static_cast<std::uint8_t>(channel)};
        const auto accept = [&](std::span<const std::uint8_t> reply) {
            const auto head = AcceptReply(reply, kCodeCapture | kReplyBit);
            if (!head || head->DataByte(4) != kCaptureCount || !head->DataByte(7)) return false;
            const auto body = AcceptReply(link.ReadNext(), kCodeCapture | kReplyBit);
            return body && body->DataByte(4) == kCaptureSamples;
        };
        std::uint16_t result = 0;
        if (link.Exchange(BuildFrame(kCodeCapture, data), accept)) {
            const auto head = CheckFrame(link.Reply());
            const auto body = CheckFrame(link.Next());
            const std::size_t announced = head->bytes[5] | (head->bytes[6] << 8) | (head->bytes[7] << 16);
            // Samples lie between byte 5 and the checksum; copy no more than
            // that, and report what was stored, not what was announced.
            const std::size_t held = body->n + 2u > kFirstSample ? body->n + 2u - kFirstSample : 0;
            const std::size_t stored = std::min({announced, held, std::size_t{0xFFFF}});
            for (std::size_t i = 0; i < stored; ++i)
                samples[i] = static_cast<int16_t>(static_cast<int8_t>(body->bytes[kFirstSample + i]));
            *count = static_cast<uint16_t>(stored);
            if (link.Sync()) result = static_cast<std::uint16_t>(link.Reply().size());
        }
        Pause(kOperationPause);
        return result;
    });
}

QMK_API int32_t dsoSetMeasurementItem(uint16_t item, uint16_t source, uint16_t type) {
    if (item < 1 || item > kMeasurementItems || source >= kSources || type >= kMeasurementTypes) return 0;
    return Serialised<int32_t>(0, [&](ScopeState& state) -> int32_t {
        const std::uint8_t sourceByte = static_cast<std::uint8_t>(source);
        const std::uint8_t typeByte = static_cast<std::uint8_t>(type);
        constexpr auto kKeyStorePause = 10ms;
        const bool sourceStored = StoreKeyValue(state, ItemKey(item, "-SRC"), {&sourceByte, 1});
        Pause(kKeyStorePause);
        if (!sourceStored) return 0;
        const bool typeStored = StoreKeyValue(state, ItemKey(item, ""), {&typeByte, 1});
        Pause(kKeyStorePause);
        return typeStored ? 1 : 0;
    });
}

QMK_API int32_t dsoSetHerizonTimeBase(int32_t value, int32_t /*unused*/) {
    return Serialised<int32_t>(0, [&](ScopeState& state) -> int32_t {
        for (const char* key : {"HORIZ-TB", "HORIZ-WIN-TB"}) {
            const auto field = FieldOfKey(state, key, 1);
            if (!field) return 0;  // the first field stays changed when only the second is missing
            field->back() = static_cast<std::uint8_t>(value & 0xFF);
        }
        return 1;
    });
}

QMK_API int32_t dsoSetHerizonTriggerTime(int32_t value) {
    return Serialised<int32_t>(0, [&](ScopeState& state) -> int32_t {
        // Four bytes from the field's first byte: a shorter field would spill
        // into its neighbour, so it is refused.
        const auto field = FieldOfKey(state, "HORIZ-TRIGTIME", 4);
        if (!field) return 0;
        const auto bits = static_cast<std::uint32_t>(value);
        for (std::size_t i = 0; i < 4; ++i) (*field)[i] = static_cast<std::uint8_t>(bits >> (8 * i));
        return 1;
    });
}

}  // extern "C"
