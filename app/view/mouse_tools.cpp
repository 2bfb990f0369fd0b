// The arbitrary view's mouse tools: window rules, drawing and the readout.
#include "zorbel/view/mouse_tools.h"

#include <algorithm>
#include <cmath>

#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/numbers.h"

namespace zorbel {
namespace {

// A zoom never leaves fewer than this many points between first and last.
constexpr std::int64_t kLeastIndexSpan = 11;
// Nor a voltage window this narrow, volts.
constexpr double kLeastVoltageSpan = 0.002;

constexpr ZoomTool kZoomOut = ZoomTool::HorizontalOut | ZoomTool::VerticalOut;
constexpr ZoomTool kZoomIn = ZoomTool::HorizontalIn | ZoomTool::VerticalIn;
constexpr ZoomTool kMove = ZoomTool::HorizontalMove | ZoomTool::VerticalMove;

bool Between(std::int32_t v, std::int32_t a, std::int32_t b) { return v >= std::min(a, b) && v <= std::max(a, b); }

}  // namespace

ArbitraryWindow ZoomOutAt(const ArbitraryWindow& w, ZoomTool bits, std::uint32_t count, double limit,
                          std::uint32_t index, double volts) {
    ArbitraryWindow out = w;
    if (Any(bits, ZoomTool::HorizontalOut)) {
        const std::int64_t c = index;
        const std::int64_t first = w.first;
        const std::int64_t last = std::min<std::int64_t>(2 * std::int64_t{w.last} - c, std::int64_t{count} - 1);
        const std::int64_t newFirst = c < 2 * first ? 2 * first - c : 0;
        if (newFirst + kLeastIndexSpan < last) {
            out.first = static_cast<std::uint32_t>(newFirst);
            out.last = static_cast<std::uint32_t>(last);
        }
    } else if (Any(bits, ZoomTool::VerticalOut)) {
        const double upper = std::min(2.0 * w.upper - volts, limit);
        const double lower = std::max(2.0 * w.lower - volts, -limit);
        if (upper > lower) {
            out.lower = lower;
            out.upper = upper;
        }
    }
    return out;
}

ArbitraryWindow MoveBy(const ArbitraryWindow& w, ZoomTool bits, std::uint32_t count, double limit,
                       std::uint32_t fromIndex, std::uint32_t toIndex, double fromVolts, double toVolts) {
    ArbitraryWindow out = w;
    if (Any(bits, ZoomTool::HorizontalMove)) {
        // Dragged to the left: later points come into view, as far as the last one.
        if (toIndex < fromIndex) {
            const std::int64_t room = std::max<std::int64_t>(0, std::int64_t{count} - 1 - w.last);
            const auto shift = static_cast<std::uint32_t>(std::min<std::int64_t>(fromIndex - toIndex, room));
            out.first += shift;
            out.last += shift;
        } else if (fromIndex < toIndex) {
            const std::uint32_t shift = std::min(toIndex - fromIndex, w.first);
            out.first -= shift;
            out.last -= shift;
        }
    }
    if (Any(bits, ZoomTool::VerticalMove)) {
        // A window already beyond the limit does not move further out, nor
        // back the other way because of it.
        if (toVolts < fromVolts) {
            const double shift = std::max(0.0, std::min(fromVolts - toVolts, limit - w.upper));
            out.lower += shift;
            out.upper += shift;
        } else {
            const double shift = std::max(0.0, std::min(toVolts - fromVolts, w.lower + limit));
            out.lower -= shift;
            out.upper -= shift;
        }
    }
    return out;
}

std::optional<ArbitraryWindow> ZoomInTo(const ArbitraryWindow& w, const GridRect& grid, ZoomTool bits,
                                        PixelPoint corner1, PixelPoint corner2, PixelPoint click) {
    const bool horizontal = bits == ZoomTool::HorizontalIn || bits == kZoomIn;
    const bool vertical = bits == ZoomTool::VerticalIn || bits == kZoomIn;
    if (!horizontal && !vertical) return std::nullopt;
    if (horizontal && !Between(click.x, corner1.x, corner2.x)) return std::nullopt;
    if (vertical && !Between(click.y, corner1.y, corner2.y)) return std::nullopt;
    ArbitraryWindow out = w;
    if (horizontal) {
        const std::uint32_t a = IndexAtX(corner1.x, grid, w.first, w.last);
        const std::uint32_t b = IndexAtX(corner2.x, grid, w.first, w.last);
        if (std::max(a, b) - std::min(a, b) > kLeastIndexSpan) {
            out.first = std::min(a, b);
            out.last = std::max(a, b);
        }
    }
    if (vertical) {
        const double a = VoltageAtY(corner1.y, grid, w.lower, w.upper);
        const double b = VoltageAtY(corner2.y, grid, w.lower, w.upper);
        if (std::abs(a - b) > kLeastVoltageSpan) {
            out.lower = std::min(a, b);
            out.upper = std::max(a, b);
        }
    }
    return out;
}

DrawnLine DrawnLineOf(std::uint32_t fromIndex, double fromVolts, std::uint32_t toIndex, double toVolts) {
    // On one point the newer voltage counts.
    if (fromIndex < toIndex) return {fromIndex, toIndex, fromVolts, toVolts};
    return {toIndex, fromIndex, toVolts, fromVolts};
}

std::optional<std::uint32_t> Draw(const DrawnLine& line, double limit, std::uint32_t count,
                                  std::vector<double>& samples) {
    const std::size_t points = std::min<std::size_t>(count, samples.size());
    if (line.first >= points) return std::nullopt;
    // The ends held to the limit keep every point between them inside it.
    const double from = std::clamp(line.firstVolts, -limit, limit);
    const double to = std::clamp(line.lastVolts, -limit, limit);
    const double n = double(line.last) - line.first + 1.0;
    const std::uint32_t last = static_cast<std::uint32_t>(std::min<std::size_t>(line.last, points - 1));
    for (std::uint32_t i = line.first; i <= last; ++i) samples[i] = from + (to - from) * (i - line.first) / n;
    return last;
}

std::string ReadoutVolts(const PointReadout& readout) {
    // A level that is zero but for rounding reads "0.0000", as on the scale.
    const double volts = std::abs(readout.volts) < 0.5e-4 ? 0.0 : readout.volts;
    return FormatFixed(volts, 4);
}

ArbitraryMouseTools::Channel ArbitraryMouseTools::Current() const {
    Channel c;
    c.index = settings_.CurrentChannel();
    settings_.ReadRecord(c.index, [&c](const ChannelRecord& r) {
        c.arbitrary = r.waveType == kWaveArbitrary;
        c.bits = r.zoomToolBits;
        c.window = WindowOf(r);
        c.count = static_cast<std::uint32_t>(std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size()));
        c.limit = ArbitraryVoltageLimit(r.limits);
    });
    return c;
}

