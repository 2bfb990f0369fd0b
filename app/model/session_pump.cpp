// The session worker thread and the wait for a job's end.
#include "zorbel/model/session_pump.h"

#include <algorithm>

#include "zorbel/numbers.h"

namespace zorbel {

std::string_view StatusText(GeneratorStatus status) {
    switch (status) {
    case GeneratorStatus::NoLink:
        return "no link to the instrument";
    case GeneratorStatus::Failed:
        return "the exchange with the instrument failed (no answer, or a late one)";
    case GeneratorStatus::Rejected:
        return "the instrument refused a value or gave an unacceptable answer";
    default:
        return "unexpected status";
    }
}

std::chrono::milliseconds DownloadTimeout(std::chrono::milliseconds base, std::uint32_t points) {
    constexpr std::chrono::milliseconds kPerPacket{2000};
    constexpr std::uint32_t kPointsPerPacket = 960;
    return base + kPerPacket * (points / kPointsPerPacket + 1);
}

std::optional<JobFailure> JudgeOutcome(const JobOutcome& outcome, std::string_view job, std::string_view limitText) {
    using Kind = JobFailure::Kind;
    if (outcome.busy) return JobFailure{Kind::Busy, "the instrument is busy with another program"};
    if (outcome.instrumentAbsent || (outcome.finished && outcome.demo))
        return JobFailure{Kind::NoDevice, "No Device Found!"};
    if (!outcome.finished)
        return JobFailure{Kind::TimedOut, std::string(job) + " did not finish within " + std::string(limitText) + " s"};
    if (outcome.Succeeded()) return std::nullopt;
    const Kind kind = outcome.lastStatus == GeneratorStatus::Rejected ? Kind::Refused : Kind::Lost;
    return JobFailure{kind, std::string(job) + " failed: " + std::string(StatusText(outcome.lastStatus)) + " (status " +
                                FormatInt(ToNumber(outcome.lastStatus)) + ")"};
}

SessionPump::SessionPump(DeviceSettings& settings, std::chrono::milliseconds period)
    : settings_(settings), period_(period) {}

void SessionPump::Start() {
    // A worker that was asked to stop ends first (it takes the mutex on its way out).
    if (thread_.joinable() && thread_.get_stop_token().stop_requested()) thread_.join();
    // A queued command wakes the worker: a typed value goes out at once. Set
    // outside the pump's lock, which Wake takes under the model's.
    settings_.SetWorkerWake([this] { Wake(); });
    std::lock_guard lock(mutex_);
    if (running_) return;
    running_ = true;
    thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

void SessionPump::RequestStop() {
    thread_.request_stop();  // wakes the period wait through the stop token
}

void SessionPump::Stop() {
    RequestStop();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool SessionPump::Running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

void SessionPump::Wake() {
    {
        std::lock_guard lock(mutex_);
        wake_ = true;
    }
    changed_.notify_all();
}

void SessionPump::Run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        {
            std::lock_guard lock(mutex_);
            ++stepsStarted_;
            wake_ = false;
        }
        settings_.ServiceQueue(stop);
        const bool idle = settings_.IsIdle();
        {
            std::lock_guard lock(mutex_);
            ++stepsCompleted_;
            lastStepIdle_ = idle;
        }
        changed_.notify_all();

        // A sweep's next step comes on time, not at the end of a period.
        auto wakeAt = std::chrono::steady_clock::now() + period_;
        if (const auto due = settings_.NextSweepDue()) wakeAt = std::min(wakeAt, *due);
        std::unique_lock lock(mutex_);
        changed_.wait_until(lock, stop, wakeAt, [this] { return wake_; });
    }
    {
        std::lock_guard lock(mutex_);
        running_ = false;
    }
    changed_.notify_all();  // waiters give up: no step will follow
}

JobOutcome SessionPump::WaitUntilIdle(std::chrono::milliseconds timeout) {
    bool finished = false;
    {
        std::unique_lock lock(mutex_);
        // The next step to begin sees everything the caller did before this call.
        const std::uint64_t target = stepsStarted_ + 1;
        wake_ = true;
        changed_.notify_all();
        const auto start = std::chrono::steady_clock::now();
        const auto waitedBefore = settings_.InstrumentWaitSoFar();
        // The worker reports after every step, so the deadline moves on
        // while it waits for another program.
        while (running_ && !(stepsCompleted_ >= target && lastStepIdle_)) {
            const auto deadline = start + timeout + (settings_.InstrumentWaitSoFar() - waitedBefore);
            if (std::chrono::steady_clock::now() >= deadline) break;
            changed_.wait_until(lock, deadline);
        }
        finished = stepsCompleted_ >= target && lastStepIdle_;
    }
    return Collect(finished);
}

JobOutcome SessionPump::StopAndCollect() {
    Stop();
    // Stopped, the worker no longer changes the session: idle means the job ended.
    return Collect(settings_.IsIdle());
}

JobOutcome SessionPump::Collect(bool finished) const {
    JobOutcome outcome;
    outcome.finished = finished;
    outcome.instrumentAbsent = settings_.LastJobRefused();
    outcome.busy = settings_.InstrumentBusy();
    outcome.demo = settings_.DemoFlag() != 0;
    outcome.linkState = settings_.LinkState();
    outcome.lastStatus = settings_.LastStatus();
    return outcome;
}

JobOutcome SessionPump::RunJob(const std::function<void(DeviceSettings&)>& trigger, std::chrono::milliseconds timeout) {
    trigger(settings_);
    return WaitUntilIdle(timeout);
}

JobOutcome SessionPump::RunReadOperation(std::chrono::milliseconds timeout) {
    return RunJob([](DeviceSettings& s) { s.StartReadOperation(); }, timeout);
}

JobOutcome SessionPump::RunWriteOperation(std::chrono::milliseconds timeout) {
    return RunJob([](DeviceSettings& s) { s.StartWriteOperation(); }, timeout);
}

JobOutcome SessionPump::RunArbitraryDownload(std::uint16_t channel, std::chrono::milliseconds timeout) {
    return RunJob([channel](DeviceSettings& s) { s.StartArbitraryDownload(channel); }, timeout);
}

std::uint64_t SessionPump::StepsCompleted() const {
    std::lock_guard lock(mutex_);
    return stepsCompleted_;
}

}  // namespace zorbel
