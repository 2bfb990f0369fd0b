// The view's rules without a widget: which layers a refresh mask redraws, and
// the scale texts of the trace read from the model (the preview window of
// sine and square, the visible window of an arbitrary channel).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_generator.h"
#include "zorbel/view/trace_source.h"
#include "zorbel/view/view_geometry.h"

namespace zorbel::test {
namespace {

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
         {"0", "409", "4095"}},
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
        const std::vector<ScaleLabel> labels =
            ScaleLabels(grid, GridStyle{}, trace.lower, trace.upper, trace.arbitrary, trace.first, trace.last);

        ASSERT_EQ(labels.size(), row.indexes.empty() ? 11u : 22u);
        EXPECT_EQ(labels[0].text, row.levels[0]);
        EXPECT_EQ(labels[5].text, row.levels[1]);
        EXPECT_EQ(labels[10].text, row.levels[2]);
        EXPECT_EQ(labels[0].x, 60 - 6 - 20);
        EXPECT_EQ(labels[0].y, 770);
        EXPECT_EQ(labels[10].y, 30);
        if (row.indexes.empty()) continue;
        EXPECT_EQ(labels[11].text, row.indexes[0]);
        EXPECT_EQ(labels[12].text, row.indexes[1]);
        EXPECT_EQ(labels[21].text, row.indexes[2]);
        EXPECT_EQ(labels[11].x, 58);
        EXPECT_EQ(labels[21].x, 1178);
        EXPECT_EQ(labels[21].y, 770 + 6 + 10);
    }
}

}  // namespace
}  // namespace zorbel::test
