// Running jobs for the tool and judging their outcome.
#include "instrument_session.h"

#include <thread>

#include "zorbel/numbers.h"

namespace zorbel::cli {
namespace {

// Between two tries of a job while --retry waits for the instrument.
constexpr std::chrono::milliseconds kRetryPause{250};

// The job found no instrument, or the instrument did not answer it.
bool Unanswered(const JobOutcome& outcome) {
    if (outcome.busy) return false;
    if (outcome.instrumentAbsent || (outcome.finished && outcome.demo)) return true;
    return outcome.finished && !outcome.Succeeded() &&
           (outcome.lastStatus == GeneratorStatus::Failed || outcome.lastStatus == GeneratorStatus::NoLink);
}

}  // namespace

void DownloadProgress::Begin(std::uint16_t channel, std::uint32_t points) {
    channel_ = channel;
    points_ = points;
}

void DownloadProgress::ShowProgress(Job jobFlags) {
    if (!enabled_ || !Any(jobFlags, Job::ArbitraryDownload)) return;
    err_ << "\rCH" << FormatInt(channel_ + 1) << ": sending " << FormatInt(points_) << " points..." << std::flush;
}

void DownloadProgress::End(bool succeeded) {
    if (!enabled_) return;
    // Overwrites the progress line, so that a message after it starts clean.
    err_ << "\rCH" << FormatInt(channel_ + 1) << ": " << FormatInt(points_) << " points "
         << (succeeded ? "sent.     " : "not sent. ") << "\n"
         << std::flush;
}

InstrumentSession::InstrumentSession(DeviceSettings& settings, const Options& options, std::ostream& err,
                                     SessionObserver* observer)
    : settings_(settings), options_(options), err_(err), pump_(settings) {
    settings_.SetObserver(observer);
    settings_.SetInstrumentWait(options.wait);
    settings_.SetConnection(options.lan ? kConnectionLan : kConnectionUsb,
                            options.lanAddress.value_or(settings.LanAddress()));
    pump_.Start();
}

InstrumentSession::~InstrumentSession() {
    pump_.Stop();
    settings_.SetObserver(nullptr);
}

void InstrumentSession::Settle() { pump_.WaitUntilIdle(options_.timeout); }

int InstrumentSession::Run(const std::function<void(DeviceSettings&)>& trigger, std::string_view job,
                           std::chrono::milliseconds timeout, const std::string& limitText) {
    const auto retryEnd = std::chrono::steady_clock::now() + options_.retry;
    JobOutcome outcome;
    for (;;) {
        outcome = pump_.RunJob(trigger, timeout);
        // Out of time: the worker ends after the exchange under way, and a job
        // that got to its end meanwhile is judged by how it went.
        if (!outcome.finished) outcome = pump_.StopAndCollect();
        // --retry: an instrument that is absent or silent at the first job
        // may be starting up; one that stopped answering later is not waited for.
        if (answered_ || !Unanswered(outcome) || std::chrono::steady_clock::now() + kRetryPause >= retryEnd) break;
        std::this_thread::sleep_for(kRetryPause);
        pump_.Start();
    }
    if (outcome.Succeeded()) answered_ = true;
    if (const auto failure = JudgeOutcome(outcome, job, limitText)) {
        err_ << "zorbel-cli: " << failure->message << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int InstrumentSession::ReadOperation() {
    return Run([](DeviceSettings& s) { s.StartReadOperation(); }, "Read Operation", options_.timeout,
               options_.timeoutText);
}

int InstrumentSession::ReadLimits() {
    return Run([](DeviceSettings& s) { s.StartReadLimits(); }, "reading the limits", options_.timeout,
               options_.timeoutText);
}

int InstrumentSession::WriteSettings() {
    return Run([](DeviceSettings& s) { s.StartWriteSettings(); }, "Write Operation", options_.timeout,
               options_.timeoutText);
}

int InstrumentSession::Drain() {
    return Run([](DeviceSettings&) {}, "writing the settings", options_.timeout, options_.timeoutText);
}

int InstrumentSession::Download(std::uint16_t channel, std::uint32_t points) {
    // The wait allows for every packet at its worst; a run out of time stops
    // between two slices of the data.
    const auto timeout = DownloadTimeout(options_.timeout, points);
    return Run([channel](DeviceSettings& s) { s.StartArbitraryDownload(channel); }, "the download", timeout,
               FormatWindowsG(static_cast<double>(timeout.count()) / 1000.0));
}

int InstrumentSession::Sweep(const SweepRun& run, const std::function<void(const SweepRun::Progress&)>& progress) {
    // Up to one exchange of each step may take the whole --timeout.
    const auto stall = run.Plan().dwell + options_.timeout;
    SweepRun::Progress now = run.Now();
    auto lastStep = std::chrono::steady_clock::now();
    while (now.state == SweepState::Running) {
        pump_.WaitUntilIdle(std::chrono::milliseconds(100));
        const SweepRun::Progress next = run.Now();
        if (next.written != now.written) {
            lastStep = std::chrono::steady_clock::now();
            progress(next);
        } else if (next.state == SweepState::Running && std::chrono::steady_clock::now() - lastStep > stall) {
            pump_.StopAndCollect();
            err_ << "zorbel-cli: the sweep did not go on within " << options_.timeoutText << " s\n";
            return kExitFailed;
        }
        now = next;
    }
    if (now.state == SweepState::Completed) return kExitOk;
    err_ << "zorbel-cli: the sweep stopped after " << FormatInt(static_cast<long long>(now.written)) << " of "
         << FormatInt(static_cast<long long>(now.total)) << " steps: " << StatusText(settings_.LastStatus()) << "\n";
    return kExitFailed;
}

}  // namespace zorbel::cli
