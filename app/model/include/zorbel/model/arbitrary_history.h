// Undo and redo of the arbitrary waveforms, one history per channel. Every
// change the user makes to a channel's points, point count or view window is
// a step: a mouse drag, a point editor entry, a new point count, a loaded or
// imported file, a zoom or a move. A step keeps only what its change
// overwrote (the old values of the points it touched, the points a shorter
// count drops, the old window), so one edited point of a 64 M-point waveform
// costs a few bytes, not a copy of the waveform. Undoing a step swaps the
// kept values with the present ones, so the same step then redoes it. Where
// a change took a whole array out (a replacement, a resize of millions of
// points) and the points it leaves are at most an eighth of that array, the
// step keeps the array itself rather than a copy: undo and redo then swap
// arrays and copy nothing but those points.
//
// What a step does not undo: settings sent to the instrument on the way (the
// sample-clock divider and the frequency a load or a new count chose), and
// the zoom tools chosen.
//
// Bounds: at most kDefaultMaxSteps steps per channel and kDefaultMaxBytes of
// kept values for both channels together; the oldest steps go first. A
// single step larger than that cannot be kept: the channel's history is
// forgotten then (its older steps could not be reached any more).
//
// Threads: the interface thread's alone. The records are read and changed
// under the model's records lock, so the display thread keeps drawing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "zorbel/model/channel_record.h"
#include "zorbel/model/long_job.h"
#include "zorbel/model/session_state.h"

namespace zorbel {

class DeviceSettings;

// What an edit of the points (EditArbitrary), an undo or a redo changed,
// for the view and the panel.
struct ArbitraryChange {
    std::uint16_t channel = 0;
    // Points changed in place, first..last (told to the redraw sink).
    std::optional<std::pair<std::uint32_t, std::uint32_t>> points;
    bool countChanged = false;  // the panel shows the point count
    RefreshMask mask = RefreshMask::Waveform;
};

class ArbitraryHistory {
public:
    static constexpr std::size_t kDefaultMaxBytes = std::size_t{256} << 20;
    static constexpr std::size_t kDefaultMaxSteps = 100;

    // `settings` owns the history and outlives it.
    explicit ArbitraryHistory(DeviceSettings& settings) : settings_(settings) {}

    // ---- Before a change: each call makes one step of `channel` ------------
    // Points first..last (array and count kept) are about to be changed in
    // place. Inside BeginStep..EndStep the calls of that channel make one
    // step together. The program records through EditArbitrary, which
    // records, changes and tells in one call; these serve it and the tests.
    void RecordPoints(std::uint16_t channel, std::uint32_t first, std::uint32_t last);
    // The view window is about to change (a zoom or a move).
    void RecordWindow(std::uint16_t channel);
    // ResizeArbitrary(channel, n) follows: keeps the points the new count drops.
    void RecordResize(std::uint16_t channel, std::uint32_t n);
    // The whole waveform is about to be replaced: points, point count, view
    // window and gain code. For a file load, a formula or a sound file: call
    // it once, right before the change and after everything that can fail,
    // then replace the channel's samples as ResizeArbitrary and a swap of
    // arbitrarySamples do. One Undo brings the old waveform back. It copies
    // the present points (not the zeros at their end); a waveform larger than
    // the history's memory forgets the channel's history instead.
    void RecordReplace(std::uint16_t channel);
    // The same for a replacement whose caller swaps the new array in:
    // `swapIn` does it and hands back the old array, which the step keeps
    // instead of a copy (its zeros at the end dropped).
    void RecordReplaceBySwap(std::uint16_t channel, const std::function<std::vector<double>()>& swapIn);
    // The same for a resize to n points whose caller swaps the new array in
    // (a resize built on a worker): the step keeps the points the new count
    // drops, out of the old array that `swapIn` hands back.
    void RecordResizeBySwap(std::uint16_t channel, std::uint32_t n, const std::function<std::vector<double>()>& swapIn);

    // Between the two, RecordPoints of `channel` add to one step (a mouse
    // drag). Any other recording, Undo or Redo ends the step first.
    void BeginStep(std::uint16_t channel);
    void EndStep();

