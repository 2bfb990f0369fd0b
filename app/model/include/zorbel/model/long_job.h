// Work on a whole waveform that can take longer than the interface may wait
// (a formula, an import, a resize over millions of points): it runs on a
// worker, tells how far it is and stops when asked, and hands back one short
// step that the interface thread runs to apply its result. Qt-free: the
// program runs it under its progress dialog, tests and zorbel-cli at once.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

namespace zorbel {

// A job's side of the progress dialog: the share done, and whether the
// user cancelled.
class JobProgress {
public:
    JobProgress() = default;
    explicit JobProgress(std::stop_token stop) : stop_(std::move(stop)) {}

    bool StopRequested() const { return stop_.stop_requested(); }
    // 0 to 1; any thread.
    void Set(double fraction) { fraction_ = std::clamp(fraction, 0.0, 1.0); }
    // Parts of a whole that several threads do: `done` more of `total`.
    void Add(std::size_t done, std::size_t total) {
        if (total == 0) return;
        const std::size_t sum = done_.fetch_add(done) + done;
        Set(static_cast<double>(sum) / static_cast<double>(total));
    }
    double Fraction() const { return fraction_; }

private:
    std::stop_token stop_;
    std::atomic<double> fraction_{0.0};
    std::atomic<std::size_t> done_{0};
};

// The step the interface thread runs when the work has ended: it applies the
// result, or reports why there is none. Empty: nothing to do (cancelled).
using JobFinish = std::function<void()>;

struct LongJob {
    std::string name;  // what the progress dialog says, "Formula"
    // Small enough to run at once where it was asked for, without a worker
    // or a dialog: what a user could not see wait.
    bool small = false;
    // Runs on a worker (or at once for a small job); never touches the
    // records but through short visits under their lock.
    std::function<JobFinish(JobProgress& progress)> work;
};

// Points below which work on a waveform runs at once: a resize, a formula or
// an import of this many points takes a few milliseconds.
inline constexpr std::size_t kSmallJobPoints = std::size_t{1} << 18;

// Room for n samples in `samples` (emptied), untouched yet. A large array
// asks the system for huge pages: a fresh 512 MiB waveform then costs 256
// page faults instead of 131072, which is most of the time a resize or a
// formula over 64 M points would otherwise spend.
void ReserveWaveform(std::vector<double>& samples, std::size_t n);

// Gives the memory of `samples` beyond its size back to the system (its
// pages, not a copy into a smaller array): a waveform kept for undo without
// the zeros at its end.
void TrimWaveform(std::vector<double>& samples);

// Frees `samples`: a large array on a thread of its own, so that the thread
// that let it go (the interface thread, at the end of a job or an undo step)
// does not wait for the system to take back hundreds of megabytes.
void ReleaseWaveform(std::vector<double>&& samples);

// The calling thread yields to the others: the helper threads of a long job
// that takes every core must not starve the interface thread of the little
// it needs (the job's own worker keeps the normal priority, so that the job
// goes on beside other programs).
void LowerThreadPriority();

// Runs `job` on the calling thread, and its finish step.
inline void RunJobAtOnce(const LongJob& job) {
    JobProgress progress;
    if (!job.work) return;
    if (JobFinish finish = job.work(progress)) finish();
}

// Where the program's panel and dialogs hand their long jobs: the graphical
// program runs them on the view's worker under the progress dialog, with
// Cancel; until a runner is set (tests, zorbel-cli, the panel demo) they
// run at once. Interface thread. False when the job was not started
// (another one runs).
using LongJobRunner = std::function<bool(LongJob job)>;
bool RunLongJob(LongJob job);
void SetLongJobRunner(LongJobRunner runner);

}  // namespace zorbel
