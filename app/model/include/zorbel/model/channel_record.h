// One output channel of the generator as the program models it: the
// instrument's limits, the current settings, the preview samples the view
// draws and the arbitrary waveform with its download bookkeeping.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "zorbel/model/parameters.h"
#include "zorbel/model/session_state.h"

namespace zorbel {

inline constexpr int kChannelCount = 2;

// Wave type codes of the generator library.
enum WaveType : std::uint16_t {
    kWaveSine = 1,
    kWaveSquare = 2,
    kWaveRamp = 3,
    kWavePulse = 4,
    kWaveNoise = 5,
    kWaveArbitrary = 6,
    kWaveHarmonic = 7,
};
inline constexpr bool IsValidWaveType(long long code) { return code >= kWaveSine && code <= kWaveHarmonic; }

// The cursor word derived from the arbitrary view's tools (ZoomTool,
// session_state.h): which rubber bands the view draws.
inline constexpr std::uint16_t kCursorHorizontalZoomIn = 2;
inline constexpr std::uint16_t kCursorVerticalZoomIn = 1;

inline constexpr std::uint32_t kPreviewPoints = 800;

// The numbered changes of one channel's arbitrary points. Every change moves
// the generation on; the last kKept remember which points they touched, so
// that a reader who saw generation g (the view's envelope) learns what
// changed since without being told. Generations of different records never
// meet: each record starts at a number of its own.
class ArbitraryChanges {
public:
    static constexpr std::size_t kKept = 64;
    using Range = std::pair<std::uint32_t, std::uint32_t>;

    ArbitraryChanges();

    std::uint64_t Generation() const { return generation_; }
    // Points first..last changed in place (array and count kept).
    void PointsChanged(std::uint32_t first, std::uint32_t last);
    // A new array or point count: any point may differ.
    void Replaced();

    // What changed after generation `seen`: nothing, the points of one range
    // (the changes merged), or everything (a replacement among them, more
    // changes than are kept, or a generation of another record).
    struct Since {
        bool everything = false;
        std::optional<Range> points;
    };
    Since ChangesSince(std::uint64_t seen) const;

private:
    struct Entry {
        bool whole = true;
        Range points{0, 0};
    };
    std::uint64_t first_;  // the generation the record started with
    std::uint64_t generation_;
    std::array<Entry, kKept> entries_{};  // the change to generation g at g % kKept
};

struct ChannelRecord {
    LimitsBlock limits = LimitsBlock::BuiltIn();

    // Preview of wave types 1 to 5, volts; redone by every stored setting.
    std::int32_t autoVerticalWindow = 1;  // window follows amplitude and offset
    std::vector<double> previewSamples = std::vector<double>(kPreviewPoints, 0.0);
    std::uint32_t previewPointCount = kPreviewPoints;
    std::uint32_t previewCapacity = kPreviewPoints;
    double previewPeriods = 2.0;
    double previewLower = -12.5;  // volts
    double previewUpper = 12.5;   // volts

    std::uint32_t traceColour = 0x0000FFFF;  // 0x00BBGGRR

    std::uint16_t outputState = 1;  // 1 on, 0 off
    std::uint16_t waveType = kWaveSine;
    // The ten numeric settings in table order (units in parameters.h).
    std::array<double, kParameterCount> values{};

    double arbitraryFrequency = 1000.0;      // hertz
    std::uint32_t arbitraryPointCount = 0;   // valid samples; a multiple of 16
    std::vector<double> arbitrarySamples;    // volts; at least arbitraryPointCount entries
    std::uint16_t arbitraryDivider = 0;      // sample clock divider index
    std::uint16_t arbitraryZoom = 20;        // gain code 1, 4 or 20
    std::uint32_t arbitraryOutputStart = 0;  // first point played out
    std::uint32_t arbitraryAddress = 0;      // start address of the download
    std::uint32_t arbitraryLength = 0;       // points to download, fixed when it starts
    std::uint32_t arbitrarySent = 0;         // points handed to the library so far
    std::uint32_t editPointIndex = 0;        // point shown by the point editor
    // Changes of arbitrarySamples. In-place edits are entered by the model's
    // edit operation (EditArbitrary); a new array or count by ModifyRecord.
    ArbitraryChanges arbitraryChanges;

