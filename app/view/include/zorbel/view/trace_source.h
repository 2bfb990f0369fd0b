// What the waveform layer draws, read from the current channel in one short
// visit under the model's records lock: the preview samples of sine to
// noise, or of an arbitrary channel the visible points themselves when they
// are no more than the grid's pixel columns, else two values per column from
// the channel's min/max envelope. The envelopes live here, one per channel,
// and follow the channel's generation (ChannelRecord::arbitraryChanges):
// every change the model made since the last read is renewed, without
// anyone telling the view. A new envelope of millions of points is built
// before that visit, in parts of a million points each under the lock, so
// that the session's worker never waits for it.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "zorbel/model/device_settings.h"
#include "zorbel/view/envelope.h"

namespace zorbel {

struct TraceScene {
    bool arbitrary = false;
    std::uint32_t colour = 0;    // 0x00BBGGRR
    std::uint32_t capacity = 0;  // the channel's preview capacity
    double lower = 0.0;          // visible voltage window, volts
    double upper = 0.0;
    std::uint32_t first = 0;  // visible points, for the index scale
    std::uint32_t last = 0;
    std::vector<double> samples;   // every one of them is drawn, first at the left edge
    std::uint16_t cursorWord = 0;  // zoom rubber band directions
};

class TraceSource {
public:
    // Points first..last of `channel` were changed in place behind the
    // model's edit operation (a test, a benchmark): their envelope entries
    // are renewed by the next Read. Any thread. Edits through EditArbitrary,
    // loads and resizes need no call: the generation tells.
    void PointsChanged(std::uint16_t channel, std::uint32_t first, std::uint32_t last);

    // Reads the current channel into `out`; `columns` is the number of device
    // pixel columns across the grid. The display thread's, one at a time.
    void Read(const DeviceSettings& settings, std::size_t columns, TraceScene& out);

    const MinMaxEnvelope& Envelope(std::uint16_t channel) const { return channels_.at(channel).envelope; }

private:
    struct Channel {
        MinMaxEnvelope envelope;
        bool valid = false;            // built and up to date
        std::uint64_t generation = 0;  // of the points it follows
        // The columns last taken from the envelope and the window they show:
        // a step that changes neither (a colour, the rubber band) reuses
        // them, an edit renews those over its points.
        std::vector<double> columns;
        std::size_t shownFirst = 0, shownLast = 0, shownColumns = 0;
    };
    using Range = std::pair<std::uint32_t, std::uint32_t>;

    void PrepareEnvelope(const DeviceSettings& settings, std::uint16_t channel, std::size_t columns);
    void ReadArbitrary(std::uint16_t channel, const ChannelRecord& r, std::size_t columns, std::optional<Range> changed,
                       TraceScene& out);

    std::array<Channel, kChannelCount> channels_;
    std::mutex changedMutex_;
    std::array<std::optional<Range>, kChannelCount> changed_;  // pending edits, merged
};

}  // namespace zorbel
