// The one way the program changes a channel's arbitrary points: mouse
// drawing, the point editor, a new point count, Load and Import Data,
// formulas, sound files and tables, a new sample clock (resampled), undo and
// redo. EditArbitrary records the
// undo step, changes the points, moves the channel's generation on
// (ChannelRecord::arbitraryChanges, which the view's envelope follows) and
// tells a redraw sink which points changed and what to redraw. A new point
// count or a whole new waveform (a resize, a load, a formula, their undo and
// redo) also sets the channel's arbitrary frequency to the one it plays.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "zorbel/model/device_settings.h"
#include "zorbel/model/long_job.h"
#include "zorbel/model/redraw_sink.h"

namespace zorbel {

struct ArbitraryEdit {
    enum class Kind : std::uint8_t { Points, Resize, Replace, Undo, Redo };
    // Writes points of `samples` in place, `count` of them valid, under the
    // records lock; returns the last point written (none outside the edit's
    // first..last), nothing when it wrote none.
    using PointWriter = std::function<std::optional<std::uint32_t>(std::vector<double>& samples, std::uint32_t count)>;

    // Points first..last (array and count kept). Inside the history's
    // BeginStep..EndStep the edits make one undo step (a mouse drag).
    static ArbitraryEdit Points(std::uint32_t first, std::uint32_t last, PointWriter write) {
        return {Kind::Points, first, last, std::move(write), 0, {}};
    }
    // n samples, the point count n rounded down to 16 (ResizeArbitrary).
    static ArbitraryEdit Resize(std::uint32_t n) { return {Kind::Resize, 0, 0, {}, n, {}}; }
    // The same resize with its samples already built on a worker
    // (DeviceSettings::ResizedSamples) from the channel at `generation`:
    // swapped in, or nothing when the channel has changed since.
    static ArbitraryEdit Resize(std::vector<double> prepared, std::uint64_t generation) {
        const auto n = static_cast<std::uint32_t>(prepared.size());
        return {Kind::Resize, 0, 0, {}, n, std::move(prepared), generation};
    }
    // The whole waveform becomes `samples`: points, count, view window (one
    // undo step; the gain, divider and frequency are the caller's). The
    // array is swapped in, never copied.
    static ArbitraryEdit Replace(std::vector<double> samples) {
        return {Kind::Replace, 0, 0, {}, 0, std::move(samples)};
    }
    // The same with samples built on a worker from the channel at
    // `generation` (a resampling): nothing when the channel has changed since.
    static ArbitraryEdit Replace(std::vector<double> samples, std::uint64_t generation) {
        return {Kind::Replace, 0, 0, {}, 0, std::move(samples), generation};
    }
    static ArbitraryEdit Undo() { return {Kind::Undo, 0, 0, {}, 0, {}}; }
    static ArbitraryEdit Redo() { return {Kind::Redo, 0, 0, {}, 0, {}}; }

    Kind kind;
    std::uint32_t first, last;
    PointWriter write;
    std::uint32_t count;
    std::vector<double> samples;
    std::optional<std::uint64_t> generation{};  // the channel generation prepared samples were built from
};

// Applies `edit` to `channel`; `sink` (may be null) hears of the points
// changed in place and is asked for the change's redraw. Nothing, and no
// undo step, when nothing changed: a bad channel, points beyond the count,
// a count above the waveform memory, no step to undo or redo. Interface
// thread only, as the history is; the display thread keeps drawing.
std::optional<ArbitraryChange> EditArbitrary(DeviceSettings& settings, std::uint16_t channel, ArbitraryEdit edit,
                                             RedrawSink* sink = nullptr);

// A resize of `channel` to n points as a long job: the samples are built on
// the worker, the interface thread swaps them in through EditArbitrary (one
// undo step, `sink` told) and `done` hears whether it did. A cancelled
// resize changes nothing and calls nothing.
LongJob ResizeJob(DeviceSettings& settings, std::uint16_t channel, std::uint32_t n, RedrawSink* sink,
                  std::function<void(bool resized)> done = {});

// `channel`'s waveform resampled to n points (rounded down to a multiple of
// 16) as a long job: linear interpolation over one period (resample.h),
// built on the worker in short visits under the records lock and swapped in
// by the interface thread through EditArbitrary (one undo step, `sink`
// told). `done` hears whether the waveform has those points now: a
// waveform that has them already is left as it is (no undo step). A
// cancelled job changes nothing and calls nothing.
// Undo or redo of the channel's next step as a long job: one that brings
// back millions of points builds them on the worker (Cancel leaves
// everything as it was), any other is done at once. `done` gets what changed.
LongJob UndoJob(DeviceSettings& settings, std::uint16_t channel, bool redo, RedrawSink* sink,
                std::function<void(const std::optional<ArbitraryChange>&)> done = {});

LongJob ResampleJob(DeviceSettings& settings, std::uint16_t channel, std::uint32_t n, RedrawSink* sink,
                    std::function<void(bool resampled)> done = {});

// Plays `channel`'s waveform with the sample clock `control`: the waveform
// resampled to its points per period (ResampleJob), then its divider set
// (the setter queues the write) and `frequency` kept as the arbitrary
// frequency. All of it happens when the resampling ends (at once for up to
// kSmallJobPoints points, else under the progress dialog). False, and
// nothing starts, for a clock the instrument cannot play (fewer than 16
// points, more than the waveform memory, a divider above 250) or while
// another long job runs.
bool ApplyArbitraryControl(DeviceSettings& settings, std::uint16_t channel, const ArbitraryControl& control,
                           double frequency, RedrawSink* sink = nullptr);

}  // namespace zorbel
