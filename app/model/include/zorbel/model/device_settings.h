// DeviceSettings: the program's model of the two-channel generator and of the
// session with it. The user interface stores settings and queues commands;
// one worker thread calls ServiceQueue every 10 ms, which starts jobs, drains
// the queue and talks to the instrument.
//
// Thread safety:
// - The session state shared without a lock (demo, sync and job flags, link
//   state, last status, calibration run state, connection) is atomic.
// - The two ChannelRecords and the calibration values are guarded by one
//   records mutex: the UI edits and reads them while the worker stores read-back
//   values. Readers take a snapshot (Record, CopyLimits) or run a short
//   function under the mutex (ReadRecord, ModifyRecord). Neither this mutex
//   nor the queue's is ever held across a call into the generator library.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zorbel/model/arbitrary_history.h"
#include "zorbel/model/channel_record.h"
#include "zorbel/model/command_queue.h"
#include "zorbel/model/generator_api.h"
#include "zorbel/model/instrument_lock.h"
#include "zorbel/model/long_job.h"
#include "zorbel/model/oscilloscope_api.h"
#include "zorbel/model/session_observer.h"
#include "zorbel/model/session_state.h"
#include "zorbel/model/sweep.h"

namespace zorbel {

inline constexpr std::uint16_t kConnectionUsb = 0;
inline constexpr std::uint16_t kConnectionLan = 1;

// Largest arbitrary waveform, points: the instrument's waveform memory (2^26).
inline constexpr std::uint32_t kMaxArbitraryPoints = 67108864;
// Largest sample-clock divider index the instrument takes.
inline constexpr std::uint16_t kMaxArbitraryDivider = 250;
// Largest arbitrary sample magnitude the instrument plays, volts: the full
// scale at the largest gain code (0.625 V x 20); the generator library
// clamps larger samples to it when it downloads them.
inline constexpr double kMaxArbitraryVolts = 12.5;

// The zoom tools that can act on the record's arbitrary view window: zoom
// in while more than 13 points or any voltage span is visible, zoom out and
// move while part of the waveform or of the centred amplitude range is hidden.
ZoomTool ZoomToolsThatCanAct(const ChannelRecord& record);

// What ExecuteCommand did: the library's status or, for a command that calls
// no library function (an end marker, a download step that only queues
// others), that command's own code.
struct CommandResult {
    CommandResult(GeneratorStatus s) : status(s) {}  // NOLINT(google-explicit-constructor): a status is a result
    static CommandResult OwnCode(std::uint16_t code) {
        CommandResult r(GeneratorStatus::Ok);
        r.ownCode = code;
        return r;
    }
    GeneratorStatus status;
    std::uint16_t ownCode = 0;  // 0: the status counts
    friend bool operator==(const CommandResult&, const CommandResult&) = default;
    friend std::ostream& operator<<(std::ostream& out, const CommandResult& r) {
        return r.ownCode ? out << "code " << r.ownCode : out << "status " << r.status;
    }
};

class DeviceSettings {
public:
    // The model on the real generator library.
    DeviceSettings();
    // The model on another implementation (a test double); `api` must outlive it.
    explicit DeviceSettings(GeneratorApi& api);
    DeviceSettings(const DeviceSettings&) = delete;
    DeviceSettings& operator=(const DeviceSettings&) = delete;

    // ---- Connection (Connect dialog) -------------------------------------
    std::uint16_t ConnectionType() const { return connectionType_; }
    std::uint32_t LanAddress() const { return lanAddress_; }  // first octet most significant
    // Stores both; the worker hands them to qmkHDInitComType at the start of
    // its next step, so the link is never re-opened under a running exchange.
    void SetConnection(std::uint16_t type, std::uint32_t address);

