// The tool's instrument session: the model's worker running for the length of
// one command, the jobs it waits for, and how their outcomes become exit
// statuses and messages.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "cli_options.h"
#include "zorbel/model/session_pump.h"

namespace zorbel::cli {

// Writes the progress line of a download on standard error (when that is a
// terminal); called on the worker thread while the main thread waits.
class DownloadProgress final : public SessionObserver {
public:
    DownloadProgress(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
    void Begin(std::uint16_t channel, std::uint32_t points);
    void ShowProgress(Job jobFlags) override;
    void End(bool succeeded);

private:
    std::ostream& err_;
    const bool enabled_;
    std::uint16_t channel_ = 0;
    std::uint32_t points_ = 0;
};

class InstrumentSession {
public:
    // Connects the model as `options` say and starts its worker.
    InstrumentSession(DeviceSettings& settings, const Options& options, std::ostream& err,
                      SessionObserver* observer = nullptr);
    ~InstrumentSession();
    InstrumentSession(const InstrumentSession&) = delete;
    InstrumentSession& operator=(const InstrumentSession&) = delete;

    // Lets the worker drain what was queued before the session went online
    // (the writes of a file load): offline, nothing of it reaches the instrument.
    void Settle();

    // Each returns an exit status and has reported a failure on `err`.
    int ReadOperation();
    int ReadLimits();     // the instrument's limits alone
    int WriteSettings();  // Write Operation without its limits read: right after ReadLimits
    int Drain();          // waits until the queued writes have gone out
    int Download(std::uint16_t channel, std::uint32_t points);
    // Waits for the sweep to end, `progress` after each step. A sweep whose
    // next step does not come within the dwell and --timeout has stalled:
    // the worker is stopped and the run fails.
    int Sweep(const SweepRun& run, const std::function<void(const SweepRun::Progress&)>& progress);

private:
    // Waits for the job started by `trigger` and judges its outcome;
    // `limitText` is the time-out in seconds as the message shows it.
    int Run(const std::function<void(DeviceSettings&)>& trigger, std::string_view job,
            std::chrono::milliseconds timeout, const std::string& limitText);

    DeviceSettings& settings_;
    const Options& options_;
    std::ostream& err_;
    SessionPump pump_;
    bool answered_ = false;  // a job of this session has succeeded: --retry no longer applies
};

}  // namespace zorbel::cli
