// The sweep's values and its run on the session worker.
#include "zorbel/model/sweep.h"

#include <array>
#include <cmath>

#include "zorbel/model/device_settings.h"
#include "zorbel/model/range_check.h"
#include "zorbel/numbers.h"

namespace zorbel {
namespace {

// How early the worker wakes for a sweep step, which it then waits for awake.
constexpr std::chrono::microseconds kSweepWakeLead{1500};

// A step that lands this close (relative to the way) on stop is taken as stop,
// so that 1 to 2 by 0.1 does not add a tiny last step for rounding.
constexpr double kLandsOnStop = 1e-9;

// The way from start to stop in steps of `step` (a difference or, on the
// logarithmic scale, the difference of logarithms), with a shorter last step
// onto stop when `step` does not divide it.
// Values in between are taken along the way (std::lerp), never as start
// plus a difference: ends near the largest double give no infinite span.
SweepProblem ByStep(double from, double to, double step, std::vector<double>& way) {
    const double parts = std::fabs(to / 2 - from / 2) / step * 2;
    if (!(parts < kMaximumSweepValues)) return SweepProblem::TooManyValues;
    const auto whole = static_cast<std::uint32_t>(std::floor(parts + kLandsOnStop));
    for (std::uint32_t i = 0; i <= whole; ++i) way.push_back(std::lerp(from, to, i / parts));
    // Else the last one is stop, as the caller sets it; a step far beyond the
    // way (a billion times) still ends on stop.
    if (whole == 0 || parts - whole > kLandsOnStop) way.push_back(to);
    return way.size() > kMaximumSweepValues ? SweepProblem::TooManyValues : SweepProblem::None;
}

SweepProblem OneWayValues(const SweepPlan& plan, std::vector<double>& way) {
    if (plan.parameter != Parameter::Frequency && plan.parameter != Parameter::Amplitude) return SweepProblem::NotSwept;
    if (!std::isfinite(plan.start) || !std::isfinite(plan.stop) || !std::isfinite(plan.step))
        return SweepProblem::NotFinite;
    if (plan.count != 0 && plan.step != 0.0) return SweepProblem::CountAndStep;
    if (plan.count == 0 && plan.step == 0.0) return SweepProblem::NoCountOrStep;
    if (plan.dwell < kMinimumSweepDwell || plan.dwell > kMaximumSweepDwell) return SweepProblem::DwellOutOfRange;
    if (plan.repeat == 0 || plan.repeat > kMaximumSweepRepeats) return SweepProblem::RepeatOutOfRange;
    if (RoundToWindowsG(plan.start) == RoundToWindowsG(plan.stop)) return SweepProblem::SameEnds;
    const bool log = plan.scale == SweepScale::Logarithmic;
    if (log && !(plan.start > 0 && plan.stop > 0)) return SweepProblem::LogNotPositive;
    // Linear values on the scale, mapped back at the end.
    const double from = log ? std::log(plan.start) : plan.start;
    const double to = log ? std::log(plan.stop) : plan.stop;
    if (plan.count != 0) {
        if (plan.count < 2) return SweepProblem::TooFewValues;
        if (plan.count > kMaximumSweepValues) return SweepProblem::TooManyValues;
        for (std::uint32_t i = 0; i + 1 < plan.count; ++i)
            way.push_back(std::lerp(from, to, static_cast<double>(i) / (plan.count - 1)));
        way.push_back(to);
    } else {
        double step = std::fabs(plan.step);
        if (log) {
            if (plan.step <= 0.0 || plan.step == 1.0) return SweepProblem::StepNotPositive;
            step = std::fabs(std::log(plan.step));
        }
        if (!(step > 0.0)) return SweepProblem::StepNotPositive;
        if (const SweepProblem problem = ByStep(from, to, step, way); problem != SweepProblem::None) return problem;
    }
    for (double& v : way) v = log ? std::exp(v) : v;
    // The ends exactly as given, not as exp(log(x)) returns them.
    way.front() = plan.start;
    way.back() = plan.stop;
    for (double& v : way) v = RoundToWindowsG(v);
    return SweepProblem::None;
}

}  // namespace

const char* SweepProblemText(SweepProblem problem) {
    switch (problem) {
    case SweepProblem::None:
        return "";
    case SweepProblem::NotSwept:
        return "only a frequency or an amplitude can be swept";
    case SweepProblem::NotFinite:
        return "start, stop and step must be numbers";
    case SweepProblem::SameEnds:
        return "start and stop are the same";
    case SweepProblem::CountAndStep:
        return "give the number of steps or the step, not both";
    case SweepProblem::NoCountOrStep:
        return "give the number of steps or the step";
    case SweepProblem::TooFewValues:
        return "a sweep has 2 steps at least";
    case SweepProblem::TooManyValues:
        return "more than 100000 steps from start to stop";
    case SweepProblem::StepNotPositive:
        return "the step must not be 0 (logarithmic: a ratio above 0 and other than 1)";
    case SweepProblem::LogNotPositive:
        return "a logarithmic sweep needs start and stop above 0";
    case SweepProblem::DwellOutOfRange:
        return "the dwell lies between 0.01 s and a day";
    case SweepProblem::RepeatOutOfRange:
        return "the sweep runs 1 to 1000000 times";
    }
    return "";
}

std::optional<SweepSteps> SweepSteps::Of(const SweepPlan& plan, SweepProblem* problem) {
    SweepSteps steps;
    const SweepProblem found = OneWayValues(plan, steps.oneWay_);
    if (problem) *problem = found;
    if (found != SweepProblem::None) return std::nullopt;
    const std::vector<double>& way = steps.oneWay_;
    steps.cycle_ = way;
    if (plan.upDown) {
        // Back down to the value after start; the next pass (or the last
        // value of the sweep) is start again.
        for (std::size_t i = way.size() - 1; i-- > 1;) steps.cycle_.push_back(way[i]);
        steps.count_ = std::uint64_t{plan.repeat} * steps.cycle_.size() + 1;
    } else {
        steps.count_ = std::uint64_t{plan.repeat} * steps.cycle_.size();
    }
    return steps;
}

// Up and down, the value after the last pass is the cycle's first: start.
double SweepSteps::At(std::uint64_t index) const { return cycle_[index % cycle_.size()]; }

std::vector<double> SweepSteps::All() const {
    std::vector<double> values;
    values.reserve(count_);
    for (std::uint64_t i = 0; i < count_; ++i) values.push_back(At(i));
    return values;
}

std::optional<std::string> SweepLimitsMessage(const SweepPlan& plan, std::uint16_t channel, const LimitsBlock& limits) {
    if (auto message = OutOfRangeMessage(plan.parameter, channel, plan.start, limits)) return message;
    return OutOfRangeMessage(plan.parameter, channel, plan.stop, limits);
}

std::string SweepValueText(Parameter p, double value) {
    struct Prefix {
        double factor;
        const char* name;
    };
    static constexpr std::array<Prefix, 5> kPrefixes = {
        {{1e6, "M"}, {1e3, "k"}, {1.0, ""}, {1e-3, "m"}, {1e-6, "\u00b5"}}};
    const char* unit = p == Parameter::Frequency ? "Hz" : "V";
    const double size = std::fabs(value);
    const Prefix* chosen = &kPrefixes[2];
    if (size != 0.0 && std::isfinite(size)) {
        chosen = &kPrefixes.back();
        for (const Prefix& prefix : kPrefixes) {
            if (size >= prefix.factor * (1.0 - 5e-7)) {
                chosen = &prefix;
                break;
            }
        }
    }
    return FormatWindowsG(value / chosen->factor) + " " + chosen->name + unit;
}

SweepRun::SweepRun(std::uint16_t channel, const SweepPlan& plan, SweepSteps steps, double original)
    : channel_(channel), plan_(plan), steps_(std::move(steps)), original_(original), value_(original) {}

SweepRun::Progress SweepRun::Now() const {
    std::lock_guard lock(mutex_);
    return {state_, written_, steps_.Count(), value_};
}

void SweepRun::RequestStop(SweepStopChoice choice) {
    std::lock_guard lock(mutex_);
    if (state_ == SweepState::Running) stop_ = choice;
}

std::vector<SweepRun::StepTime> SweepRun::Times() const {
    std::lock_guard lock(mutex_);
    return times_;
}

std::optional<double> SweepRun::Due(std::chrono::steady_clock::time_point now) const {
    std::lock_guard lock(mutex_);
    if (state_ != SweepState::Running || stop_ || written_ >= steps_.Count() || now < due_) return std::nullopt;
    return steps_.At(written_);
}

std::optional<std::chrono::steady_clock::time_point> SweepRun::NextDue() const {
    std::lock_guard lock(mutex_);
    if (state_ != SweepState::Running) return std::nullopt;
    return due_;
}

std::optional<SweepStopChoice> SweepRun::StopRequested() const {
    std::lock_guard lock(mutex_);
    return stop_;
}

bool SweepRun::AllWritten() const {
    std::lock_guard lock(mutex_);
    return written_ >= steps_.Count();
}

void SweepRun::Confirmed(double value, StepTime time) {
    std::lock_guard lock(mutex_);
    value_ = value;
    ++written_;
    // The last value too holds for a dwell before the sweep counts as done.
    due_ = time.confirmed + plan_.dwell;
    // The timing of a long sweep is kept for its first million steps only.
    if (times_.size() < 1000000) times_.push_back(time);
}

void SweepRun::End(SweepState state) {
    std::lock_guard lock(mutex_);
    if (state_ == SweepState::Running) state_ = state;
}

// ---- The session's side ---------------------------------------------------

bool DeviceSettings::StartSweep(std::uint16_t channel, const SweepPlan& plan, SweepSteps steps) {
    if (channel >= kChannelCount || demo_ != 0 || !Online() || JobFlags() != Job::None) return false;
    std::lock_guard lock(sweepMutex_);
    if (sweep_ && sweep_->Now().state == SweepState::Running) return false;
    const double original =
        ReadRecord(channel, [&](const ChannelRecord& r) { return r.values[Index(plan.parameter)]; });
    sweep_ = std::make_shared<SweepRun>(channel, plan, std::move(steps), original);
    return true;
}

std::shared_ptr<SweepRun> DeviceSettings::Sweep() const {
    std::lock_guard lock(sweepMutex_);
    return sweep_;
}

bool DeviceSettings::SweepRunning() const {
    const std::shared_ptr<SweepRun> run = Sweep();
    return run && run->Now().state == SweepState::Running;
}

std::optional<std::chrono::steady_clock::time_point> DeviceSettings::NextSweepDue() const {
    if (JobFlags() != Job::None) return std::nullopt;  // paused
    const std::shared_ptr<SweepRun> run = Sweep();
    const auto due = run ? run->NextDue() : std::nullopt;
    if (!due) return std::nullopt;
    return *due - kSweepWakeLead;
}

// One step of the sweep when it is due: its write queued as a typed value
// is (so the panel and the files show it), then drained at once and timed
// by the instrument's confirmation. A job pauses the sweep; a session that
// went offline ends it.
void DeviceSettings::ServiceSweep(std::stop_token stop) {
    const std::shared_ptr<SweepRun> run = Sweep();
    if (!run || run->Now().state != SweepState::Running) return;
    const std::uint16_t channel = run->Channel();
    const Parameter p = run->Plan().parameter;
    if (demo_ != 0 || !Online()) {
        run->End(SweepState::Failed);
        return;
    }
    if (const auto choice = run->StopRequested()) {
        // The original value goes out with the queue drained after this.
        if (*choice == SweepStopChoice::RestoreOriginal && run->Now().written > 0)
            SetParameter(channel, p, run->Original());
        run->End(SweepState::Stopped);
        return;
    }
    auto now = std::chrono::steady_clock::now();
    // The worker comes a little early (NextSweepDue): the last moments are
    // waited out here, awake, so that a busy machine's slow wake-up of a
    // sleeping thread does not delay the step.
    if (const auto due = run->NextDue(); due && now < *due && *due - now <= kSweepWakeLead) {
        while (now < *due && !stop.stop_requested()) now = std::chrono::steady_clock::now();
    }
    if (run->AllWritten()) {
        if (!run->NextDue() || now >= *run->NextDue()) run->End(SweepState::Completed);
        return;
    }
    const std::optional<double> value = run->Due(now);
    if (!value) return;
    SetParameter(channel, p, *value);
    const auto sent = std::chrono::steady_clock::now();
    DrainNormal(queue_.FrontCode(), stop);
    const auto confirmed = std::chrono::steady_clock::now();
    if (stop.stop_requested()) return;  // the write may still be queued: the step is not done
    if (!Online()) {
        run->End(SweepState::Failed);
        return;
    }
    run->Confirmed(RoundToWindowsG(*value), {sent, confirmed});
}

}  // namespace zorbel
