// The waveform view's rules as plain functions: where the grid lies in the
// client area, which layers a refresh mask redraws, the scale texts and their
// places, and the mapping between point index or voltage and pixel. The
// view, the printed page, the mouse tools and the tests share them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "zorbel/model/channel_record.h"
#include "zorbel/model/session_state.h"

namespace zorbel {

// A rectangle in logical pixels; right and bottom are the first pixels outside.
struct GridRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(std::int32_t x, std::int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const GridRect&) const = default;
};

// Room around the grid for the scale texts, pixels.
inline constexpr GridRect kGridMargins{60, 30, 20, 30};

// The client rectangle shrunk by the margins (empty when it does not fit).
GridRect GridOf(std::int32_t clientWidth, std::int32_t clientHeight);

constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r | (g << 8) | (b << 16); }

// How the grid is drawn; the colours are changed by the colour dialog.
struct GridStyle {
    std::uint32_t scaleColour = Rgb(155, 155, 155);  // also the scale texts
    std::uint32_t mainColour = Rgb(155, 155, 155);
    std::uint32_t subColour = Rgb(60, 60, 60);
    std::uint16_t levelDivisions = 10;  // voltage
    std::uint16_t indexDivisions = 10;
    std::uint16_t labelGap = 6;  // pixels between the grid and its labels
    // Pixel height of the scale texts' font; smaller where the widest voltage
    // text would not fit the margin beside the grid.
    std::uint16_t labelHeight = 15;
    // Passed to the drawing library as they are: sub-divisions per division,
    // division tick and sub-division tick length in pixels.
    std::uint16_t subDivisions = 5;
    std::uint16_t tickLength = 10;
    std::uint16_t subTickLength = 3;
    bool operator==(const GridStyle&) const = default;
};

// `style` in the grid colours the user chose (kept by the model); the view
// and the printed page draw their grids so.
constexpr GridStyle WithColours(GridStyle style, const GridColours& colours) {
    style.scaleColour = colours.scale;
    style.mainColour = colours.mainLine;
    style.subColour = colours.subLine;
    return style;
}

// Grid flags of the drawing library: the background grid (with the index and
// level lines of an arbitrary channel), the marks above the trace, and the
// view's own bits for its two scales.
inline constexpr std::uint32_t kGridArbitraryLines = 0x30;
inline constexpr std::uint32_t kGridMarks = 0x07;
inline constexpr std::uint32_t kGridLevelScale = 0x100;
inline constexpr std::uint32_t kGridIndexScale = 0x200;
constexpr std::uint32_t BackgroundGridFlags(bool arbitrary) { return arbitrary ? kGridArbitraryLines : 0; }
constexpr std::uint32_t AnnotationFlags(bool arbitrary) {
    return kGridMarks | kGridLevelScale | (arbitrary ? kGridIndexScale : 0);
}

// Which layers a render step redraws for a mask. Grid, waveform and
// annotations build on each other; the cursor layer (the zoom rubber band)
// lies over the cached annotation layer, so a cursor-only request redraws
// nothing else.
struct LayerSet {
    bool grid = false;
    bool waveform = false;
    bool annotation = false;
    bool cursor = false;
    bool operator==(const LayerSet&) const = default;
};
constexpr LayerSet LayersFor(RefreshMask mask) {
    const std::uint32_t m = ToNumber(mask);
    return {(m & 0xFFF) != 0, (m & 0x8FF) != 0, (m & 0xFF) != 0, (m & 0xF000) != 0};
}

// The size of a text drawn in a font `pixelHeight` pixels high: the view
// measures with its font, the rules' tests with a fixed advance.
struct TextSize {
    double width = 0.0;
    double height = 0.0;
};
using MeasureText = std::function<TextSize(std::string_view text, std::int32_t pixelHeight)>;

// One scale text, centred on (x, y) in a font `height` pixels high; `box`
// holds it whole.
struct ScaleLabel {
    std::string text;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t height = 0;
    GridRect box;
};

// The scale texts around `grid`, placed so that none overlaps another, the
// grid (its frame and ticks) or the margins' outer edge (kGridMargins):
// - voltages ("%.4f" of lower..upper, bottom to top) at the level lines,
//   right-aligned `labelGap` left of the grid and kept within its height;
// - for an arbitrary channel, the point index each index line stands on:
//   the roundest of the points its pixel column shows (IndexAtX there and
//   up to the next column), `first` and `last` at the edges; `labelGap`
//   below the grid, centred on their lines and kept within its width.
// Where a scale's texts do not fit at every line, they stand at every 2nd,
// 5th, ... line (a divisor of the divisions), always at the first line; the
// font shrinks (down to 6 pixels) until the widest voltage text fits.
std::vector<ScaleLabel> ScaleLabels(const GridRect& grid, const GridStyle& style, double lower, double upper,
                                    bool arbitrary, std::uint32_t first, std::uint32_t last,
                                    const MeasureText& measure);

// The mouse tools' mapping: the point index under x (first..last, clamped)
// and the voltage at y.
std::uint32_t IndexAtX(std::int32_t x, const GridRect& grid, std::uint32_t first, std::uint32_t last);
double VoltageAtY(std::int32_t y, const GridRect& grid, double lower, double upper);
// Where the drawing library puts point `index` and voltage `volts`: first at
// the grid's left pixel, last at its right pixel, upper at the top pixel and
// lower at the bottom pixel.
double XOfIndex(double index, const GridRect& grid, std::uint32_t first, std::uint32_t last);
double YOfVoltage(double volts, const GridRect& grid, double lower, double upper);

}  // namespace zorbel