    // ---- Session state ----------------------------------------------------
    std::uint16_t CurrentChannel() const { return currentChannel_; }
    bool SetCurrentChannel(std::uint16_t channel);
    std::int32_t DemoFlag() const { return demo_; }
    Link LinkState() const { return linkState_; }
    Job JobFlags() const { return static_cast<Job>(jobFlags_.load()); }
    GeneratorStatus LastStatus() const { return lastStatus_; }
    std::int32_t SyncFlag() const { return sync_; }
    CalibrationRun CalibrationRunState() const { return calibrationRunState_; }
    void SetCalibrationRunState(CalibrationRun state) { calibrationRunState_ = state; }
    // The view sets and clears the calibration job around the calibration dialog.
    void SetJobFlag(Job bit) { jobFlags_ |= ToNumber(bit); }
    void ClearJobFlag(Job bit) { jobFlags_ &= ToNumber(~bit); }
    // True when the last job was dropped because the instrument did not
    // answer qmkHDDeviceConnect: at its start, or for a calibration at any of
    // its steps (cleared by every job trigger).
    bool LastJobRefused() const { return jobRefused_; }
    // The last job that ended and how; JobEnd::None until one has. A job
    // under way does not change it.
    LastJob LastEndedJob() const {
        const std::uint32_t word = lastJob_;
        return {static_cast<JobEnd>((word >> 16U) & 0xFFU), static_cast<GeneratorStatus>(word & 0xFFFFU),
                static_cast<Job>(word >> 24U)};
    }
    // The calibration dialog tells how its run ended when it clears the
    // calibration job: not started (the last job stays as it was),
    // completed, or stopped short of its end (a step that did not pass
    // within its tries, a generator that vanished).
    enum class CalibrationEnd { NotRun, Completed, StoppedShort };
    void EndCalibrationJob(CalibrationEnd end);
    // The idle presence check found the instrument gone: the session went to
    // demo mode without the user choosing it (cleared by every job trigger).
    bool InstrumentLost() const { return instrumentLost_; }
    // After the instrument was lost, the presence check finds it answering
    // again (false again while it does not). Nothing is sent to it: the user
    // resumes with Read Operation (cleared by every job trigger).
    bool InstrumentBack() const { return instrumentBack_; }

    // ---- One program at a time (instrument_lock.h) -------------------------
    // The worker holds the link's lock while the session has work for the
    // instrument (a job, or queued commands of an online session) and until it
    // is idle again. When another program holds it, the work waits up to
    // InstrumentWait(); then the job and the queued commands are dropped, the
    // link must be re-established by the next job, as after a latch, and
    // InstrumentBusy() tells why (cleared by every job trigger).
    static constexpr std::chrono::milliseconds kInstrumentWait{5000};
    void SetInstrumentWait(std::chrono::milliseconds wait) { instrumentWaitMs_ = wait.count(); }
    std::chrono::milliseconds InstrumentWait() const { return std::chrono::milliseconds(instrumentWaitMs_); }
    // Folder of the lock files; empty for InstrumentLockFolder(). Set it before the worker starts.
    // A model on a test double takes no lock (it talks to no instrument that
    // another program could share) until a folder is set here.
    void SetInstrumentLockFolder(std::string folder) {
        lockFolder_ = std::move(folder);
        locksInstrument_ = true;
    }
    bool InstrumentBusy() const { return busy_; }
    // Time the worker has spent waiting for other programs, in all (up to its last step).
    std::chrono::nanoseconds InstrumentWaitSoFar() const { return std::chrono::nanoseconds(waitedNs_); }
    // Nothing left to do: queue empty and no job pending (or demo mode,
    // in which no job starts).
    bool IsIdle() const;

    // ---- Job triggers (main frame) ----------------------------------------
    void SelectDemo() { demo_ = 1; }
    void StartReadOperation();   // job flags 3: read limits, then settings
    void StartWriteOperation();  // job flags 5: read limits, then write settings
    // Job flag 1 alone: the instrument's limits, so that values can be checked
    // against them before a Write Operation sends any.
    void StartReadLimits();
    // Job flag 4 alone: the settings of both channels are written without
    // reading the limits again, for a session whose limits were just read
    // (StartReadLimits) and that is still online; offline, nothing is sent and
    // the job fails.
    void StartWriteSettings();
    void ToggleSyncMachine() { sync_ = sync_ ? 0 : 1; }
    // The arbitrary page's "Write": queues 0x3007 for the channel.
    void StartArbitraryDownload(std::uint16_t channel);

