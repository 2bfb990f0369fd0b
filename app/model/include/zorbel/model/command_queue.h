// The instrument commands and the coalescing queue between the user
// interface (which queues) and the worker (which drains and executes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace zorbel {

// Command codes: the executor's vocabulary. The numeric parameter families
// (0x1001+n, 0x2003+n, 0xA003+n) are in parameters.h.
namespace code {
inline constexpr std::uint16_t kNone = 0x0000;             // what an empty queue yields
inline constexpr std::uint16_t kRefresh = 0x0001;          // "DISPlay:REFResh" at a batch end
inline constexpr std::uint16_t kReadLimitsEnd = 0x1000;    // end marker
inline constexpr std::uint16_t kReadSettingsEnd = 0x2000;  // end marker
inline constexpr std::uint16_t kReadOnOff = 0x2001;
inline constexpr std::uint16_t kReadWaveType = 0x2002;
inline constexpr std::uint16_t kArbAddressLength = 0x3001;
inline constexpr std::uint16_t kArbData = 0x3002;
inline constexpr std::uint16_t kArbZoom = 0x3003;
inline constexpr std::uint16_t kArbOutput = 0x3004;
inline constexpr std::uint16_t kArbDivider = 0x3006;
inline constexpr std::uint16_t kArbStartDownload = 0x3007;  // "Write" of the arbitrary page
inline constexpr std::uint16_t kArbSendData = 0x3008;       // queues kArbData
inline constexpr std::uint16_t kArbFinish = 0x3009;         // queues zoom, output, divider
inline constexpr std::uint16_t kCalStart = 0x4000;
inline constexpr std::uint16_t kCalStop = 0x4001;
inline constexpr std::uint16_t kCalGetStepCount = 0x4005;
inline constexpr std::uint16_t kCalSetStep = 0x4007;
inline constexpr std::uint16_t kCalGetReference = 0x4008;
inline constexpr std::uint16_t kCalMeasure = 0x4009;
inline constexpr std::uint16_t kCalGetState = 0x400A;
inline constexpr std::uint16_t kWriteSettingsEnd = 0xA000;  // end marker
inline constexpr std::uint16_t kWriteOnOff = 0xA001;
inline constexpr std::uint16_t kWriteWaveType = 0xA002;
}  // namespace code

// Channel of commands for the whole instrument (batch ends, refresh, calibration).
inline constexpr std::int32_t kWholeInstrument = -1;

struct InstrumentCommand {
    std::uint16_t code = code::kNone;
    std::int32_t channel = kWholeInstrument;  // the executor uses its low 16 bits
    std::int64_t integerArgument = 0;         // output state, wave type or calibration step
    double realArgument = 0.0;                // parameter value in its unit

    friend bool operator==(const InstrumentCommand&, const InstrumentCommand&) = default;
};

// First in, first out, unbounded, with at most one pending command per
// (code, channel): a newer one replaces the older and moves to the back.
// One mutex guards it; every operation holds it only for its own duration,
// so nobody ever holds it across an instrument exchange.
class CommandQueue {
public:
    void Enqueue(const InstrumentCommand& command);
    // The front command, removed; {0, -1, 0, 0} when the queue is empty.
    InstrumentCommand Dequeue();
    // The front command's code without removing it; 0 when empty.
    std::uint16_t FrontCode() const;
    std::size_t Size() const;
    bool Empty() const { return Size() == 0; }
    // A copy of the pending commands, front first (diagnostics and tests).
    std::vector<InstrumentCommand> Pending() const;
    void Clear();
    // Removes the commands from the front up to and including the first one
    // with `code` (the rest of a batch up to its end marker); nothing when no
    // command has it. True when one had.
    bool DropThrough(std::uint16_t code);
    // Removes every command for which `drop` is true.
    void RemoveIf(const std::function<bool(const InstrumentCommand&)>& drop);

private:
    mutable std::mutex mutex_;
    std::deque<InstrumentCommand> commands_;
};

}  // namespace zorbel