std::uint32_t ArbitraryMouseTools::IndexAt(const Channel& c, const GridRect& grid, std::int32_t x) const {
    return IndexAtX(x, grid, c.window.first, c.window.last);
}

double ArbitraryMouseTools::VoltsAt(const Channel& c, const GridRect& grid, std::int32_t y) const {
    return VoltageAtY(y, grid, c.window.lower, c.window.upper);
}

void ArbitraryMouseTools::ChangeWindow(const Channel& c, const ArbitraryWindow& window) {
    if (window == c.window) return;
    settings_.History().RecordWindow(c.index);
    settings_.ModifyRecord(c.index, [&window](ChannelRecord& r) { SetWindow(r, window); });
}

void ArbitraryMouseTools::LeftDown(PixelPoint p) {
    const Channel c = Current();
    if (!c.arbitrary) return;
    if (Any(c.bits, kZoomOut)) {
        const GridRect grid = view_.Grid();
        ChangeWindow(c, ZoomOutAt(c.window, c.bits, c.count, c.limit, IndexAt(c, grid, p.x), VoltsAt(c, grid, p.y)));
        view_.RequestRedraw(RefreshMask::Everything);
    }
    press_ = p;
    // A drawing starts where the button went down, not where an earlier drag ended.
    last_ = p;
    if (c.bits == ZoomTool::None) {
        settings_.History().BeginStep(c.index);
        drawing_ = true;
    }
}