    // ---- Cancelling a job (the progress dialog's Cancel) --------------------
    // Asks the worker to stop the running Read or Write Operation, limits read
    // or arbitrary download; any thread, returns at once. The worker stops
    // between two commands (a download between two slices of packets, a few
    // milliseconds apart) and records JobEnd::Cancelled:
    // - a Read or Write Operation (or a limits read): the rest of its batch is
    //   dropped unsent and the session is offline, as after a failure, until
    //   the next Read or Write Operation; values read or written so far stay;
    // - an arbitrary download: no further packet is sent and, once any point
    //   has gone out, the channel's output is switched off (stored in the
    //   record too): the waveform memory then holds the new points up to where
    //   the download stopped and the old ones after, which must not be
    //   played. Gain, output window and divider stay as they were. The session
    //   stays online. Cancelled before its first point, the instrument is
    //   untouched.
    // No effect on a calibration or with no job under way; every job trigger
    // forgets a request that came too late for the job it was meant for.
    void CancelJob() { cancelRequested_ = true; }
    bool CancelRequested() const { return cancelRequested_; }
    // Points of the running (or last) download handed to the library so far,
    // and its length: the progress of a download without the records lock.
    std::pair<std::uint32_t, std::uint32_t> DownloadProgress() const { return {downloadSent_, downloadLength_}; }

    // ---- Worker wake-up -----------------------------------------------------------
    // Called (on the queueing thread) whenever a command is queued, so that
    // an idle worker takes it at once instead of at the end of its period: a
    // typed value reaches the instrument within an exchange. SessionPump sets
    // it while it runs; nullptr for none. Any thread; `wake` must not call
    // the model.
    void SetWorkerWake(std::function<void()> wake) {
        std::lock_guard lock(wakeMutex_);
        wake_ = std::move(wake);
    }

    // ---- Setters: store, update the preview, queue the write ---------------
    // Each returns false and changes nothing for a channel above 1.
    bool SetOutputState(std::uint16_t channel, std::uint16_t state);
    // Codes outside 1..7 are refused (false) and neither stored nor queued.
    bool SetWaveType(std::uint16_t channel, std::uint16_t waveType);
    // Stores and queues the value as it is sent: rounded to the six
    // significant digits of "%G" (1234.567 becomes 1234.57).
    bool SetParameter(std::uint16_t channel, Parameter p, double value);
    // The arbitrary frequency then becomes the one the new clock plays
    // (FollowPlayedArbitraryFrequency).
    bool SetArbitraryDivider(std::uint16_t channel, std::uint16_t divider);

    // ---- Sweep (sweep.h) -------------------------------------------------------
    // Starts sweeping `channel` by `plan` (whose steps are `steps`), checked
    // by the caller against the limits. False, and nothing starts, unless the
    // session is online, no job runs and no other sweep does. The worker
    // writes each step as SetParameter does, a dwell after the instrument
    // confirmed the one before; a job pauses it, an offline session ends it.
    bool StartSweep(std::uint16_t channel, const SweepPlan& plan, SweepSteps steps);
    // The sweep started last, running or ended; nullptr before the first.
    std::shared_ptr<SweepRun> Sweep() const;
    bool SweepRunning() const;
    // When the worker should wake for the next sweep step (a moment before it
    // is due); nothing without a running sweep.
    std::optional<std::chrono::steady_clock::time_point> NextSweepDue() const;

    // ---- Records -------------------------------------------------------------
    ChannelRecord Record(std::uint16_t channel) const;  // a snapshot copy
    LimitsBlock CopyLimits(std::uint16_t channel) const;
    // Runs f(const ChannelRecord&) / f(ChannelRecord&) under the records mutex.
    // Keep f short and never call the model or the library from it.
    template <class F>
    decltype(auto) ReadRecord(std::uint16_t channel, F&& f) const {
        std::lock_guard lock(recordsMutex_);
        return f(static_cast<const ChannelRecord&>(records_[CheckedChannel(channel)]));
    }
    // A new arbitrary array or point count moves the channel's generation on
    // (ArbitraryChanges); points changed in place go through EditArbitrary.
    template <class F>
    decltype(auto) ModifyRecord(std::uint16_t channel, F&& f) {
        std::lock_guard lock(recordsMutex_);
        ChannelRecord& record = records_[CheckedChannel(channel)];
        const ArbitraryArrayWatch watch(record);
        return f(record);
    }
    // Grid colours (colour dialog); any thread.
    GridColours Grid() const {
        std::lock_guard lock(recordsMutex_);
        return grid_;
    }
    void SetGrid(const GridColours& grid) {
        std::lock_guard lock(recordsMutex_);
        grid_ = grid;
    }
    CalibrationValues Calibration() const;
    template <class F>
    decltype(auto) ModifyCalibration(F&& f) {
        std::lock_guard lock(recordsMutex_);
        return f(calibration_);
    }

