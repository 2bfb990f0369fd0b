// The core of the Python module, without Python: the program's document and
// model of both channels and, for a generator, the session worker with the
// jobs a script waits for. What Python sees (exceptions, warnings, the
// interpreter lock, progress callbacks) is module.cpp's.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "zorbel/model/document.h"
#include "zorbel/model/session_pump.h"
#include "zorbel/model/sweep.h"

namespace zorbel::python {

// A job that did not succeed (JudgeOutcome), or a session that cannot go on.
class InstrumentError : public std::runtime_error {
public:
    explicit InstrumentError(JobFailure failure) : std::runtime_error(failure.message), kind_(failure.kind) {}
    JobFailure::Kind Kind() const { return kind_; }

private:
    JobFailure::Kind kind_;
};

// A file the document refused or could not write: "PATH: reason".
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Remarks on what was taken as not given: a file that loaded as not
// written, samples rounded down or clamped. "PATH: text" for a file.
using Warnings = std::vector<std::string>;

// Called on the waiting thread about every 100 ms while a job or sweep runs;
// an exception thrown from it cancels the job, which ends as the program's
// Cancel ends it (a sweep stops, keeping its last value), and goes on to the caller.
using Between = std::function<void()>;

struct SessionOptions {
    bool lan = false;
    std::uint32_t lanAddress = 0;  // first octet most significant
    std::chrono::milliseconds timeout{30000};
    std::chrono::milliseconds wait{5000};
};

// The values of a sweep as a script gives them; SweepPlan's defaults where not.
struct SweepRequest {
    Parameter parameter = Parameter::Frequency;
    double start = 0.0;
    double stop = 0.0;
    std::optional<std::uint32_t> count;
    std::optional<double> step;
    bool logarithmic = false;
    double dwellSeconds = 0.1;
    std::uint32_t repeat = 1;
    bool upDown = false;
};

class Bench {
public:
    // The built-in defaults and no instrument.
    Bench();
    ~Bench();
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    const DeviceSettings& Settings() const { return doc_.GetDeviceSettings(); }
    // Channels are 0 and 1 here.
    double Value(std::uint16_t channel, Parameter p) const;
    std::uint16_t WaveType(std::uint16_t channel) const;
    bool Output(std::uint16_t channel) const;
    LimitsBlock Limits(std::uint16_t channel) const { return Settings().CopyLimits(channel); }

    // Each checks the value as the wave parameter pages do (std::invalid_argument
    // with their message) and stores it; a generator's session queues the
    // write. An unchanged value is not written again. A closed generator
    // refuses (std::logic_error).
    void SetValue(std::uint16_t channel, Parameter p, double value);
    void SetWaveType(std::uint16_t channel, std::uint16_t waveType);
    void SetOutput(std::uint16_t channel, bool on);
    void SetCurrentChannel(std::uint16_t channel);

    // ---- Files (FileError; the document's warnings appended to `warnings`) ----
    // "Load Setup", except that a missing file is refused: a script that
    // names a file means that file, not the defaults.
    void LoadSetup(const std::string& path, Warnings& warnings);
    void SaveSetup(const std::string& path);
    // Channel 1's points of an .arb file ("Load Data"), or of a .qwf, sound
    // file or table ("Import Data").
    static std::vector<double> LoadArbitrary(const std::string& path, Warnings& warnings);
    // `samples` as an .arb or .qwf file (by the name), taken as a download
    // takes them with the built-in limits; the divider, or the one whose
    // clock plays `frequency` nearest, or the default; the caller checks
    // that a divider lies within 0 to kMaxArbitraryDivider.
    static void SaveArbitrary(const std::string& path, std::vector<double> samples, std::optional<double> frequency,
                              std::optional<std::uint16_t> divider, Warnings& warnings);

    // ---- The instrument (InstrumentError; std::logic_error when not open) ----
    bool IsOpen() const { return pump_ != nullptr; }
    // Starts the worker on the link and runs a Read Operation.
    void Open(const SessionOptions& options, const Between& between);
    // Waits for the queued writes when `drain` (failing as Sync does, after
    // the worker stopped), then stops the worker. No effect when not open.
    void Close(bool drain, const Between& between);
    void Read(const Between& between);
    // Write Operation of the settings of both channels, `setup`'s when given:
    // the instrument's limits are read and every value checked against them
    // before any is sent (std::invalid_argument, nothing changed).
    void Write(const Bench* setup, const Between& between);
    // Waits until the queued writes have gone out.
    void Sync(const Between& between);
    // `samples` into the channel's waveform and onto the instrument (the
    // channel becomes arbitrary); returns the frequency the waveform plays.
    double Download(std::uint16_t channel, std::vector<double> samples, std::optional<double> frequency,
                    Warnings& warnings, const Between& between);
    // Points of the running (or last) download sent so far, and its length.
    std::pair<std::uint32_t, std::uint32_t> DownloadProgress() const { return Settings().DownloadProgress(); }
    // Runs a sweep to its end; `between` may read SweepNow().
    void Sweep(std::uint16_t channel, const SweepRequest& request, const Between& between);
    SweepRun::Progress SweepNow() const;

private:
    DeviceSettings& Model() { return doc_.GetDeviceSettings(); }
    std::unique_lock<std::mutex> Exclusive();
    void RefuseWhenClosed() const;
    void RequireSession() const;
    void RunJob(const std::function<void(DeviceSettings&)>& trigger, std::string_view job,
                std::chrono::milliseconds timeout, const Between& between);
    JobOutcome WaitForJob(std::chrono::milliseconds timeout, const Between& between);
    void SyncLocked(const Between& between);

    CZorbelDoc doc_;
    // One caller at a time runs jobs and changes the model (the program's
    // interface thread); the worker is the session's own.
    std::mutex mutex_;
    bool instrument_ = false;  // a generator: refuses changes once closed
    SessionOptions options_;
    std::unique_ptr<SessionPump> pump_;
};

// The divider (0 to 250) whose sample clock plays `points` points nearest to
// `frequency` hertz; nothing for a frequency that is not above 0.
std::optional<std::uint16_t> NearestDivider(const DeviceSettings& settings, std::uint32_t points, double frequency);

}  // namespace zorbel::python
