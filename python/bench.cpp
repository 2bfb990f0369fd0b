// The module's core: checked settings, the files and the jobs a script waits for.
#include "bench.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/preview.h"
#include "zorbel/model/range_check.h"
#include "zorbel/model/setup_file.h"
#include "zorbel/model/waveform_import.h"
#include "zorbel/numbers.h"

namespace zorbel::python {
namespace {

// How often a waiting caller looks at a job (and Python at its signals).
constexpr std::chrono::milliseconds kLook{100};
constexpr std::size_t kMinimumPoints = 16;

// The document's messages: the refusal as the exception's text, remarks kept.
class Collected final : public DocumentMessages {
public:
    explicit Collected(Warnings& warnings) : warnings_(warnings) {}
    void ShowMessage(const std::string& text, const std::string& path) override { error_ = path + ": " + text; }
    void ShowWarning(const std::string& text, const std::string& path) override {
        warnings_.push_back(path + ": " + text);
    }
    [[noreturn]] void Raise() const { throw FileError(error_.empty() ? "the file operation failed" : error_); }

private:
    Warnings& warnings_;
    std::string error_;
};

std::string Seconds(std::chrono::milliseconds time) {
    return FormatWindowsG(static_cast<double>(time.count()) / 1000.0);
}

// What a download takes of `samples`: finite numbers, at least 16, the count
// rounded down to 16 and each clamped to +-limit as an import takes them.
void TakeSamples(std::vector<double>& samples, double limit, Warnings& warnings) {
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (!std::isfinite(samples[i]))
            throw std::invalid_argument("sample " + FormatInt(static_cast<long long>(i)) + " (" +
                                        FormatWindowsG(samples[i]) + ") is not a finite number");
    if (samples.size() < kMinimumPoints)
        throw std::invalid_argument(FormatInt(static_cast<long long>(samples.size())) +
                                    " samples: a waveform needs at least 16");
    const std::size_t held = samples.size();
    if (held > kMaxArbitraryPoints) samples.resize(kMaxArbitraryPoints);
    std::string error;
    if (!FinishWaveformSamples(held, samples, limit, &error, &warnings)) throw std::invalid_argument(error);
}

// A channel's settings as a Write Operation sends them.
struct Held {
    std::uint16_t output;
    std::uint16_t waveType;
    std::array<double, kParameterCount> values;
};

Held HeldOf(const DeviceSettings& settings, std::uint16_t channel) {
    return settings.ReadRecord(channel, [](const ChannelRecord& r) {
        return Held{r.outputState, r.waveType, r.values};
    });
}

void Store(DeviceSettings& settings, std::uint16_t channel, const Held& held) {
    settings.ModifyRecord(channel, [&](ChannelRecord& r) {
        r.outputState = held.output;
        r.waveType = held.waveType;
        r.values = held.values;
        UpdatePreview(r, true);
    });
}

}  // namespace

std::optional<std::uint16_t> NearestDivider(const DeviceSettings& settings, std::uint32_t points, double frequency) {
    if (!(frequency > 0.0) || !std::isfinite(frequency)) return std::nullopt;
    std::optional<std::uint16_t> best;
    double bestError = std::numeric_limits<double>::infinity();
    for (std::uint16_t divider = 0; divider <= kMaxArbitraryDivider; ++divider) {
        const std::optional<double> played = settings.PlayedArbitraryFrequency(points, divider);
        if (!played) continue;
        // By ratio: a clock twice too fast is as far off as one twice too slow.
        const double error = std::fabs(std::log(*played / frequency));
        if (error < bestError) {
            bestError = error;
            best = divider;
        }
    }
    return best;
}

Bench::Bench() {
    // A script keeps no undo steps of the points it downloads.
    Model().History().SetLimits(0, 0);
}

Bench::~Bench() {
    if (pump_) pump_->Stop();
}

std::unique_lock<std::mutex> Bench::Exclusive() { return std::unique_lock(mutex_); }

void Bench::RefuseWhenClosed() const {
    if (instrument_ && !pump_) throw std::logic_error("the generator is closed");
}

void Bench::RequireSession() const {
    RefuseWhenClosed();
    if (!pump_) throw std::logic_error("a setup has no instrument: open a Generator");
}

double Bench::Value(std::uint16_t channel, Parameter p) const {
    return Settings().ReadRecord(channel, [p](const ChannelRecord& r) { return r.Value(p); });
}

std::uint16_t Bench::WaveType(std::uint16_t channel) const {
    return Settings().ReadRecord(channel, [](const ChannelRecord& r) { return r.waveType; });
}

bool Bench::Output(std::uint16_t channel) const {
    return Settings().ReadRecord(channel, [](const ChannelRecord& r) { return r.outputState != 0; });
}

void Bench::SetValue(std::uint16_t channel, Parameter p, double value) {
    const auto lock = Exclusive();
    RefuseWhenClosed();
    if (auto message = OutOfRangeMessage(p, channel, value, Limits(channel))) throw std::invalid_argument(*message);
    // As on the pages: an unchanged value is not written again.
    if (RoundToWindowsG(value) != Value(channel, p)) Model().SetParameter(channel, p, value);
}

void Bench::SetWaveType(std::uint16_t channel, std::uint16_t waveType) {
    const auto lock = Exclusive();
    RefuseWhenClosed();
    if (!IsValidWaveType(waveType)) throw std::invalid_argument("a wave type is 1 to 7");
    if (waveType != WaveType(channel)) Model().SetWaveType(channel, waveType);
}

void Bench::SetOutput(std::uint16_t channel, bool on) {
    const auto lock = Exclusive();
    RefuseWhenClosed();
    if (on != Output(channel)) Model().SetOutputState(channel, on ? 1 : 0);
}

void Bench::SetCurrentChannel(std::uint16_t channel) {
    const auto lock = Exclusive();
    Model().SetCurrentChannel(channel);
}

// ---- Files -------------------------------------------------------------------

void Bench::LoadSetup(const std::string& path, Warnings& warnings) {
    const auto lock = Exclusive();
    Collected messages(warnings);
    struct stat st {};
    if (HasExtension(path, ".set") && ::stat(path.c_str(), &st) != 0)
        throw FileError(path + ": " + FileTextOf(FileText::CannotLoad, {std::strerror(errno)}));
    doc_.SetMessages(&messages);
    const bool loaded = doc_.LoadSetup(path);
    doc_.SetMessages(nullptr);
    if (!loaded) messages.Raise();
    if (auto warning = SetupSectionsWarning(Settings(), path)) messages.ShowWarning(*warning, path);
}

void Bench::SaveSetup(const std::string& path) {
    const auto lock = Exclusive();
    Warnings none;
    Collected messages(none);
    doc_.SetMessages(&messages);
    const bool saved = doc_.SaveSetup(path);
    doc_.SetMessages(nullptr);
    if (!saved) messages.Raise();
}

std::vector<double> Bench::LoadArbitrary(const std::string& path, Warnings& warnings) {
    Bench bench;
    Collected messages(warnings);
    bench.doc_.SetMessages(&messages);
    const bool loaded =
        HasExtension(path, ".arb") ? bench.doc_.LoadArbitrary(kArbitraryDataFile, path) : bench.doc_.ImportData(path);
    if (!loaded) messages.Raise();
    return bench.Settings().ReadRecord(0, [](const ChannelRecord& r) {
        return std::vector<double>(r.arbitrarySamples.begin(), r.arbitrarySamples.begin() + r.arbitraryPointCount);
    });
}

void Bench::SaveArbitrary(const std::string& path, std::vector<double> samples, std::optional<double> frequency,
                          std::optional<std::uint16_t> divider, Warnings& warnings) {
    const bool arb = HasExtension(path, ".arb");
    if (!arb && !HasExtension(path, ".qwf")) throw FileError(path + ": File is not *.arb or *.qwf");
    Bench bench;
    DeviceSettings& model = bench.Model();
    TakeSamples(samples, ArbitraryVoltageLimit(bench.Limits(0)), warnings);
    const auto points = static_cast<std::uint32_t>(samples.size());
    if (frequency && !divider) {
        divider = NearestDivider(model, points, *frequency);
        if (!divider) throw std::invalid_argument("the frequency must be above 0, not " + FormatWindowsG(*frequency));
    }
    EditArbitrary(model, 0, ArbitraryEdit::Replace(std::move(samples)));
    model.ZoomFromData(0);
    if (divider) model.SetArbitraryDivider(0, *divider);
    Collected messages(warnings);
    bench.doc_.SetMessages(&messages);
    if (!bench.doc_.SaveArbitrary(arb ? kArbitraryDataFile : kArbitraryExchangeFile, path)) messages.Raise();
}

// ---- The instrument ------------------------------------------------------------

JobOutcome Bench::WaitForJob(std::chrono::milliseconds timeout, const Between& between) {
    const auto start = std::chrono::steady_clock::now();
    const auto waitedBefore = Settings().InstrumentWaitSoFar();
    for (;;) {
        const JobOutcome outcome = pump_->WaitUntilIdle(kLook);
        if (outcome.finished) return outcome;
        try {
            if (between) between();
        } catch (...) {
            // Ends as the program's Cancel ends it: between two commands, or
            // two slices of a download.
            Model().CancelJob();
            pump_->WaitUntilIdle(options_.timeout);
            throw;
        }
        // Time spent waiting for another program does not count.
        const auto waited = Settings().InstrumentWaitSoFar() - waitedBefore;
        if (std::chrono::steady_clock::now() >= start + timeout + waited) {
            // The worker ends after the exchange under way; a job that got to
            // its end meanwhile is judged by how it went. The session goes on.
            const JobOutcome late = pump_->StopAndCollect();
            pump_->Start();
            return late;
        }
    }
}

void Bench::RunJob(const std::function<void(DeviceSettings&)>& trigger, std::string_view job,
                   std::chrono::milliseconds timeout, const Between& between) {
    trigger(Model());
    if (auto failure = JudgeOutcome(WaitForJob(timeout, between), job, Seconds(timeout)))
        throw InstrumentError(*failure);
}

void Bench::Open(const SessionOptions& options, const Between& between) {
    const auto lock = Exclusive();
    if (pump_) throw std::logic_error("the generator is open already");
    instrument_ = true;
    options_ = options;
    DeviceSettings& model = Model();
    model.SetInstrumentWait(options.wait);
    model.SetConnection(options.lan ? kConnectionLan : kConnectionUsb,
                        options.lan ? options.lanAddress : model.LanAddress());
    pump_ = std::make_unique<SessionPump>(model);
    pump_->Start();
    try {
        RunJob([](DeviceSettings& s) { s.StartReadOperation(); }, "Read Operation", options_.timeout, between);
    } catch (...) {
        pump_.reset();
        throw;
    }
}

void Bench::Close(bool drain, const Between& between) {
    const auto lock = Exclusive();
    if (!pump_) return;
    std::exception_ptr failure;
    if (drain) {
        try {
            SyncLocked(between);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    pump_.reset();
    if (failure) std::rethrow_exception(failure);
}

void Bench::Read(const Between& between) {
    const auto lock = Exclusive();
    RequireSession();
    RunJob([](DeviceSettings& s) { s.StartReadOperation(); }, "Read Operation", options_.timeout, between);
}

void Bench::Write(const Bench* setup, const Between& between) {
    const auto lock = Exclusive();
    RequireSession();
    DeviceSettings& model = Model();
    const std::array<Held, kChannelCount> before = {HeldOf(model, 0), HeldOf(model, 1)};
    if (setup) {
        for (std::uint16_t channel = 0; channel < kChannelCount; ++channel)
            Store(model, channel, HeldOf(setup->Settings(), channel));
        model.SetCurrentChannel(setup->Settings().CurrentChannel());
    }
    try {
        // Every value against the instrument's own limits before any is
        // sent: otherwise it refuses one halfway, after the values before it
        // have changed its outputs.
        RunJob([](DeviceSettings& s) { s.StartReadLimits(); }, "reading the limits", options_.timeout, between);
        const std::string refused = CheckSetupLimits(model);
        if (!refused.empty()) throw std::invalid_argument(refused);
    } catch (...) {
        for (std::uint16_t channel = 0; channel < kChannelCount; ++channel) Store(model, channel, before[channel]);
        throw;
    }
    RunJob([](DeviceSettings& s) { s.StartWriteSettings(); }, "Write Operation", options_.timeout, between);
}

void Bench::SyncLocked(const Between& between) {
    RunJob([](DeviceSettings&) {}, "writing the settings", options_.timeout, between);
}

void Bench::Sync(const Between& between) {
    const auto lock = Exclusive();
    RequireSession();
    SyncLocked(between);
}

double Bench::Download(std::uint16_t channel, std::vector<double> samples, std::optional<double> frequency,
                       Warnings& warnings, const Between& between) {
    const auto lock = Exclusive();
    RequireSession();
    if (frequency && !(*frequency > 0.0 && std::isfinite(*frequency)))
        throw std::invalid_argument("the frequency must be a finite number above 0, not " + FormatWindowsG(*frequency));
    TakeSamples(samples, ArbitraryVoltageLimit(Limits(channel)), warnings);
    const auto points = static_cast<std::uint32_t>(samples.size());
    DeviceSettings& model = Model();
    if (WaveType(channel) != kWaveArbitrary) model.SetWaveType(channel, kWaveArbitrary);
    EditArbitrary(model, channel, ArbitraryEdit::Replace(std::move(samples)));
    model.ZoomFromData(channel);
    if (const auto divider = frequency ? NearestDivider(model, points, *frequency) : std::nullopt)
        model.SetArbitraryDivider(channel, *divider);
    RunJob([channel](DeviceSettings& s) { s.StartArbitraryDownload(channel); }, "the download",
           DownloadTimeout(options_.timeout, points), between);
    return Settings().ReadRecord(channel, [](const ChannelRecord& r) { return r.arbitraryFrequency; });
}

SweepRun::Progress Bench::SweepNow() const {
    const std::shared_ptr<SweepRun> run = Settings().Sweep();
    return run ? run->Now() : SweepRun::Progress{};
}

void Bench::Sweep(std::uint16_t channel, const SweepRequest& request, const Between& between) {
    const auto lock = Exclusive();
    RequireSession();
    SweepPlan plan;
    plan.parameter = request.parameter;
    plan.start = request.start;
    plan.stop = request.stop;
    plan.scale = request.logarithmic ? SweepScale::Logarithmic : SweepScale::Linear;
    if (request.count) plan.count = *request.count;
    if (request.step) plan.step = *request.step;
    if (!request.count && !request.step) plan.count = 11;
    // Beyond a day (or not a number) is refused by the plan's own check.
    const double dwellMs = std::round(request.dwellSeconds * 1000.0);
    plan.dwell = std::chrono::milliseconds(std::isfinite(dwellMs) && std::fabs(dwellMs) < 1e12
                                               ? static_cast<std::chrono::milliseconds::rep>(dwellMs)
                                               : -1);
    plan.repeat = request.repeat;
    plan.upDown = request.upDown;
    SweepProblem problem = SweepProblem::None;
    std::optional<SweepSteps> steps = SweepSteps::Of(plan, &problem);
    if (!steps) throw std::invalid_argument(std::string("sweep: ") + SweepProblemText(problem));
    if (auto message = SweepLimitsMessage(plan, channel, Limits(channel))) throw std::invalid_argument(*message);
    // Queued writes go out first, so that the sweep starts on a quiet session.
    SyncLocked(between);
    DeviceSettings& model = Model();
    if (!model.StartSweep(channel, plan, std::move(*steps)))
        throw InstrumentError({JobFailure::Kind::Lost, "the instrument went offline before the sweep"});
    const std::shared_ptr<SweepRun> run = model.Sweep();
    pump_->Wake();
    // A step that does not come within the dwell and the time-out has stalled.
    const auto stall = plan.dwell + options_.timeout;
    SweepRun::Progress now = run->Now();
    auto lastStep = std::chrono::steady_clock::now();
    while (now.state == SweepState::Running) {
        pump_->WaitUntilIdle(kLook);
        try {
            if (between) between();
        } catch (...) {
            run->RequestStop(SweepStopChoice::KeepLast);
            pump_->Wake();
            const auto end = std::chrono::steady_clock::now() + stall;
            while (run->Now().state == SweepState::Running && std::chrono::steady_clock::now() < end)
                pump_->WaitUntilIdle(kLook);
            throw;
        }
        const SweepRun::Progress next = run->Now();
        if (next.written != now.written) {
            lastStep = std::chrono::steady_clock::now();
        } else if (next.state == SweepState::Running && std::chrono::steady_clock::now() - lastStep > stall) {
            pump_->StopAndCollect();
            pump_->Start();
            throw InstrumentError(
                {JobFailure::Kind::TimedOut, "the sweep did not go on within " + Seconds(options_.timeout) + " s"});
        }
        now = next;
    }
    if (now.state == SweepState::Completed) return;
    const GeneratorStatus status = Settings().LastStatus();
    throw InstrumentError({status == GeneratorStatus::Rejected ? JobFailure::Kind::Refused : JobFailure::Kind::Lost,
                           "the sweep stopped after " + FormatInt(static_cast<long long>(now.written)) + " of " +
                               FormatInt(static_cast<long long>(now.total)) +
                               " steps: " + std::string(StatusText(status))});
}

}  // namespace zorbel::python