    // ---- Arbitrary waveform -------------------------------------------------
    // n samples, all 0 but the first min(old count, m) kept; point count
    // m = n rounded down to a multiple of 16; view index window 0..m-1.
    // False (nothing changed) for a bad channel or n above the waveform memory.
    // The program resizes through EditArbitrary, which keeps the undo step.
    bool ResizeArbitrary(std::uint16_t channel, std::uint32_t n);
    // ResizeArbitrary in two parts, for a worker: the n samples a resize
    // would give, built outside the lock from short visits (nothing when
    // refused or stopped through `progress`; `builtFrom` gets the channel's
    // generation they were built from); then, on the interface thread, those
    // samples swapped in with count and window as ResizeArbitrary sets them,
    // unless the channel's generation is no longer `generation` (false,
    // nothing changed).
    std::optional<std::vector<double>> ResizedSamples(std::uint16_t channel, std::uint32_t n,
                                                      JobProgress* progress = nullptr,
                                                      std::uint64_t* builtFrom = nullptr) const;
    bool SwapInResized(std::uint16_t channel, std::vector<double>&& samples, std::optional<std::uint64_t> generation);
    // Gain code (1, 4, 20) for the channel's samples; stored as its arbitrary zoom.
    std::uint16_t ZoomFromData(std::uint16_t channel);
    // The same for samples whose greatest and least are known.
    std::uint16_t ZoomFromRange(std::uint16_t channel, double maximum, double minimum);
    // Applies zoom tool `bit` (1, 2, 4, 16, 32, 64) to the current channel and
    // asks for a full redraw. Other values are ignored.
    void SetZoomTool(ZoomTool bit);
    // The current channel's tools off (a right click in the view); false
    // when none was on. The caller asks for the redraw.
    bool ClearZoomTools();
    // A tool that can no longer act on the current channel's arbitrary view
    // window goes off (zooming out of the whole waveform, say); its partner
    // stays if it can act. Other wave types keep their tools for their return.
    // Asks for a full redraw and returns true when a tool went off.
    bool SwitchOffZoomToolsThatCannotAct();
    // Undo and redo of the channels' arbitrary points and view windows; the
    // program undoes and redoes through EditArbitrary. Interface thread only.
    ArbitraryHistory& History() { return history_; }
    const ArbitraryHistory& History() const { return history_; }

    // ---- Numbers typed by the user ------------------------------------------
    // The value by the generator library's number rules, 0.0 when the text is
    // not a number (at most 999 characters count; others than ASCII never match).
    double ParseNumberText(std::u16string_view text) const;
    double ParseNumberText(std::string_view text) const;
    // The same, telling "0" apart from "not a number".
    std::optional<double> TryParseNumberText(std::u16string_view text) const;
    std::optional<double> TryParseNumberText(std::string_view text) const;

    // ---- Pure computation of the generator library (any thread) -------------
    // The library's sample clock for an arbitrary waveform of `frequency`
    // hertz with minimumPoints to maximumPoints points per period; nothing
    // when it finds none.
    std::optional<ArbitraryControl> BestArbitraryControl(double frequency, std::uint32_t minimumPoints,
                                                         std::uint32_t maximumPoints) const;
    // The frequency a waveform of `points` points plays at with `divider`:
    // the sample clock over the points, hertz. Nothing for no points or a
    // divider the instrument does not take.
    std::optional<double> PlayedArbitraryFrequency(std::uint32_t points, std::uint16_t divider) const;
    // The channel's arbitrary frequency becomes the one its point count and
    // divider play, so that the page, the files and the printed page tell
    // what the instrument plays. Run by every change of either but a typed
    // frequency, which is kept as typed; kept as it was when there is no
    // played frequency (no points).
    void FollowPlayedArbitraryFrequency(std::uint16_t channel);

    // ---- Command queue --------------------------------------------------------
    void EnqueueCommand(std::uint16_t code, std::int32_t channel, std::int64_t integerArgument = 0,
                        double realArgument = 0.0);
    InstrumentCommand DequeueCommand() { return queue_.Dequeue(); }
    std::uint16_t FrontCode() const { return queue_.FrontCode(); }
    std::vector<InstrumentCommand> PendingCommands() const { return queue_.Pending(); }

