// The edit operation on arbitrary points and the numbered changes it leaves.
#include "zorbel/model/arbitrary_edit.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <thread>

#include "zorbel/model/resample.h"

namespace zorbel {
namespace {

// Each record's generations start 2^32 apart, so a reader that saw another
// record never mistakes this one's for what it saw.
std::uint64_t FreshGeneration() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1) << 32;
}

// The channel's waveform resampled to m points, built in slices of output
// points, each under the records lock for a millisecond or so; `builtFrom`
// gets the generation they were built from. Nothing when stopped.
std::optional<std::vector<double>> ResampledSamples(const DeviceSettings& settings, std::uint16_t channel,
                                                    std::uint32_t m, JobProgress& progress, std::uint64_t& builtFrom) {
    constexpr std::size_t kSlice = std::size_t{1} << 20;
    std::vector<double> samples;
    ReserveWaveform(samples, m);
    std::optional<std::uint64_t> generation;
    do {
        settings.ReadRecord(channel, [&](const ChannelRecord& r) {
            if (generation && *generation != r.arbitraryChanges.Generation())
                samples.clear();  // changed between two visits: start again
            generation = r.arbitraryChanges.Generation();
            const std::size_t count = std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size());
            const std::size_t from = samples.size();
            const std::size_t length = std::min<std::size_t>(kSlice, m - from);
            samples.resize(from + length);
            ResampleSlice({r.arbitrarySamples.data(), count}, m, from, {samples.data() + from, length});
        });
        if (m > 0) progress.Set(static_cast<double>(samples.size()) / m);
        if (progress.StopRequested()) return std::nullopt;
        std::this_thread::yield();  // the lock is not fair: a waiting thread gets in only if this one lets it
    } while (samples.size() < m);
    builtFrom = *generation;
    return samples;
}

// A new count or a new waveform plays at its own frequency: the page, the
// files and the printed page say so (a typed frequency, whose resize comes
// first, is stored after it). The view redraws what changed.
void Announce(DeviceSettings& settings, const std::optional<ArbitraryChange>& change, RedrawSink* sink) {
    if (!change) return;
    if (change->countChanged) settings.FollowPlayedArbitraryFrequency(change->channel);
    if (!sink) return;
    if (change->points) sink->ArbitraryPointsChanged(change->channel, change->points->first, change->points->second);
    sink->RequestRedraw(change->mask);
}

// The finish step of a waveform built on a worker: the edit `make` builds
// swaps it in (unless the channel has changed since), and `done` hears
// whether it did.
template <class MakeEdit>
JobFinish SwapInFinish(DeviceSettings& settings, std::uint16_t channel, RedrawSink* sink,
                       const std::function<void(bool)>& done, std::optional<std::vector<double>> built, MakeEdit make) {
    auto samples = std::make_shared<std::optional<std::vector<double>>>(std::move(built));
    return [&settings, channel, sink, done, samples, make] {
        const bool swapped = *samples && EditArbitrary(settings, channel, make(std::move(**samples)), sink);
        if (done) done(swapped);
    };
}

}  // namespace

ArbitraryChanges::ArbitraryChanges() : first_(FreshGeneration()), generation_(first_) {}

void ArbitraryChanges::PointsChanged(std::uint32_t first, std::uint32_t last) {
    if (first > last) std::swap(first, last);
    ++generation_;
    entries_[generation_ % kKept] = {false, {first, last}};
}

void ArbitraryChanges::Replaced() {
    ++generation_;
    entries_[generation_ % kKept] = {true, {}};
}

ArbitraryChanges::Since ArbitraryChanges::ChangesSince(std::uint64_t seen) const {
    Since since;
    if (seen == generation_) return since;
    if (seen < first_ || seen > generation_ || generation_ - seen > kKept) {
        since.everything = true;
        return since;
    }
    for (std::uint64_t g = seen + 1; g <= generation_; ++g) {
        const Entry& e = entries_[g % kKept];
        if (e.whole) return {true, std::nullopt};
        since.points = since.points ? Range{std::min(since.points->first, e.points.first),
                                            std::max(since.points->second, e.points.second)}
                                    : e.points;
    }
    return since;
}

