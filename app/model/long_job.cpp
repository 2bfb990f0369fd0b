// Large waveform arrays.
#include "zorbel/model/long_job.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

namespace zorbel {
namespace {

LongJobRunner& Runner() {
    static LongJobRunner runner;
    return runner;
}

}  // namespace

void SetLongJobRunner(LongJobRunner runner) { Runner() = std::move(runner); }

bool RunLongJob(LongJob job) {
    if (Runner()) return Runner()(std::move(job));
    RunJobAtOnce(job);
    return true;
}

void LowerThreadPriority() {
    // On Linux a nice value is the thread's own (its id names it).
    constexpr int kNice = 10;
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kNice);
}

void ReserveWaveform(std::vector<double>& samples, std::size_t n) {
    samples.clear();
    samples.reserve(n);
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(samples.data());
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (begin + n * sizeof(double)) & ~(kHugePage - 1);
    // Advice only: where the system has none to give, small pages serve.
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#endif
}

void TrimWaveform(std::vector<double>& samples) {
    if (samples.capacity() < kSmallJobPoints) {
        if (samples.capacity() > 2 * samples.size()) samples.shrink_to_fit();
        return;
    }
    const long page = sysconf(_SC_PAGESIZE);
    if (page <= 0) return;
    const auto mask = static_cast<std::uintptr_t>(page - 1);
    const auto base = reinterpret_cast<std::uintptr_t>(samples.data());
    const std::uintptr_t first = (base + samples.size() * sizeof(double) + mask) & ~mask;
    const std::uintptr_t end = (base + samples.capacity() * sizeof(double)) & ~mask;
    // The storage beyond the size holds no values: its pages read as zeros
    // again if the array grows back into them.
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
}

void ReleaseWaveform(std::vector<double>&& samples) {
    std::vector<double> doomed = std::move(samples);
    if (doomed.capacity() < kSmallJobPoints) return;
    std::thread([doomed = std::move(doomed)]() mutable {
        LowerThreadPriority();
        doomed = {};
    }).detach();
}

}  // namespace zorbel
