// Undo and redo of the arbitrary waveforms: steps that keep what a change
// overwrote and swap it back.
#include "zorbel/model/arbitrary_history.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "zorbel/model/device_settings.h"
#include "zorbel/model/long_job.h"

namespace zorbel {
namespace {

// Where samples[offset..] ends but for its zeros: a resized array is zero
// there anyway, and a grown waveform's new points cost nothing to keep.
std::size_t TailEnd(const std::vector<double>& samples, std::size_t offset) {
    std::size_t end = samples.size();
    while (end > offset && samples[end - 1] == 0.0) --end;
    return end;
}

std::vector<double> TailValues(const std::vector<double>& samples, std::size_t offset) {
    const std::size_t end = TailEnd(samples, offset);
    if (end <= offset) return {};
    return {samples.begin() + static_cast<std::ptrdiff_t>(offset), samples.begin() + static_cast<std::ptrdiff_t>(end)};
}

std::size_t ValueBytes(std::size_t values) { return values * sizeof(double); }

// An array taken out of a record may be kept as it is, rather than the
// points from the offset copied out of it, where the points before the offset
// are at most an eighth of it: a replacement or a resize of millions of
// points is then undone and redone by swapping arrays, not by copying them.
bool KeepWhole(std::size_t offset, std::size_t end) { return offset <= end / 8; }

}  // namespace

ArbitraryHistory::Step ArbitraryHistory::NewStep(std::uint16_t channel) {
    Step step;
    step.order = nextOrder_++;
    settings_.ReadRecord(channel, [&](const ChannelRecord& r) {
        step.window = WindowOf(r);
        step.size = r.arbitrarySamples.size();
        step.count = r.arbitraryPointCount;
    });
    return step;
}

void ArbitraryHistory::Push(std::uint16_t channel, Step step) {
    Channel& c = channels_[channel];
    if (step.bytes > maxBytes_) {
        Forget(channel);
        return;
    }
    c.redo.clear();
    c.undo.push_back(std::move(step));
    Trim();
}

// Adds the old values of first..last that the step does not hold yet. The
// points it holds form one range; a piece beyond it on either side is added
// whole, gap included, so that it stays one range.
void ArbitraryHistory::Cover(Step& step, std::uint16_t channel, std::uint32_t first, std::uint32_t last) {
    if (first > last) std::swap(first, last);
    if (step.size == 0 || first >= step.size) return;
    last = static_cast<std::uint32_t>(std::min<std::size_t>(last, step.size - 1));
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pieces;
    if (step.segments.empty()) {
        pieces.emplace_back(first, last);
        step.coveredFirst = first;
        step.coveredLast = last;
    } else {
        if (first < step.coveredFirst) pieces.emplace_back(first, step.coveredFirst - 1);
        if (last > step.coveredLast) pieces.emplace_back(step.coveredLast + 1, last);
        step.coveredFirst = std::min(step.coveredFirst, first);
        step.coveredLast = std::max(step.coveredLast, last);
    }
    if (pieces.empty()) return;
    settings_.ReadRecord(channel, [&](const ChannelRecord& r) {
        for (const auto& [from, to] : pieces) {
            const auto begin = r.arbitrarySamples.begin() + from;
            step.segments.push_back({from, std::vector<double>(begin, begin + (to - from + 1))});
            step.bytes += sizeof(Segment) + ValueBytes(to - from + 1);
        }
    });
}

void ArbitraryHistory::RecordPoints(std::uint16_t channel, std::uint32_t first, std::uint32_t last) {
    if (!Valid(channel)) return;
    if (grouping_ && groupChannel_ == channel) {
        if (!open_) return;  // this drag outgrew the memory bound
        Cover(*open_, channel, first, last);
        if (open_->bytes > maxBytes_) {
            Forget(channel);
            return;
        }
        Trim();
        return;
    }
    EndStep();
    Step step = NewStep(channel);
    Cover(step, channel, first, last);
    Push(channel, std::move(step));
}

void ArbitraryHistory::RecordWindow(std::uint16_t channel) {
    if (!Valid(channel)) return;
    EndStep();
    Push(channel, NewStep(channel));
}

void ArbitraryHistory::RecordResize(std::uint16_t channel, std::uint32_t n) {
    if (n > kMaxArbitraryPoints) return;  // refused by the resize: nothing changes
    RecordTail(channel, n & ~std::uint32_t{15});
}

void ArbitraryHistory::RecordReplace(std::uint16_t channel) { RecordTail(channel, std::nullopt); }

void ArbitraryHistory::RecordReplaceBySwap(std::uint16_t channel, const std::function<std::vector<double>()>& swapIn) {
    RecordSwap(channel, std::nullopt, swapIn);
}

void ArbitraryHistory::RecordResizeBySwap(std::uint16_t channel, std::uint32_t n,
                                          const std::function<std::vector<double>()>& swapIn) {
    if (n > kMaxArbitraryPoints) return;  // refused by the resize: nothing changes
    RecordSwap(channel, n & ~std::uint32_t{15}, swapIn);
}

void ArbitraryHistory::RecordSwap(std::uint16_t channel, std::optional<std::uint32_t> newCount,
                                  const std::function<std::vector<double>()>& swapIn) {
    if (!Valid(channel)) {
        ReleaseWaveform(swapIn());
        return;
    }
    EndStep();
    Step step = NewStep(channel);
    Tail tail;
    settings_.ReadRecord(channel, [&](const ChannelRecord& r) {
        tail.offset = newCount ? static_cast<std::uint32_t>(std::min<std::size_t>(
                                     {r.arbitraryPointCount, *newCount, r.arbitrarySamples.size()}))
                               : 0;
        tail.size = r.arbitrarySamples.size();
        tail.count = r.arbitraryPointCount;
        tail.zoom = r.arbitraryZoom;
    });
    Keep(tail, swapIn());
    if (ValueBytes(tail.values.size()) > maxBytes_) {
        ReleaseWaveform(std::move(tail.values));
        Forget(channel);
        return;
    }
    step.bytes += ValueBytes(tail.values.size());
    step.tail = std::move(tail);
    Push(channel, std::move(step));
}

// `taken` left the record: the step keeps it whole (its zeros at the end
// dropped) or the points from the offset copied out of it.
void ArbitraryHistory::Keep(Tail& t, std::vector<double>&& taken) {
    const std::size_t end = TailEnd(taken, t.offset);
    if (KeepWhole(t.offset, end)) {
        t.whole = true;
        taken.resize(end);
        TrimWaveform(taken);  // the zeros dropped give their memory back
        t.values = std::move(taken);
        return;
    }
    t.whole = false;
    t.values = TailValues(taken, t.offset);
    ReleaseWaveform(std::move(taken));
}

// Keeps the points from the first one the change leaves alone: the points a
// resize to `newCount` keeps, or none for a replacement.
void ArbitraryHistory::RecordTail(std::uint16_t channel, std::optional<std::uint32_t> newCount) {
    if (!Valid(channel)) return;
    EndStep();
    Step step = NewStep(channel);
    Tail tail;
    const bool fits = settings_.ReadRecord(channel, [&](const ChannelRecord& r) {
        const std::size_t size = r.arbitrarySamples.size();
        tail.offset =
            newCount ? static_cast<std::uint32_t>(std::min<std::size_t>({r.arbitraryPointCount, *newCount, size})) : 0;
        // Measured before copying: a waveform beyond the bound is never copied.
        if (ValueBytes(TailEnd(r.arbitrarySamples, tail.offset) - tail.offset) > maxBytes_) return false;
        tail.values = TailValues(r.arbitrarySamples, tail.offset);
        tail.size = size;
        tail.count = r.arbitraryPointCount;
        tail.zoom = r.arbitraryZoom;
        return true;
    });
    if (!fits) {
        Forget(channel);
        return;
    }
    step.bytes += ValueBytes(tail.values.size());
    step.tail = std::move(tail);
    Push(channel, std::move(step));
}

void ArbitraryHistory::BeginStep(std::uint16_t channel) {
    EndStep();
    if (!Valid(channel)) return;
    grouping_ = true;
    groupChannel_ = channel;
    open_ = NewStep(channel);
}

void ArbitraryHistory::EndStep() {
    if (!grouping_) return;
    grouping_ = false;
    std::optional<Step> step = std::move(open_);
    open_.reset();
    if (step && !step->segments.empty()) Push(groupChannel_, std::move(*step));
}

bool ArbitraryHistory::CanUndo(std::uint16_t channel) const {
    if (channel >= kChannelCount) return false;
    const bool openEdit = grouping_ && groupChannel_ == channel && open_ && !open_->segments.empty();
    return openEdit || !channels_[channel].undo.empty();
}

bool ArbitraryHistory::CanRedo(std::uint16_t channel) const {
    if (channel >= kChannelCount) return false;
    // A drag under way is a new change: the steps undone before it are gone once it ends.
    const bool openEdit = grouping_ && groupChannel_ == channel && open_ && !open_->segments.empty();
    return !openEdit && !channels_[channel].redo.empty();
}

std::optional<ArbitraryChange> ArbitraryHistory::Undo(std::uint16_t channel) {
    if (channel >= kChannelCount) return std::nullopt;
    EndStep();
    Channel& c = channels_[channel];
    if (c.undo.empty()) return std::nullopt;
    Step step = std::move(c.undo.back());
    c.undo.pop_back();
    const std::optional<ArbitraryChange> change = Apply(channel, step);
    if (!change) {
        Forget(channel);
        return std::nullopt;
    }
    c.redo.push_back(std::move(step));
    Trim();
    return change;
}

std::optional<ArbitraryChange> ArbitraryHistory::Redo(std::uint16_t channel) {
    if (channel >= kChannelCount) return std::nullopt;
    EndStep();
    Channel& c = channels_[channel];
    if (c.redo.empty()) return std::nullopt;
    Step step = std::move(c.redo.back());
    c.redo.pop_back();
    const std::optional<ArbitraryChange> change = Apply(channel, step);
    if (!change) {
        Forget(channel);
        return std::nullopt;
    }
    c.undo.push_back(std::move(step));
    Trim();
    return change;
}

std::optional<ArbitraryChange> ArbitraryHistory::SwapTail(std::uint16_t channel, Step& step,
                                                          std::vector<double>& samples,
                                                          const std::function<bool(const ChannelRecord&)>& ready) {
    Tail& t = *step.tail;
    std::uint32_t count = 0;
    const bool swapped = settings_.ModifyRecord(channel, [&](ChannelRecord& r) {
        if (!ready(r)) return false;
        r.arbitrarySamples.swap(samples);
        std::swap(r.arbitraryPointCount, t.count);
        std::swap(r.arbitraryZoom, t.zoom);
        const ArbitraryWindow window = WindowOf(r);
        SetWindow(r, step.window);
        step.window = window;
        count = r.arbitraryPointCount;
        return true;
    });
    if (!swapped) return std::nullopt;
    ArbitraryChange change;
    change.channel = channel;
    change.countChanged = true;
    change.mask = RefreshMask::Everything;
    // A new array with an unchanged count may sit where an old one was: the
    // outline is renewed over every point that may differ.
    if (count > t.offset) change.points = std::pair{t.offset, count - 1};
    return change;
}

// Swaps the step's values with the record's: afterwards the step holds what
// the record held, so applying it again goes back.
std::optional<ArbitraryChange> ArbitraryHistory::Apply(std::uint16_t channel, Step& step) {
    if (step.tail) {
        Tail& t = *step.tail;
        const std::size_t heldBytes = ValueBytes(t.values.size());
        const std::size_t from = t.whole ? 0 : t.offset;  // where t.values start
        if (t.offset > t.size || t.values.size() > t.size - from) return std::nullopt;
        // Built outside the lock, as ResizeArbitrary does: the display thread
        // keeps drawing. A whole array kept goes back as it is (its zeros
        // put back where its memory still has room for them).
        std::vector<double> samples;
        if (t.whole) {
            samples = std::move(t.values);
        } else {
            ReserveWaveform(samples, t.size);
            samples.resize(t.offset, 0.0);
            samples.insert(samples.end(), t.values.begin(), t.values.end());
        }
        samples.resize(t.size, 0.0);
        const std::optional<ArbitraryChange> change = SwapTail(channel, step, samples, [&](const ChannelRecord& r) {
            if (t.offset > r.arbitrarySamples.size()) return false;
            std::copy_n(r.arbitrarySamples.begin(), t.offset, samples.begin());
            return true;
        });
        if (!change) {
            ReleaseWaveform(std::move(samples));
            return std::nullopt;
        }
        // `samples` is the array just taken out.
        t.size = samples.size();
        Keep(t, std::move(samples));
        step.bytes = step.bytes - heldBytes + ValueBytes(t.values.size());
        return change;
    }
    ArbitraryChange change;
    change.channel = channel;
    bool windowChanged = false;
    const bool fits = settings_.ModifyRecord(channel, [&](ChannelRecord& r) {
        if (r.arbitrarySamples.size() != step.size || r.arbitraryPointCount != step.count) return false;
        for (Segment& s : step.segments)
            std::swap_ranges(s.values.begin(), s.values.end(), r.arbitrarySamples.begin() + s.first);
        if (!step.segments.empty()) r.arbitraryChanges.PointsChanged(step.coveredFirst, step.coveredLast);
        const ArbitraryWindow window = WindowOf(r);
        windowChanged = window != step.window;
        SetWindow(r, step.window);
        step.window = window;
        return true;
    });
    if (!fits) return std::nullopt;
    if (!step.segments.empty()) change.points = std::pair{step.coveredFirst, step.coveredLast};
    change.mask = windowChanged ? RefreshMask::Everything : RefreshMask::Waveform;
    return change;
}

ArbitraryHistory::Step* ArbitraryHistory::Next(std::uint16_t channel, bool redo) {
    if (channel >= kChannelCount) return nullptr;
    Channel& c = channels_[channel];
    if (redo) return c.redo.empty() ? nullptr : &c.redo.back();
    return c.undo.empty() ? nullptr : &c.undo.back();
}

LongJob ArbitraryHistory::UndoJob(std::uint16_t channel, bool redo,
                                  std::function<void(std::optional<ArbitraryChange>)> done) {
    LongJob job;
    job.name = redo ? "Redo" : "Undo";
    EndStep();
    const Step* step = Next(channel, redo);
    const bool large = step && step->tail && !step->tail->whole && step->tail->offset <= step->tail->size &&
                       step->tail->size >= kSmallJobPoints;
    if (!large) {
        job.small = true;
        job.work = [this, channel, redo, done = std::move(done)](JobProgress&) -> JobFinish {
            return [this, channel, redo, done] {
                const std::optional<ArbitraryChange> change = redo ? Redo(channel) : Undo(channel);
                if (done) done(change);
            };
        };
        return job;
    }
    // The worker reads the record only; the history is this thread's.
    job.work = [this, channel, redo, order = step->order, offset = step->tail->offset, size = step->tail->size,
                done = std::move(done)](JobProgress& progress) -> JobFinish {
        auto built = std::make_shared<std::optional<Built>>(Build(settings_, channel, offset, size, progress));
        if (progress.StopRequested()) return {};
        return [this, channel, redo, order, built, done] {
            std::optional<ArbitraryChange> change;
            if (*built) change = ApplyBuilt(channel, redo, order, std::move(**built));
            if (done) done(change);
        };
    };
    return job;
}

std::optional<ArbitraryHistory::Built> ArbitraryHistory::Build(const DeviceSettings& settings, std::uint16_t channel,
                                                               std::uint32_t offset, std::size_t size,
                                                               JobProgress& progress) {
    constexpr std::size_t kVisit = std::size_t{1} << 20;
    Built built;
    ReserveWaveform(built.samples, size);
    std::optional<std::uint64_t> generation;
    for (;;) {
        bool fits = true;
        std::size_t total = 0;  // points to copy: the offset's and the record's beyond it
        const bool more = settings.ReadRecord(channel, [&](const ChannelRecord& r) {
            if (generation && *generation != r.arbitraryChanges.Generation()) {
                built.samples.clear();  // changed between two visits: start again
                built.tail.clear();
            }
            generation = r.arbitraryChanges.Generation();
            const std::vector<double>& a = r.arbitrarySamples;
            if (offset > a.size()) {
                fits = false;
                return false;
            }
            total = a.size();
            if (built.tail.capacity() < a.size() - offset) built.tail.reserve(a.size() - offset);
            const auto at = [&a](std::size_t i) { return a.begin() + static_cast<std::ptrdiff_t>(i); };
            if (built.samples.size() < offset) {
                const std::size_t from = built.samples.size();
                built.samples.insert(built.samples.end(), at(from), at(from + std::min(kVisit, offset - from)));
            } else {
                const std::size_t from = offset + built.tail.size();
                built.tail.insert(built.tail.end(), at(from), at(from + std::min(kVisit, a.size() - from)));
            }
            return built.samples.size() < offset || offset + built.tail.size() < a.size();
        });
        if (!fits) return std::nullopt;
        if (total > 0) progress.Set(static_cast<double>(built.samples.size() + built.tail.size()) / total);
        if (!more) break;
        if (progress.StopRequested()) return std::nullopt;
        std::this_thread::yield();  // the lock is not fair: a waiting thread gets in only if this one lets it
    }
    // Every page of the new array touched here, not on the interface thread.
    built.samples.resize(size, 0.0);
    built.tail.resize(TailEnd(built.tail, 0));
    TrimWaveform(built.tail);
    built.generation = *generation;
    return built;
}

std::optional<ArbitraryChange> ArbitraryHistory::ApplyBuilt(std::uint16_t channel, bool redo, std::uint64_t order,
                                                            Built built) {
    Step* step = Next(channel, redo);
    if (!step || step->order != order || !step->tail || step->tail->whole) return std::nullopt;  // moved on
    Tail& t = *step->tail;
    if (built.samples.size() != t.size || t.offset > t.size || t.values.size() > t.size - t.offset) return std::nullopt;
    std::copy(t.values.begin(), t.values.end(), built.samples.begin() + t.offset);
    const std::optional<ArbitraryChange> change = SwapTail(channel, *step, built.samples, [&](const ChannelRecord& r) {
        return r.arbitraryChanges.Generation() == built.generation;
    });
    if (!change) return std::nullopt;  // changed since the build: nothing changed
    // `built.samples` is the array just taken out; its points from the
    // offset on were copied by the worker.
    step->bytes = step->bytes - ValueBytes(t.values.size()) + ValueBytes(built.tail.size());
    t.size = built.samples.size();
    t.values = std::move(built.tail);
    ReleaseWaveform(std::move(built.samples));
    Channel& c = channels_[channel];
    if (redo) {
        c.undo.push_back(std::move(c.redo.back()));
        c.redo.pop_back();
    } else {
        c.redo.push_back(std::move(c.undo.back()));
        c.undo.pop_back();
    }
    Trim();
    return change;
}

void ArbitraryHistory::Forget(std::uint16_t channel) {
    if (channel >= kChannelCount) return;
    channels_[channel].undo.clear();
    channels_[channel].redo.clear();
    if (grouping_ && groupChannel_ == channel) open_.reset();
}

void ArbitraryHistory::SetLimits(std::size_t maxBytes, std::size_t maxSteps) {
    maxBytes_ = maxBytes;
    maxSteps_ = maxSteps;
    if (maxBytes_ == 0 || maxSteps_ == 0) {
        for (std::uint16_t channel = 0; channel < kChannelCount; ++channel) Forget(channel);
        return;
    }
    Trim();
}

std::size_t ArbitraryHistory::Bytes() const {
    std::size_t bytes = open_ ? open_->bytes : 0;
    for (const Channel& c : channels_) {
        for (const Step& step : c.undo) bytes += step.bytes;
        for (const Step& step : c.redo) bytes += step.bytes;
    }
    return bytes;
}

std::size_t ArbitraryHistory::UndoSteps(std::uint16_t channel) const {
    return channel < kChannelCount ? channels_[channel].undo.size() : 0;
}

// The oldest steps go first, of either channel; the redo steps only when no
// undo step is left. A drag's open step is its caller's to check.
void ArbitraryHistory::Trim() {
    for (Channel& c : channels_)
        while (c.undo.size() > maxSteps_) c.undo.pop_front();
    std::size_t bytes = Bytes();
    while (bytes > maxBytes_) {
        Channel* oldest = nullptr;
        for (Channel& c : channels_)
            if (!c.undo.empty() && (!oldest || c.undo.front().order < oldest->undo.front().order)) oldest = &c;
        if (oldest) {
            bytes -= oldest->undo.front().bytes;
            oldest->undo.pop_front();
            continue;
        }
        bool anyRedo = false;
        for (Channel& c : channels_) {
            for (const Step& step : c.redo) bytes -= step.bytes;
            anyRedo = anyRedo || !c.redo.empty();
            c.redo.clear();
        }
        if (!anyRedo) break;
    }
}

}  // namespace zorbel