    // ---- Calibration queueing (the calibration dialog) ---------------------
    // The channel travels in the integer argument, as every calibration
    // command's value does; the command itself is for the whole instrument.
    void QueueCalibrationStart(std::uint16_t channel);
    // Run state becomes "stopping"; discard 0 keeps the data, else discards.
    void QueueCalibrationStop(std::int32_t discard);
    // Current step = step; queues the instrument's one-based step number.
    void QueueCalibrationStep(std::uint16_t step);
    // 0x4005, 0x4008, 0x4009 or 0x400A for the whole instrument.
    void QueueCalibrationCommand(std::uint16_t code);

    // ---- Calibration on the worker side ------------------------------------
    // The oscilloscope the calibration measures with (the real library until
    // set); `scope` must outlive the model. Set it before the worker starts.
    void SetOscilloscope(OscilloscopeApi& scope) { scope_ = &scope; }
    // How long a measurement lets the oscilloscope settle first
    // (kCalibrationSettleTime unless set). A stop of the worker cuts it short.
    void SetCalibrationSettleTime(std::chrono::milliseconds time) { settleMs_ = time.count(); }
    std::chrono::milliseconds CalibrationSettleTime() const { return std::chrono::milliseconds(settleMs_); }
    // True when the worker found the generator gone during the calibration
    // job: no answer to qmkHDDeviceConnect, or a call that got no answer or
    // found no link (cleared at a step where it answers and the session is
    // not latched). The calibration dialog's link check reads this instead
    // of asking the library itself from the interface thread, beside the
    // worker's exchanges.
    bool CalibrationGeneratorGone() const { return calibrationGeneratorGone_; }

    // ---- Worker side ------------------------------------------------------------
    // Receiver of the session's messages; nullptr for none. Set it before
    // the worker starts and clear it only after the worker has stopped.
    void SetObserver(SessionObserver* observer) { observer_ = observer; }
    // One command per the command table, with the guards in order: link state
    // up; then, for library calls, demo flag clear, last status Ok (the
    // latch), channel 0 or 1 for commands that address one. Returns the
    // status (commands without a library call: their code). A stop request
    // cuts a calibration measurement's settling wait short.
    CommandResult ExecuteCommand(const InstrumentCommand& command, std::stop_token stop = {});
    // One step of the worker: take the instrument, start jobs, drain the
    // queue. A stop request ends the step between two commands; what is left
    // stays queued for the next step.
    void ServiceQueue(std::stop_token stop = {});

private:
    static std::size_t CheckedChannel(std::uint16_t channel) {
        if (channel >= kChannelCount) throw std::out_of_range("channel index above 1");
        return channel;
    }
    SessionObserver& Observer() const;
    std::optional<GeneratorStatus> LibraryGuard(const InstrumentCommand& command, bool addressesChannel) const;
    // A library call's result becomes the last status.
    GeneratorStatus Store(std::uint16_t raw) {
        const GeneratorStatus status = ToGeneratorStatus(raw);
        lastStatus_ = status;
        return status;
    }
    void SetJobFlags(Job flags) { jobFlags_ = ToNumber(flags); }
    // A job trigger: the last job's notes cleared, online, `flags` set.
    void BeginJob(Job flags);
    void EndJobPart(Job bits);
    bool Online() const { return linkState_ == Link::Up && lastStatus_ == GeneratorStatus::Ok; }

    // execute_command.cpp
    GeneratorStatus ExecuteRead(const InstrumentCommand& command, std::uint16_t channel);
    GeneratorStatus ExecuteWrite(const InstrumentCommand& command, std::uint16_t channel);
    CommandResult ExecuteArbitrary(const InstrumentCommand& command, std::uint16_t channel, std::stop_token stop = {});
    void StartDownload(std::uint16_t channel);

    // execute_calibration.cpp
    CommandResult ExecuteCalibration(const InstrumentCommand& command, std::stop_token stop);
    GeneratorStatus GeneratorCall(const InstrumentCommand& command, const std::function<std::uint16_t()>& call);
    void PrepareOscilloscope();
    GeneratorStatus Measure(const InstrumentCommand& command, std::stop_token stop);

