// A software sweep of one channel's frequency or amplitude: the plan (start,
// stop, linear or logarithmic, a number of values or a step, the dwell, how
// often, up or up and down), the values it writes, and the run the session
// worker serves: each step one write through the command queue, the next one
// a dwell after the instrument confirmed the last (DeviceSettings::StartSweep).
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "zorbel/model/parameters.h"

namespace zorbel {

enum class SweepScale : std::uint8_t { Linear, Logarithmic };

inline constexpr std::chrono::milliseconds kMinimumSweepDwell{10};
inline constexpr std::chrono::milliseconds kMaximumSweepDwell{24LL * 3600 * 1000};
// Values of one way from start to stop, and passes of a plan.
inline constexpr std::uint32_t kMaximumSweepValues = 100000;
inline constexpr std::uint32_t kMaximumSweepRepeats = 1000000;

struct SweepPlan {
    Parameter parameter = Parameter::Frequency;  // Frequency or Amplitude
    double start = 0.0;
    double stop = 0.0;
    SweepScale scale = SweepScale::Linear;
    // Either the number of values from start to stop, both included (2 or
    // more), or a step: linear, the difference of two values (its sign does
    // not matter, it goes towards stop); logarithmic, their ratio (above 1,
    // or its inverse below 1). A step that does not divide the way ends with
    // a shorter last step onto stop. 0: not given.
    std::uint32_t count = 0;
    double step = 0.0;
    std::chrono::milliseconds dwell{100};
    std::uint32_t repeat = 1;  // passes
    bool upDown = false;       // each pass goes back to start
};

// Why a plan cannot be swept.
enum class SweepProblem : std::uint8_t {
    None,
    NotSwept,          // a parameter other than frequency and amplitude
    NotFinite,         // start, stop or step
    SameEnds,          // start equals stop
    CountAndStep,      // both given
    NoCountOrStep,     // neither given
    TooFewValues,      // a count below 2
    TooManyValues,     // above kMaximumSweepValues one way
    StepNotPositive,   // a linear step of 0, or a ratio of 1 or below 0
    LogNotPositive,    // a logarithmic sweep through 0 or below
    DwellOutOfRange,   // below 10 ms or above a day
    RepeatOutOfRange,  // 0 or above kMaximumSweepRepeats
};
// English, for zorbel-cli (the program has language items of its own).
const char* SweepProblemText(SweepProblem problem);

// The values a plan writes, in order: one way from start to stop
// (`oneWay`), repeated; up and down, each pass goes back down without
// writing stop twice, and the next pass starts without writing start twice.
class SweepSteps {
public:
    // Nothing, and why, when the plan cannot be swept.
    static std::optional<SweepSteps> Of(const SweepPlan& plan, SweepProblem* problem = nullptr);
    std::uint64_t Count() const { return count_; }
    double At(std::uint64_t index) const;  // index < Count()
    const std::vector<double>& OneWay() const { return oneWay_; }
    std::vector<double> All() const;  // every value (tests and small plans)

private:
    std::vector<double> oneWay_;  // as sent: six significant digits
    std::vector<double> cycle_;
    std::uint64_t count_ = 0;
};

// The range message of the wave parameter pages for start or stop outside
// the channel's limits (all values lie between them), else nothing.
std::optional<std::string> SweepLimitsMessage(const SweepPlan& plan, std::uint16_t channel, const LimitsBlock& limits);

// A value with its unit and an SI prefix, six significant digits at most:
// 1200 Hz -> "1.2 kHz", 0.05 V -> "50 mV".
std::string SweepValueText(Parameter p, double value);

// What the channel keeps when a sweep is stopped.
enum class SweepStopChoice : std::uint8_t { KeepLast, RestoreOriginal };
enum class SweepState : std::uint8_t { Running, Completed, Stopped, Failed };

// One sweep under way, shared by the user interface (progress, stop) and
// the worker (the steps). Every member is behind the run's own mutex.
class SweepRun {
public:
    SweepRun(std::uint16_t channel, const SweepPlan& plan, SweepSteps steps, double original);

    struct Progress {
        SweepState state = SweepState::Running;
        std::uint64_t written = 0;  // steps confirmed so far
        std::uint64_t total = 0;
        double value = 0.0;  // the last one written (the original before the first)
    };
    Progress Now() const;
    std::uint16_t Channel() const { return channel_; }
    const SweepPlan& Plan() const { return plan_; }
    double Original() const { return original_; }
    // The stop takes effect at the worker's next step (wake it).
    void RequestStop(SweepStopChoice choice);

    // When each step's write went out and when the instrument confirmed it.
    struct StepTime {
        std::chrono::steady_clock::time_point sent;
        std::chrono::steady_clock::time_point confirmed;
    };
    std::vector<StepTime> Times() const;

    // ---- The worker's side ----------------------------------------------
    // The next step's value when it is due at `now`; nothing otherwise.
    std::optional<double> Due(std::chrono::steady_clock::time_point now) const;
    // When the next step is due; nothing once the run has ended.
    std::optional<std::chrono::steady_clock::time_point> NextDue() const;
    std::optional<SweepStopChoice> StopRequested() const;
    bool AllWritten() const;
    void Confirmed(double value, StepTime time);
    void End(SweepState state);

private:
    mutable std::mutex mutex_;
    const std::uint16_t channel_;
    const SweepPlan plan_;
    const SweepSteps steps_;
    const double original_;
    SweepState state_ = SweepState::Running;
    std::optional<SweepStopChoice> stop_;
    std::uint64_t written_ = 0;
    double value_;
    std::chrono::steady_clock::time_point due_{};  // the first step at once
    std::vector<StepTime> times_;
};

}  // namespace zorbel