    ZoomTool zoomToolBits = ZoomTool::None;
    std::uint16_t zoomToolCursor = 0;
    double arbitraryViewLower = -10.0;  // volts
    double arbitraryViewUpper = 10.0;   // volts
    std::uint32_t arbitraryViewFirst = 0;
    std::uint32_t arbitraryViewLast = 0;

    ChannelRecord() {
        for (std::size_t n = 0; n < kParameterCount; ++n) values[n] = kParameters[n].defaultValue;
    }

    double& Value(Parameter p) { return values[Index(p)]; }
    double Value(Parameter p) const { return values[Index(p)]; }
};

// Watches a record while it is changed: a new array or point count, however
// it came, is entered as a replacement when the watch ends. In-place changes
// of single points go unseen; they are the edit operation's to enter.
class ArbitraryArrayWatch {
public:
    explicit ArbitraryArrayWatch(ChannelRecord& r)
        : r_(r), data_(r.arbitrarySamples.data()), size_(r.arbitrarySamples.size()), count_(r.arbitraryPointCount) {}
    ~ArbitraryArrayWatch() {
        if (r_.arbitrarySamples.data() != data_ || r_.arbitrarySamples.size() != size_ ||
            r_.arbitraryPointCount != count_)
            r_.arbitraryChanges.Replaced();
    }
    ArbitraryArrayWatch(const ArbitraryArrayWatch&) = delete;
    ArbitraryArrayWatch& operator=(const ArbitraryArrayWatch&) = delete;

private:
    ChannelRecord& r_;
    const double* data_;
    std::size_t size_;
    std::uint32_t count_;
};

// The arbitrary view's visible window: points first..last, volts lower..upper.
struct ArbitraryWindow {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    double lower = 0.0;
    double upper = 0.0;
    bool operator==(const ArbitraryWindow&) const = default;
};
inline ArbitraryWindow WindowOf(const ChannelRecord& r) {
    return {r.arbitraryViewFirst, r.arbitraryViewLast, r.arbitraryViewLower, r.arbitraryViewUpper};
}
inline void SetWindow(ChannelRecord& r, const ArbitraryWindow& w) {
    r.arbitraryViewFirst = w.first;
    r.arbitraryViewLast = w.last;
    r.arbitraryViewLower = w.lower;
    r.arbitraryViewUpper = w.upper;
}

// How far an arbitrary point may go either way, volts: half the amplitude
// maximum, the peak of the largest peak-to-peak amplitude the instrument
// takes. The point editor, the drawing tool, the vertical view tools,
// formulas and imported files keep to it, as the instrument plays no more.
inline double ArbitraryVoltageLimit(const LimitsBlock& limits) { return limits.Maximum(Parameter::Amplitude) / 2.0; }
inline double ClampArbitraryVoltage(double volts, double limit) { return std::clamp(volts, -limit, limit); }
inline double ClampArbitraryVoltage(double volts, const LimitsBlock& limits) {
    return ClampArbitraryVoltage(volts, ArbitraryVoltageLimit(limits));
}

// Colours of the view's grid, 0x00BBGGRR, chosen in the colour dialog; the
// view and the printed page draw with them.
struct GridColours {
    std::uint32_t scale = 0x009B9B9B;  // frame and scale texts
    std::uint32_t mainLine = 0x009B9B9B;
    std::uint32_t subLine = 0x003C3C3C;
};

// Values of the calibration procedure, written by the worker while it
// executes calibration commands and read by the calibration dialog.
struct CalibrationValues {
    std::uint16_t stepTotal = 0;
    std::uint16_t currentStep = 0;
    std::int16_t measurementKind = 0;
    double referenceFrequency = 0.0;  // hertz
    double referenceVoltage = 0.0;    // volts
    double measuredFrequency = 0.0;   // hertz
    double measuredVoltage = 0.0;     // volts
    std::int16_t stepState = 0;
};

}  // namespace zorbel