void ArbitraryMouseTools::Move(PixelPoint p, bool leftAlone) {
    const Channel c = Current();
    const GridRect grid = view_.Grid();
    if (c.arbitrary && leftAlone && (grid.Contains(p.x, p.y) || grid.Contains(last_.x, last_.y))) {
        if (Any(c.bits, kZoomIn)) {
            bandCorner1_ = press_;
            bandCorner2_ = last_;
            zoomArmed_ = true;
            view_.SetRubberBand(press_, last_);
            view_.RequestRedraw(RefreshMask::Cursor);
        } else if (Any(c.bits, kMove)) {
            dragFrom_ = press_;
            dragTo_ = last_;
            moveArmed_ = true;
        } else if (c.bits == ZoomTool::None) {
            DrawStep(c, last_, p);
        }
    }
    last_ = p;
}

void ArbitraryMouseTools::DrawStep(const Channel& c, PixelPoint from, PixelPoint to) {
    const GridRect grid = view_.Grid();
    const DrawnLine line =
        DrawnLineOf(IndexAt(c, grid, from.x), VoltsAt(c, grid, from.y), IndexAt(c, grid, to.x), VoltsAt(c, grid, to.y));
    EditArbitrary(settings_, c.index,
                  ArbitraryEdit::Points(line.first, line.last,
                                        [&](std::vector<double>& samples, std::uint32_t count) {
                                            return Draw(line, c.limit, count, samples);
                                        }),
                  &view_);
}

void ArbitraryMouseTools::LeftUp() {
    if (drawing_) {
        drawing_ = false;
        settings_.History().EndStep();
    }
    if (!moveArmed_) return;
    moveArmed_ = false;
    const Channel c = Current();
    if (!c.arbitrary || !Any(c.bits, kMove)) return;
    const GridRect grid = view_.Grid();
    ChangeWindow(c, MoveBy(c.window, c.bits, c.count, c.limit, IndexAt(c, grid, dragFrom_.x),
                           IndexAt(c, grid, dragTo_.x), VoltsAt(c, grid, dragFrom_.y), VoltsAt(c, grid, dragTo_.y)));
    view_.RequestRedraw(RefreshMask::Everything);
}

void ArbitraryMouseTools::LeftDoubleClick(PixelPoint p) {
    if (!zoomArmed_) return;
    zoomArmed_ = false;
    const Channel c = Current();
    if (!c.arbitrary) return;
    const std::optional<ArbitraryWindow> window =
        ZoomInTo(c.window, view_.Grid(), c.bits, bandCorner1_, bandCorner2_, p);
    if (!window) return;
    ChangeWindow(c, *window);
    view_.RequestRedraw(RefreshMask::Everything);
}

void ArbitraryMouseTools::RightDown() {
    if (!Current().arbitrary) return;
    if (settings_.ClearZoomTools()) view_.RequestRedraw(RefreshMask::Everything);
}

std::optional<PointReadout> ArbitraryMouseTools::Readout(PixelPoint p) const {
    const Channel c = Current();
    const GridRect grid = view_.Grid();
    if (!c.arbitrary || c.count == 0 || !grid.Contains(p.x, p.y)) return std::nullopt;
    return PointReadout{IndexAt(c, grid, p.x), VoltsAt(c, grid, p.y)};
}

}  // namespace zorbel
