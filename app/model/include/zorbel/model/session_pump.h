// The worker ("pump") of an instrument session: calls ServiceQueue every
// period on its own thread, the only thread that talks to the instrument.
// Used by the program's view and by command-line tools, which start a job and
// wait for its outcome with RunJob / WaitUntilIdle.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

#include "zorbel/model/device_settings.h"

namespace zorbel {

struct JobOutcome {
    bool finished = false;          // the session became idle before the time-out
    bool instrumentAbsent = false;  // the job was dropped: the instrument did not answer at its start
    bool busy = false;              // the job was dropped: another program held the instrument too long
    bool demo = false;              // demo mode: nothing reached the instrument
    Link linkState = Link::Down;
    GeneratorStatus lastStatus = GeneratorStatus::NoLink;  // of the last library call

    bool Succeeded() const {
        return finished && !instrumentAbsent && !busy && !demo && linkState == Link::Up &&
               lastStatus == GeneratorStatus::Ok;
    }
};

// Why a job did not succeed, as a front end tells its user.
struct JobFailure {
    enum class Kind : std::uint8_t {
        Busy,      // another program held the instrument too long
        NoDevice,  // the instrument is absent (or demo mode: nothing reached it)
        TimedOut,  // the job did not end within its time
        Lost,      // an exchange got no answer, or found no link
        Refused,   // the instrument refused a value or gave an unacceptable answer
    };
    Kind kind;
    std::string message;  // "Read Operation failed: ... (status 3)", without a program name
};

// What the library's status means, in a message.
std::string_view StatusText(GeneratorStatus status);

// Nothing when the job succeeded; otherwise its failure. `job` names it in
// the message ("Read Operation"), `limitText` is its time-out in seconds as
// the message shows it.
std::optional<JobFailure> JudgeOutcome(const JobOutcome& outcome, std::string_view job, std::string_view limitText);

// The time a download of `points` points may take: `base` and, for every
// 960-point packet, the USB exchange time-out of 2 s (its worst case).
std::chrono::milliseconds DownloadTimeout(std::chrono::milliseconds base, std::uint32_t points);

class SessionPump {
public:
    static constexpr std::chrono::milliseconds kPeriod{10};
    static constexpr std::chrono::milliseconds kJobTimeout{30000};

    // `settings` must outlive the pump. The observer is the settings' own.
    explicit SessionPump(DeviceSettings& settings, std::chrono::milliseconds period = kPeriod);
    ~SessionPump() {
        Stop();
        settings_.SetWorkerWake(nullptr);
    }
    SessionPump(const SessionPump&) = delete;
    SessionPump& operator=(const SessionPump&) = delete;

    void Start();  // no effect while running
    // Asks the worker to end after its current step; returns at once. The
    // step is never interrupted, so no exchange is cut short.
    void RequestStop();
    // RequestStop, then joins the worker. Must not be called from a thread the
    // worker waits for (the receiver of a sent UpdatePanel, say) unless that
    // observer has stopped blocking.
    void Stop();
    bool Running() const;

    // Runs the next step now instead of at the end of the period.
    void Wake();

    // Waits until a step that began after this call has left the session idle
    // (queue empty, no job pending) and tells how it went. Time the worker
    // spends waiting for another program to free the instrument does not count
    // against `timeout`. Must not be called on the worker thread or from an
    // observer callback.
    JobOutcome WaitUntilIdle(std::chrono::milliseconds timeout = kJobTimeout);

    // After a wait that ran out: stops the worker, which ends its step after
    // the exchange under way, and tells how the session stands then. A job
    // that ended meanwhile counts as finished, with its own outcome.
    JobOutcome StopAndCollect();

    // Calls trigger(settings) (StartReadOperation, say), then WaitUntilIdle.
    JobOutcome RunJob(const std::function<void(DeviceSettings&)>& trigger,
                      std::chrono::milliseconds timeout = kJobTimeout);
    JobOutcome RunReadOperation(std::chrono::milliseconds timeout = kJobTimeout);
    JobOutcome RunWriteOperation(std::chrono::milliseconds timeout = kJobTimeout);
    JobOutcome RunArbitraryDownload(std::uint16_t channel, std::chrono::milliseconds timeout = kJobTimeout);

    std::uint64_t StepsCompleted() const;

private:
    void Run(std::stop_token stop);
    JobOutcome Collect(bool finished) const;

    DeviceSettings& settings_;
    const std::chrono::milliseconds period_;

    mutable std::mutex mutex_;
    std::condition_variable_any changed_;  // step completed, wake request, stop
    std::uint64_t stepsStarted_ = 0;
    std::uint64_t stepsCompleted_ = 0;
    bool lastStepIdle_ = false;
    bool wake_ = false;
    bool running_ = false;
    std::jthread thread_;
};

}  // namespace zorbel
