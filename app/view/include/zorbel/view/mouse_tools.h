// The mouse tools of the arbitrary view: zooming in with a rubber band and a
// double click, zooming out with a click, moving the window with a drag,
// drawing the points with the left button when no tool is chosen, and a right
// click that puts the tools away. The window arithmetic and the drawn points
// are plain functions; ArbitraryMouseTools follows the mouse through them and
// changes the current channel's record, so that all of it runs without a
// window. The widget only hands it the events. Nothing happens while the
// current channel is not arbitrary.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zorbel/model/device_settings.h"
#include "zorbel/model/redraw_sink.h"
#include "zorbel/view/view_geometry.h"

namespace zorbel {

struct PixelPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const PixelPoint&) const = default;
};

// ---- Window rules. `count` is the number of points, `limit` how far the
// voltage window may reach either way (ArbitraryVoltageLimit).

// A click of horizontal zoom out at point `index` (bits has HorizontalOut),
// else of vertical zoom out at `volts` (bits has VerticalOut): the window
// twice as wide about the click, kept inside the waveform and the voltage
// limit. A horizontal window of 12 points or fewer is refused (the window
// comes back unchanged), as is an empty voltage window.
ArbitraryWindow ZoomOutAt(const ArbitraryWindow& window, ZoomTool bits, std::uint32_t count, double limit,
                          std::uint32_t index, double volts);

// A move drag from (fromIndex, fromVolts) to (toIndex, toVolts): the window
// follows the mouse (HorizontalMove, VerticalMove or both), never beyond the
// waveform's ends nor beyond the voltage limit.
ArbitraryWindow MoveBy(const ArbitraryWindow& window, ZoomTool bits, std::uint32_t count, double limit,
                       std::uint32_t fromIndex, std::uint32_t toIndex, double fromVolts, double toVolts);

// A double click at `click` on the rubber band from `corner1` to `corner2`:
// the band's points (when more than 11 apart) and volts (when more than
// 0.002 apart) become the window, for exactly the zoom-in tools chosen.
// Nothing when the click lies outside the band in a direction they zoom, or
// for any other tools.
std::optional<ArbitraryWindow> ZoomInTo(const ArbitraryWindow& window, const GridRect& grid, ZoomTool bits,
                                        PixelPoint corner1, PixelPoint corner2, PixelPoint click);

// ---- Drawing

// The points a mouse step from one point to another sets: first..last with
// the volts at either end (the same whichever way the mouse went).
struct DrawnLine {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    double firstVolts = 0.0;
    double lastVolts = 0.0;
};
DrawnLine DrawnLineOf(std::uint32_t fromIndex, double fromVolts, std::uint32_t toIndex, double toVolts);
// Point first + k becomes firstVolts + (lastVolts - firstVolts) * k / n for
// k = 0 .. n-1, n = last - first + 1, with both ends held to ± `limit`;
// points beyond `count` are left alone. Returns the last point written.
std::optional<std::uint32_t> Draw(const DrawnLine& line, double limit, std::uint32_t count,
                                  std::vector<double>& samples);

// ---- Status readout

struct PointReadout {
    std::uint32_t index = 0;
    double volts = 0.0;
};
// The voltage of the status bar's readout ("Point 1234  0.5123 V"), four
// decimals.
std::string ReadoutVolts(const PointReadout& readout);

// ---- The tools on the current channel

// What the tools ask of the view besides its redraws. A drawing goes
// through EditArbitrary, which tells the view's sink what changed.
class MouseToolsView : public RedrawSink {
public:
    virtual GridRect Grid() const = 0;
    // The rubber band from the press point to the last mouse point.
    virtual void SetRubberBand(PixelPoint press, PixelPoint current) = 0;
};

class ArbitraryMouseTools {
public:
    // Both must outlive the tools.
    ArbitraryMouseTools(DeviceSettings& settings, MouseToolsView& view) : settings_(settings), view_(view) {}

    void LeftDown(PixelPoint p);
    // `leftAlone`: the left button is held, no other button and no key.
    void Move(PixelPoint p, bool leftAlone);
    void LeftUp();
    void LeftDoubleClick(PixelPoint p);
    void RightDown();

    // The point and voltage under `p` while it lies over an arbitrary
    // channel's grid.
    std::optional<PointReadout> Readout(PixelPoint p) const;

private:
    struct Channel {
        std::uint16_t index = 0;
        bool arbitrary = false;
        ZoomTool bits = ZoomTool::None;
        ArbitraryWindow window;
        std::uint32_t count = 0;
        double limit = 0.0;
    };
    Channel Current() const;
    std::uint32_t IndexAt(const Channel& c, const GridRect& grid, std::int32_t x) const;
    double VoltsAt(const Channel& c, const GridRect& grid, std::int32_t y) const;
    void ChangeWindow(const Channel& c, const ArbitraryWindow& window);
    void DrawStep(const Channel& c, PixelPoint from, PixelPoint to);

    DeviceSettings& settings_;
    MouseToolsView& view_;
    PixelPoint press_, last_;
    PixelPoint bandCorner1_, bandCorner2_;
    PixelPoint dragFrom_, dragTo_;
    bool zoomArmed_ = false;
    bool moveArmed_ = false;
    bool drawing_ = false;  // a drag's points make one undo step
};

}  // namespace zorbel