std::optional<ArbitraryChange> EditArbitrary(DeviceSettings& settings, std::uint16_t channel, ArbitraryEdit edit,
                                             RedrawSink* sink) {
    if (channel >= kChannelCount) return std::nullopt;
    ArbitraryHistory& history = settings.History();
    std::optional<ArbitraryChange> change;
    switch (edit.kind) {
    case ArbitraryEdit::Kind::Points: {
        if (edit.first > edit.last) std::swap(edit.first, edit.last);
        const std::uint32_t count = settings.ReadRecord(channel, [](const ChannelRecord& r) {
            return static_cast<std::uint32_t>(std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size()));
        });
        if (edit.first >= count || !edit.write) return std::nullopt;
        // Only the edited range is kept for undo and renewed in the envelope:
        // drawing over 64 M points costs what the mouse passed over.
        history.RecordPoints(channel, edit.first, edit.last);
        const std::optional<std::uint32_t> last = settings.ModifyRecord(channel, [&](ChannelRecord& r) {
            const std::optional<std::uint32_t> written = edit.write(r.arbitrarySamples, count);
            if (written) r.arbitraryChanges.PointsChanged(edit.first, *written);
            return written;
        });
        if (!last) return std::nullopt;
        change = ArbitraryChange{channel, std::pair{edit.first, *last}, false, RefreshMask::Waveform};
        break;
    }
    case ArbitraryEdit::Kind::Resize:
        if (edit.count > kMaxArbitraryPoints) return std::nullopt;
        if (edit.generation) {
            // Built on a worker: only the swap is left, and only onto the
            // waveform it was built from (this thread alone changes it).
            const std::uint64_t now =
                settings.ReadRecord(channel, [](const ChannelRecord& r) { return r.arbitraryChanges.Generation(); });
            if (now != *edit.generation) return std::nullopt;
            // The old array goes to the undo step, or to be freed off this thread.
            history.RecordResizeBySwap(channel, edit.count, [&] {
                settings.SwapInResized(channel, std::move(edit.samples), edit.generation);
                return std::move(edit.samples);
            });
        } else {
            history.RecordResize(channel, edit.count);
            settings.ResizeArbitrary(channel, edit.count);
        }
        change = ArbitraryChange{channel, std::nullopt, true, RefreshMask::Everything};
        break;
    case ArbitraryEdit::Kind::Replace: {
        if (edit.samples.size() > kMaxArbitraryPoints) return std::nullopt;
        if (edit.generation && *edit.generation != settings.ReadRecord(channel, [](const ChannelRecord& r) {
                return r.arbitraryChanges.Generation();
            }))
            return std::nullopt;  // built from a waveform that has changed since
        // Swapped in as a resize to the new size would leave count and
        // window; the old array goes to the undo step as it is, uncopied.
        bool swapped = false;
        try {
            history.RecordReplaceBySwap(channel, [&] {
                swapped = true;
                settings.SwapInResized(channel, std::move(edit.samples), std::nullopt);
                return std::move(edit.samples);
            });
        } catch (const std::bad_alloc&) {
            // No memory for the undo step: the points are replaced all the
            // same, whole, and the channel's earlier steps go, as for a step
            // too large to keep (they could not be reached past this one).
            // Run on the interface thread, the failure must not go further.
            history.Forget(channel);
            if (!swapped) settings.SwapInResized(channel, std::move(edit.samples), std::nullopt);
        }
        change = ArbitraryChange{channel, std::nullopt, true, RefreshMask::Everything};
        break;
    }
    case ArbitraryEdit::Kind::Undo:
        change = history.Undo(channel);
        break;
    case ArbitraryEdit::Kind::Redo:
        change = history.Redo(channel);
        break;
    }
    Announce(settings, change, sink);
    return change;
}

LongJob UndoJob(DeviceSettings& settings, std::uint16_t channel, bool redo, RedrawSink* sink,
                std::function<void(const std::optional<ArbitraryChange>&)> done) {
    return settings.History().UndoJob(channel, redo, [&settings, sink, done = std::move(done)](auto change) {
        Announce(settings, change, sink);
        if (done) done(change);
    });
}

LongJob ResizeJob(DeviceSettings& settings, std::uint16_t channel, std::uint32_t n, RedrawSink* sink,
                  std::function<void(bool resized)> done) {
    LongJob job;
    job.name = "Resize";
    if (channel >= kChannelCount) return job;
    const std::size_t count =
        settings.ReadRecord(channel, [](const ChannelRecord& r) { return r.arbitrarySamples.size(); });
    job.small = std::max<std::size_t>(count, n) < kSmallJobPoints;
    job.work = [&settings, channel, n, sink, done = std::move(done)](JobProgress& progress) -> JobFinish {
        std::uint64_t generation = 0;
        std::optional<std::vector<double>> samples = settings.ResizedSamples(channel, n, &progress, &generation);
        if (progress.StopRequested()) return {};
        return SwapInFinish(settings, channel, sink, done, std::move(samples), [generation](std::vector<double> built) {
            return ArbitraryEdit::Resize(std::move(built), generation);
        });
    };
    return job;
}

LongJob ResampleJob(DeviceSettings& settings, std::uint16_t channel, std::uint32_t n, RedrawSink* sink,
                    std::function<void(bool resampled)> done) {
    LongJob job;
    job.name = "Resample";
    if (channel >= kChannelCount || n > kMaxArbitraryPoints) return job;
    const std::uint32_t m = n & ~std::uint32_t{15};
    // Each new point reads two old ones: the time goes with the new count,
    // whatever the old one.
    job.small = m < kSmallJobPoints;
    job.work = [&settings, channel, m, sink, done = std::move(done)](JobProgress& progress) -> JobFinish {
        const std::uint32_t count =
            settings.ReadRecord(channel, [](const ChannelRecord& r) { return r.arbitraryPointCount; });
        if (count == m)
            return [done] {
                if (done) done(true);
            };
        std::uint64_t generation = 0;
        std::optional<std::vector<double>> samples = ResampledSamples(settings, channel, m, progress, generation);
        if (progress.StopRequested()) return {};
        return SwapInFinish(settings, channel, sink, done, std::move(samples), [generation](std::vector<double> built) {
            return ArbitraryEdit::Replace(std::move(built), generation);
        });
    };
    return job;
}

bool ApplyArbitraryControl(DeviceSettings& settings, std::uint16_t channel, const ArbitraryControl& control,
                           double frequency, RedrawSink* sink) {
    if (channel >= kChannelCount || control.points < 16 || control.points > kMaxArbitraryPoints ||
        control.divider < 0 || control.divider > kMaxArbitraryDivider)
        return false;
    const auto divider = static_cast<std::uint16_t>(control.divider);
    return RunLongJob(
        ResampleJob(settings, channel, control.points, sink, [&settings, channel, divider, frequency](bool resampled) {
            if (!resampled) return;
            settings.SetArbitraryDivider(channel, divider);
            // After the clock, which sets the played frequency: the
            // asked one stays as asked.
            settings.ModifyRecord(channel, [&](ChannelRecord& r) { r.arbitraryFrequency = frequency; });
        }));
}

}  // namespace zorbel