    bool CanUndo(std::uint16_t channel) const;
    bool CanRedo(std::uint16_t channel) const;
    // Nothing when there is no step, or when the waveform was changed behind
    // the history's back so that the step no longer fits (the channel's
    // history is forgotten then).
    std::optional<ArbitraryChange> Undo(std::uint16_t channel);
    std::optional<ArbitraryChange> Redo(std::uint16_t channel);
    // Undo or redo as a long job. A step that brings back an array of
    // millions of points (a shorter point count undone, or redone) has the
    // array built on the worker, from the record in short visits under the
    // records lock, and only swapped in by the job's finish, unless the
    // step or the waveform changed meanwhile; a cancelled or overtaken job
    // leaves everything as it was. Any other step is a small job, done at
    // once. `done` gets what changed (nothing: no step, or not done).
    LongJob UndoJob(std::uint16_t channel, bool redo, std::function<void(std::optional<ArbitraryChange>)> done);
    void Forget(std::uint16_t channel);

    // 0 for either keeps no history at all.
    void SetLimits(std::size_t maxBytes, std::size_t maxSteps);
    // Bytes of kept values, both channels, undo and redo.
    std::size_t Bytes() const;
    std::size_t UndoSteps(std::uint16_t channel) const;

private:
    // Old values of points first.. (an in-place edit).
    struct Segment {
        std::uint32_t first = 0;
        std::vector<double> values;
    };
    // The points from `offset` on, the array's size and the count (a resize
    // or a replacement). Points beyond `values` were 0.
    struct Tail {
        std::uint32_t offset = 0;
        // From `offset` on, or (whole) the array taken out, from point 0:
        // its points before `offset` are the record's then, and are taken
        // from the record when the array goes back.
        bool whole = false;
        std::vector<double> values;
        std::size_t size = 0;
        std::uint32_t count = 0;
        std::uint16_t zoom = 0;
    };
    struct Step {
        std::uint64_t order = 0;  // age across both channels, for the memory bound
        ArbitraryWindow window;
        std::optional<Tail> tail;
        // In-place edits: the array size and count they expect, and the
        // points they cover (one range, kept as pieces of old values).
        std::vector<Segment> segments;
        std::size_t size = 0;
        std::uint32_t count = 0;
        std::uint32_t coveredFirst = 0, coveredLast = 0;
        std::size_t bytes = sizeof(Step);  // what it holds, for the memory bound
    };
    struct Channel {
        std::deque<Step> undo;
        std::vector<Step> redo;
    };

    bool Valid(std::uint16_t channel) const { return channel < kChannelCount && maxBytes_ > 0 && maxSteps_ > 0; }
    Step NewStep(std::uint16_t channel);
    void RecordTail(std::uint16_t channel, std::optional<std::uint32_t> newCount);
    void RecordSwap(std::uint16_t channel, std::optional<std::uint32_t> newCount,
                    const std::function<std::vector<double>()>& swapIn);
    static void Keep(Tail& t, std::vector<double>&& taken);
    void Push(std::uint16_t channel, Step step);
    void Cover(Step& step, std::uint16_t channel, std::uint32_t first, std::uint32_t last);
    std::optional<ArbitraryChange> Apply(std::uint16_t channel, Step& step);
    // Swaps `samples` in for the record's array, and the step's count, zoom
    // and window for the record's, if `ready` agrees under the records lock;
    // `samples` then holds the array taken out. Nothing when it did not.
    std::optional<ArbitraryChange> SwapTail(std::uint16_t channel, Step& step, std::vector<double>& samples,
                                            const std::function<bool(const ChannelRecord&)>& ready);
    // What an undo job's worker builds for a step: the array it brings back,
    // the record's points before the step's offset copied in, the rest
    // zeroed but for the step's own values (filled in by the finish); the
    // record's points from the offset on, for the way back.
    struct Built {
        std::vector<double> samples;
        std::vector<double> tail;
        std::uint64_t generation = 0;
    };
    static std::optional<Built> Build(const DeviceSettings& settings, std::uint16_t channel, std::uint32_t offset,
                                      std::size_t size, JobProgress& progress);
    std::optional<ArbitraryChange> ApplyBuilt(std::uint16_t channel, bool redo, std::uint64_t order, Built built);
    Step* Next(std::uint16_t channel, bool redo);
    void Trim();

    DeviceSettings& settings_;
    std::size_t maxBytes_ = kDefaultMaxBytes;
    std::size_t maxSteps_ = kDefaultMaxSteps;
    std::uint64_t nextOrder_ = 0;
    std::array<Channel, kChannelCount> channels_;
    // The step a drag is building, until EndStep. Empty while grouping when
    // it outgrew the memory bound: the rest of that drag is not kept.
    bool grouping_ = false;
    std::uint16_t groupChannel_ = 0;
    std::optional<Step> open_;
};

}  // namespace zorbel
