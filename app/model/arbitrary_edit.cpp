// The edit operation on arbitrary points and the numbered changes it leaves.
#include "zorbel/model/arbitrary_edit.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>

namespace zorbel {
namespace {

// Each record's generations start 2^32 apart, so a reader that saw another
// record never mistakes this one's for what it saw.
std::uint64_t FreshGeneration() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1) << 32;
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
            history.RecordResize(channel, edit.count);
            settings.SwapInResized(channel, std::move(edit.samples), edit.generation);
        } else {
            history.RecordResize(channel, edit.count);
            settings.ResizeArbitrary(channel, edit.count);
        }
        change = ArbitraryChange{channel, std::nullopt, true, RefreshMask::Everything};
        break;
    case ArbitraryEdit::Kind::Replace: {
        if (edit.samples.size() > kMaxArbitraryPoints) return std::nullopt;
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
    // A new count or a new waveform plays at its own frequency: the page,
    // the files and the printed page say so (a typed frequency, whose resize
    // comes first, is stored after it).
    if (change && change->countChanged) settings.FollowPlayedArbitraryFrequency(channel);
    if (change && sink) {
        if (change->points) sink->ArbitraryPointsChanged(channel, change->points->first, change->points->second);
        sink->RequestRedraw(change->mask);
    }
    return change;
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
        auto samples = std::make_shared<std::optional<std::vector<double>>>(
            settings.ResizedSamples(channel, n, &progress, &generation));
        if (progress.StopRequested()) return {};
        return [&settings, channel, sink, done, samples, generation] {
            const bool resized =
                *samples &&
                EditArbitrary(settings, channel, ArbitraryEdit::Resize(std::move(**samples), generation), sink);
            if (done) done(resized);
        };
    };
    return job;
}

}  // namespace zorbel
