// Reading the current channel's trace, with the envelope kept up to date.
#include "zorbel/view/trace_source.h"

#include <algorithm>
#include <thread>

namespace zorbel {

void TraceSource::PointsChanged(std::uint16_t channel, std::uint32_t first, std::uint32_t last) {
    if (channel >= kChannelCount) return;
    if (first > last) std::swap(first, last);
    std::lock_guard lock(changedMutex_);
    auto& pending = changed_[channel];
    pending = pending ? Range{std::min(pending->first, first), std::max(pending->second, last)} : Range{first, last};
}

namespace {

// Points of an envelope built in one visit under the records lock.
constexpr std::size_t kBuildPoints = std::size_t{1} << 20;

std::size_t CountOf(const ChannelRecord& r) {
    return std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size());
}

}  // namespace

void TraceSource::PrepareEnvelope(const DeviceSettings& settings, std::uint16_t channel, std::size_t columns) {
    Channel& c = channels_[channel];
    // Whether the visit to come would build the envelope: an arbitrary
    // window of more points than columns, and no envelope of these points.
    const auto needed = [&](const ChannelRecord& r) {
        const std::size_t count = CountOf(r);
        if (r.waveType != kWaveArbitrary || count == 0) return false;
        const std::size_t last = std::min<std::size_t>(r.arbitraryViewLast, count - 1);
        const std::size_t first = std::min<std::size_t>(r.arbitraryViewFirst, last);
        if (last - first + 1 <= columns) return false;
        return !c.valid || r.arbitraryChanges.ChangesSince(c.generation).everything;
    };
    std::uint64_t generation = 0;
    std::size_t count = 0;
    std::size_t at = 0;
    bool building = false;
    for (;;) {
        bool start = false;
        const bool more = settings.ReadRecord(channel, [&](const ChannelRecord& r) {
            // A new array or count meanwhile: the parts built so far are of no use.
            if (!building || r.arbitraryChanges.ChangesSince(generation).everything) {
                if (!needed(r)) return false;
                start = true;
                generation = r.arbitraryChanges.Generation();
                count = CountOf(r);
                return true;
            }
            // Points changed in place meanwhile are renewed by the visit to
            // come, which sees them as changes since `generation`.
            const std::size_t end = std::min(count, at + kBuildPoints);
            c.envelope.BuildPart(r.arbitrarySamples.data(), at, end);
            at = end;
            return at < count;
        });
        if (start) {
            // The envelope's memory is taken outside the lock.
            building = true;
            at = 0;
            c.valid = false;
            c.envelope.BeginBuild(count);
            continue;
        }
        if (!more) break;
        // The lock is not fair: a waiting thread gets in only if this one lets it.
        std::this_thread::yield();
    }
    if (!building || at < count) return;
    c.envelope.EndBuild();
    c.valid = true;
    c.generation = generation;
    c.shownColumns = 0;
}

void TraceSource::Read(const DeviceSettings& settings, std::size_t columns, TraceScene& out) {
    const std::uint16_t channel = settings.CurrentChannel();
    PrepareEnvelope(settings, channel, columns);
    std::optional<Range> changed;
    {
        // Taken before the points are read: an edit reported later is
        // renewed by the next Read, whose request that edit has made.
        std::lock_guard lock(changedMutex_);
        changed.swap(changed_.at(channel));
    }
    settings.ReadRecord(channel, [&](const ChannelRecord& r) {
        out.arbitrary = r.waveType == kWaveArbitrary;
        out.colour = r.traceColour;
        out.capacity = r.previewCapacity;
        out.cursorWord = r.zoomToolCursor;
        if (out.arbitrary) {
            ReadArbitrary(channel, r, columns, changed, out);
            return;
        }
        const std::size_t n = std::min<std::size_t>(r.previewPointCount, r.previewSamples.size());
        out.samples.assign(r.previewSamples.begin(), r.previewSamples.begin() + n);
        out.lower = r.previewLower;
        out.upper = r.previewUpper;
        out.first = 0;
        out.last = n > 0 ? static_cast<std::uint32_t>(n - 1) : 0;
    });
}

void TraceSource::ReadArbitrary(std::uint16_t channel, const ChannelRecord& r, std::size_t columns,
                                std::optional<Range> changed, TraceScene& out) {
    const std::size_t count = std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size());
    const double* data = r.arbitrarySamples.data();
    out.lower = r.arbitraryViewLower;
    out.upper = r.arbitraryViewUpper;
    out.samples.clear();
    Channel& c = channels_[channel];
    const ArbitraryChanges::Since since = r.arbitraryChanges.ChangesSince(c.generation);
    c.generation = r.arbitraryChanges.Generation();
    if (since.everything) {
        // A load or resize (a new array or count), or too much at once: start over.
        c.envelope.Clear();
        c.valid = false;
        c.shownColumns = 0;
    } else if (since.points) {
        const Range& p = *since.points;
        changed = changed ? Range{std::min(changed->first, p.first), std::max(changed->second, p.second)} : p;
    }
    if (!c.valid) changed.reset();  // a build to come reads every point anyway
    if (changed) c.envelope.Update(data, changed->first, changed->second);
    if (count == 0) {
        out.first = out.last = 0;
        return;
    }
    const std::size_t last = std::min<std::size_t>(r.arbitraryViewLast, count - 1);
    const std::size_t first = std::min<std::size_t>(r.arbitraryViewFirst, last);
    out.first = static_cast<std::uint32_t>(first);
    out.last = static_cast<std::uint32_t>(last);
    if (last - first + 1 <= columns) {
        out.samples.assign(data + first, data + last + 1);
        return;
    }
    if (!c.valid) {
        c.envelope.Build(data, count);
        c.valid = true;
        c.shownColumns = 0;
    }
    if (c.shownColumns == columns && c.shownFirst == first && c.shownLast == last) {
        if (changed && changed->second >= first && changed->first <= last) {
            // The columns over the edited points, and one either side whose
            // joining order may follow them.
            const std::size_t n = last - first + 1;
            const std::size_t from = std::max<std::size_t>(changed->first, first) - first;
            const std::size_t to = std::min<std::size_t>(changed->second, last) - first;
            const std::size_t begin = from * columns / n;
            const std::size_t end = to * columns / n + 1;
            c.envelope.RenewColumns(data, first, last, columns, begin > 0 ? begin - 1 : 0, end + 1, c.columns);
        }
    } else {
        c.envelope.Columns(data, first, last, columns, c.columns);
        c.shownFirst = first;
        c.shownLast = last;
        c.shownColumns = columns;
    }
    out.samples = c.columns;
}

}  // namespace zorbel
