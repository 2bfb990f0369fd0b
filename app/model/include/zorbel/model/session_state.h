// Typed states of the instrument session. Each is a number only where it
// crosses the generator library's C interface (GeneratorApi) or a file; the
// rest of the program compares names: LastStatus() == GeneratorStatus::Ok,
// not lastStatus == 2.
#pragma once

#include <cstdint>
#include <ostream>

namespace zorbel {

// Result of a generator library call.
enum class GeneratorStatus : std::uint16_t {
    NoLink = 0,    // the link is not available
    Failed = 1,    // the exchange failed
    Ok = 2,        // success
    Rejected = 3,  // an argument was refused, or the answer was not acceptable
};

// The library's 16-bit result. It returns nothing above 3; should it ever,
// that is no success either.
constexpr GeneratorStatus ToGeneratorStatus(std::uint16_t raw) {
    return raw <= 3 ? static_cast<GeneratorStatus>(raw) : GeneratorStatus::Rejected;
}
constexpr std::uint16_t ToNumber(GeneratorStatus status) { return static_cast<std::uint16_t>(status); }

// The session's link state: whether it has a working link to the instrument.
enum class Link : std::uint16_t { Down = 0, Up = 1 };

// Flags of a set, as an enum class with the bit operators. Each flag type
// opts in with `template <> inline constexpr bool kIsFlagSet<T> = true;`.
template <class T>
inline constexpr bool kIsFlagSet = false;

template <class T>
requires kIsFlagSet<T>
constexpr T operator|(T a, T b) {
    return static_cast<T>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}
template <class T>
requires kIsFlagSet<T>
constexpr T operator&(T a, T b) {
    return static_cast<T>(static_cast<std::uint32_t>(a) & static_cast<std::uint32_t>(b));
}
template <class T>
requires kIsFlagSet<T>
constexpr T operator^(T a, T b) {
    return static_cast<T>(static_cast<std::uint32_t>(a) ^ static_cast<std::uint32_t>(b));
}
template <class T>
requires kIsFlagSet<T>
constexpr T operator~(T a) { return static_cast<T>(~static_cast<std::uint32_t>(a)); }
template <class T>
requires kIsFlagSet<T>
constexpr T& operator|=(T& a, T b) { return a = a | b; }
template <class T>
requires kIsFlagSet<T>
constexpr T& operator&=(T& a, T b) { return a = a & b; }
// True when `flags` has any bit of `bits`.
template <class T>
requires kIsFlagSet<T>
constexpr bool Any(T flags, T bits) { return static_cast<std::uint32_t>(flags & bits) != 0; }

// The session's job flags: jobs the worker runs, lowest bit first. Read
// Operation is ReadLimits | ReadSettings (3), Write Operation ReadLimits |
// WriteSettings (5).
enum class Job : std::uint16_t {
    None = 0,
    ReadLimits = 1,
    ReadSettings = 2,
    WriteSettings = 4,
    ArbitraryDownload = 8,
    Calibration = 16,
};
template <>
inline constexpr bool kIsFlagSet<Job> = true;
constexpr std::uint16_t ToNumber(Job flags) { return static_cast<std::uint16_t>(flags); }

// How the last job that ended, ended: what the status bar's last-job field
// tells. `status` is the session's last status when it ended; `job` the job
// flags that were still set then (for a Read Operation ended in its second
// part: ReadSettings alone), so that a cancelled download can be told from a
// cancelled Read or Write Operation.
enum class JobEnd : std::uint8_t {
    None,
    Succeeded,
    Failed,
    InstrumentAbsent,
    InstrumentBusy,
    CalibrationFailed,
    Cancelled,  // by DeviceSettings::CancelJob
};
struct LastJob {
    JobEnd end = JobEnd::None;
    GeneratorStatus status = GeneratorStatus::NoLink;
    Job job = Job::None;
};

// The calibration procedure's run state.
enum class CalibrationRun : std::int32_t { Idle = -1, Running = 0, Stopping = 1 };

// The arbitrary view's tools (zoom-tool bits): at most one horizontal and one
// vertical tool at a time.
enum class ZoomTool : std::uint16_t {
    None = 0,
    HorizontalIn = 1,
    HorizontalOut = 2,
    HorizontalMove = 4,
    VerticalIn = 16,
    VerticalOut = 32,
    VerticalMove = 64,
};
template <>
inline constexpr bool kIsFlagSet<ZoomTool> = true;
constexpr std::uint16_t ToNumber(ZoomTool tools) { return static_cast<std::uint16_t>(tools); }

// The view's layers to redraw. Only the four named masks are ever stored:
// Annotations after a settings batch, Everything after a zoom tool change,
// Waveform after an edit of the points, Cursor for the rubber band alone.
enum class RefreshMask : std::uint32_t {
    None = 0,
    Annotations = 0xFF,
    Waveform = 0x8FF,
    Everything = 0xFFF,
    Cursor = 0xF000,
};
template <>
inline constexpr bool kIsFlagSet<RefreshMask> = true;
constexpr std::uint32_t ToNumber(RefreshMask mask) { return static_cast<std::uint32_t>(mask); }

inline std::ostream& operator<<(std::ostream& out, GeneratorStatus s) { return out << ToNumber(s); }
inline std::ostream& operator<<(std::ostream& out, Link s) { return out << static_cast<std::uint16_t>(s); }
inline std::ostream& operator<<(std::ostream& out, Job f) { return out << ToNumber(f); }
inline std::ostream& operator<<(std::ostream& out, CalibrationRun s) { return out << static_cast<std::int32_t>(s); }
inline std::ostream& operator<<(std::ostream& out, ZoomTool t) { return out << static_cast<std::uint16_t>(t); }
inline std::ostream& operator<<(std::ostream& out, RefreshMask m) { return out << ToNumber(m); }

}  // namespace zorbel