    // service_queue.cpp
    void ServiceStep(std::stop_token stop);
    bool WantsInstrument() const;
    bool HoldInstrument();
    void RefuseBusy();
    void ApplyPendingConnection();
    void StartJobs(SessionObserver& observer);
    void QueueBatch(Job job);
    enum class BatchDrain { Ended, Pending, Cancelled };
    BatchDrain DrainBatch(std::uint16_t endCode, std::stop_token stop);
    // The worker's end of a cancelled job (CancelJob).
    void CancelRunningJob(SessionObserver& observer, std::stop_token stop);
    void CancelDownload(SessionObserver& observer, std::stop_token stop);
    bool CancelPending() const;
    // The data of a download, slice by slice (execute_command.cpp).
    GeneratorStatus SendArbitraryData(std::uint16_t channel, std::stop_token stop);
    void DrainCalibration(std::uint16_t front, SessionObserver& observer, std::stop_token stop);
    void DrainNormal(std::uint16_t front, std::stop_token stop);
    void EndSettingsBatch(Job job, SessionObserver& observer, std::stop_token stop);
    void CheckPresence();

    // sweep.cpp
    void ServiceSweep(std::stop_token stop);

    GeneratorApi& api_;
    std::atomic<SessionObserver*> observer_{nullptr};

    std::atomic<std::uint16_t> connectionType_{kConnectionUsb};
    std::atomic<std::uint32_t> lanAddress_;
    std::atomic<bool> connectionPending_{false};
    std::atomic<std::uint16_t> currentChannel_{0};
    std::atomic<std::int32_t> demo_{1};
    std::atomic<Link> linkState_{Link::Down};
    std::atomic<std::uint16_t> jobFlags_{0};  // Job bits, kept as a number for the atomic bit operations
    std::atomic<GeneratorStatus> lastStatus_{GeneratorStatus::NoLink};
    std::atomic<CalibrationRun> calibrationRunState_{CalibrationRun::Idle};
    std::atomic<bool> calibrationGeneratorGone_{false};
    OscilloscopeApi* scope_;
    std::atomic<std::chrono::milliseconds::rep> settleMs_;
    std::atomic<std::int32_t> sync_{0};
    std::atomic<bool> jobRefused_{false};
    // Channel whose download job bit 8 serves (set by 0x3007).
    std::atomic<std::uint16_t> downloadChannel_{0};
    std::atomic<std::uint32_t> downloadSent_{0};
    std::atomic<std::uint32_t> downloadLength_{0};
    std::atomic<bool> cancelRequested_{false};
    std::mutex wakeMutex_;
    std::function<void()> wake_;
    // Beginning a job and the presence check's "gone, into demo" exclude each
    // other: a job begun while the instrument was being asked is never left
    // with its flags set in a session that just went to demo.
    std::mutex jobStartMutex_;

    // The instrument lock; the lock itself and the wait's start are the worker's alone.
    InstrumentLock instrumentLock_;
    std::string lockFolder_;
    bool locksInstrument_ = false;  // the real library: set by the default constructor
    std::optional<std::chrono::steady_clock::time_point> waitingSince_;
    std::chrono::steady_clock::time_point waitMark_;
    // When the idle worker next asks whether the instrument is still there (worker's own).
    std::chrono::steady_clock::time_point nextPresenceCheck_{};
    std::atomic<std::chrono::milliseconds::rep> instrumentWaitMs_{kInstrumentWait.count()};
    std::atomic<std::chrono::nanoseconds::rep> waitedNs_{0};
    std::atomic<bool> busy_{false};
    std::atomic<bool> instrumentLost_{false};
    // The presence check found the lost instrument answering again.
    std::atomic<bool> instrumentBack_{false};
    mutable std::mutex sweepMutex_;  // guards the pointer; the run locks itself
    std::shared_ptr<SweepRun> sweep_;
    // The last ended job as one word (job << 24 | end << 16 | status): a plain integer is
    // lock-free with every compiler, a struct needs libatomic under clang.
    static constexpr std::uint32_t PackJob(LastJob job) {
        return (std::uint32_t{static_cast<std::uint8_t>(ToNumber(job.job))} << 24U) |
               (std::uint32_t{static_cast<std::uint8_t>(job.end)} << 16U) | static_cast<std::uint16_t>(job.status);
    }
    void RecordLastJob(JobEnd end, Job job) { lastJob_ = PackJob({end, lastStatus_, job}); }
    std::atomic<std::uint32_t> lastJob_{PackJob({})};

    mutable std::mutex recordsMutex_;
    std::array<ChannelRecord, kChannelCount> records_;
    CalibrationValues calibration_;
    GridColours grid_;

    CommandQueue queue_;
    ArbitraryHistory history_{*this};
};

}  // namespace zorbel
