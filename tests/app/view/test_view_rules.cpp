// The view's rules without a widget: which layers a refresh mask redraws, and
// the scale texts of the trace read from the model (the preview window of
// sine and square, the visible window of an arbitrary channel).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "fake_generator.h"
#include "zorbel/numbers.h"
#include "zorbel/view/trace_source.h"
#include "zorbel/view/view_geometry.h"

namespace zorbel::test {
namespace {

// About Arial's digits: half the font's height across, 1.2 times it down.
TextSize FixedAdvance(std::string_view text, std::int32_t height) {
    return {0.5 * height * static_cast<double>(text.size()), 1.2 * height};
}

bool Overlap(const GridRect& a, const GridRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(ViewRules, EachMaskRedrawsItsLayersAndACursorRequestOnlyTheRubberBand) {
    const struct {
        const char* what;
        std::uint32_t mask;
        LayerSet layers;
    } rows[] = {
        {"nothing pending", 0, {}},
        {"annotations after a settings batch", 0xFF, {true, true, true, false}},
        {"waveform after an edit", 0x8FF, {true, true, true, false}},
        {"everything after a zoom", 0xFFF, {true, true, true, false}},
        {"the rubber band alone", 0xF000, {false, false, false, true}},
        {"a drag's band and an edit in one step", 0x8FF | 0xF000, {true, true, true, true}},
    };
    for (const auto& row : rows) EXPECT_EQ(LayersFor(static_cast<RefreshMask>(row.mask)), row.layers) << row.what;
}

// Labels of a 1200 x 800 client area: grid (60, 30)-(1180, 770).
TEST(ViewRules, ScaleTextsFollowTheWindowAndTheIndexScaleOnlyAnArbitraryChannel) {
    const struct {
        const char* what;
        std::uint16_t waveType;
        double amplitude, offset;          // volts
        std::uint32_t first, last;         // arbitrary view window
        std::vector<std::string> levels;   // bottom, middle, top label
        std::vector<std::string> indexes;  // left, second, right label; none when not arbitrary
    } rows[] = {
        {"sine of 2 V within 20 V", kWaveSine, 2.0, 0.0, 0, 0, {"-1.2500", "0.0000", "1.2500"}, {}},
        {"square of 4 V at 9 V cut at 10 V", kWaveSquare, 4.0, 9.0, 0, 0, {"8.0000", "9.0000", "10.0000"}, {}},
        {"arbitrary, every point",
         kWaveArbitrary,
         2.0,
         0.0,
         0,
         4095,
         {"-10.0000", "0.0000", "10.0000"},
         {"0", "410", "4095"}},  // 410 of the points 409 to 412 the line's column shows
        {"arbitrary, zoomed in",
         kWaveArbitrary,
         2.0,
         0.0,
         100,
         1123,
         {"-10.0000", "0.0000", "10.0000"},
         {"100", "202", "1123"}},
    };
    const GridRect grid = GridOf(1200, 800);
    ASSERT_EQ(grid, (GridRect{60, 30, 1180, 770}));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FakeGenerator fake;
        DeviceSettings settings(fake);
        settings.SetParameter(0, Parameter::Amplitude, row.amplitude);
        settings.SetParameter(0, Parameter::Offset, row.offset);
        settings.SetWaveType(0, row.waveType);
        if (row.waveType == kWaveArbitrary) {
            settings.ResizeArbitrary(0, 4096);
            settings.ModifyRecord(0, [&](ChannelRecord& r) {
                r.arbitraryViewFirst = row.first;
                r.arbitraryViewLast = row.last;
            });
        }
        TraceSource source;
        TraceScene trace;
        source.Read(settings, 1120, trace);
        const std::vector<ScaleLabel> labels = ScaleLabels(grid, GridStyle{}, trace.lower, trace.upper, trace.arbitrary,
                                                           trace.first, trace.last, FixedAdvance);

        ASSERT_EQ(labels.size(), row.indexes.empty() ? 11u : 22u);
        EXPECT_EQ(labels[0].text, row.levels[0]);
        EXPECT_EQ(labels[5].text, row.levels[1]);
        EXPECT_EQ(labels[10].text, row.levels[2]);
        // Beside the grid, within its height; below it, within its width.
        EXPECT_EQ(labels[0].box.right, 60 - 6);
        EXPECT_EQ(labels[0].box.bottom, 770);
        EXPECT_EQ(labels[10].box.top, 30);
        if (row.indexes.empty()) continue;
        EXPECT_EQ(labels[11].text, row.indexes[0]);
        EXPECT_EQ(labels[12].text, row.indexes[1]);
        EXPECT_EQ(labels[21].text, row.indexes[2]);
        EXPECT_EQ(labels[11].box.left, 60);
        EXPECT_EQ(labels[21].box.right, 1180);
        EXPECT_EQ(labels[21].box.top, 770 + 6);
    }
}

// Over waveforms of 16 to 64 M points and views from large to tiny: no
// label overlaps another, the grid with its ticks or the view's edge; every
// index label names the point its line stands on (what the mouse reads there,
// the last point at the right edge); the first of each scale is always there.
TEST(ViewRules, ScaleLabelsNeverOverlapAndNameThePointTheirLineStandsOn) {
    const struct {
        std::uint32_t first, last;  // the visible points
        double lower, upper;
    } windows[] = {
        {0, 15, -10.0, 10.0},       {0, 4095, -1.25, 1.25},          {0, 999999, -10.0, 10.0},
        {0, 67108863, -10.0, 10.0}, {12345678, 12399999, 8.0, 10.0},
    };
    const struct { std::int32_t width, height; } sizes[] = {{1200, 800}, {640, 480}, {320, 240}, {200, 150}, {100, 80}};
    for (const auto& w : windows) {
        for (const auto& size : sizes) {
            SCOPED_TRACE(std::to_string(w.last) + " points in " + std::to_string(size.width) + " x " +
                         std::to_string(size.height));
            const GridRect grid = GridOf(size.width, size.height);
            const std::vector<ScaleLabel> labels =
                ScaleLabels(grid, GridStyle{}, w.lower, w.upper, true, w.first, w.last, FixedAdvance);
            // The points each line's pixel column shows.
            std::vector<std::pair<std::uint32_t, std::uint32_t>> onLines = {{w.last, w.last}};
            for (int i = 0; i < 10; ++i) {
                const std::int32_t x = grid.left + i * grid.Width() / 10;
                const std::uint32_t lo = IndexAtX(x, grid, w.first, w.last);
                onLines.emplace_back(lo, std::max(lo, IndexAtX(x + 1, grid, w.first, w.last) - 1));
            }
            const auto standsOnALine = [&](const std::string& text) {
                const std::uint32_t index = std::stoul(text);
                return std::any_of(onLines.begin(), onLines.end(),
                                   [&](const auto& points) { return index >= points.first && index <= points.second; });
            };
            std::size_t indexLabels = 0;
            for (std::size_t a = 0; a < labels.size(); ++a) {
                const ScaleLabel& label = labels[a];
                EXPECT_FALSE(Overlap(label.box, grid)) << label.text;
                EXPECT_TRUE(label.box.left >= 0 && label.box.top >= 0 && label.box.right <= size.width &&
                            label.box.bottom <= size.height)
                    << label.text;
                for (std::size_t b = a + 1; b < labels.size(); ++b)
                    EXPECT_FALSE(Overlap(label.box, labels[b].box)) << label.text << " and " << labels[b].text;
                if (label.box.top < grid.bottom) continue;  // a voltage
                EXPECT_TRUE(standsOnALine(label.text)) << label.text;
                if (indexLabels++ == 0) {
                    EXPECT_EQ(label.text, FormatInt(w.first));
                }
            }
            ASSERT_FALSE(labels.empty());
            EXPECT_EQ(labels[0].text, FormatFixed(w.lower, 4));
            EXPECT_GE(indexLabels, 1u);
            if (size.width == 1200) {
                EXPECT_EQ(labels.size(), 22u) << "room for every label";
            }
        }
    }
    // A million points: the lines stand on round indexes, also where the
    // grid's width is no multiple of ten.
    for (const std::int32_t width : {1200, 907}) {
        const GridRect grid = GridOf(width, 800);
        std::vector<std::string> indexes;
        for (const ScaleLabel& label : ScaleLabels(grid, GridStyle{}, -10, 10, true, 0, 999999, FixedAdvance))
            if (label.box.top >= grid.bottom) indexes.push_back(label.text);
        EXPECT_EQ(indexes, (std::vector<std::string>{"0", "100000", "200000", "300000", "400000", "500000", "600000",
                                                     "700000", "800000", "900000", "999999"}))
            << width;
    }
}

}  // namespace
}  // namespace zorbel::test
