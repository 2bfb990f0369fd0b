// The arbitrary view's mouse tools without a window: the window rules, and
// drawing through the tools on a model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <ostream>

#include "fake_generator.h"
#include "zorbel/view/mouse_tools.h"

namespace zorbel {
// For the failure messages.
void PrintTo(const ArbitraryWindow& w, std::ostream* out) {
    *out << "{" << w.first << ".." << w.last << ", " << w.lower << ".." << w.upper << " V}";
}
}  // namespace zorbel

namespace zorbel::test {
namespace {

// 1000 pixels for 1000 points (x = 60 + index), 500 pixels for 20 V (25 pixels a volt).
constexpr GridRect kGrid{60, 30, 1060, 530};
constexpr double kLimit = 10.0;

TEST(MouseTools, WindowRules) {
    using W = ArbitraryWindow;
    const W whole{0, 999, -10.0, 10.0};
    const auto zoomOut = [](W w, ZoomTool bits, std::uint32_t count, std::uint32_t index, double volts) {
        return [=] { return std::optional<W>(ZoomOutAt(w, bits, count, kLimit, index, volts)); };
    };
    const auto move = [](W w, ZoomTool bits, std::uint32_t from, std::uint32_t to, double fromV, double toV) {
        return [=] { return std::optional<W>(MoveBy(w, bits, 1000, kLimit, from, to, fromV, toV)); };
    };
    const auto zoomIn = [](W w, ZoomTool bits, PixelPoint a, PixelPoint b, PixelPoint click) {
        return [=] { return ZoomInTo(w, kGrid, bits, a, b, click); };
    };
    const ZoomTool both = ZoomTool::HorizontalIn | ZoomTool::VerticalIn;
    const struct {
        const char* what;
        std::function<std::optional<W>()> run;
        std::optional<W> expected;
    } rows[] = {
        {"zoom out about the click", zoomOut({100, 199, -1, 1}, ZoomTool::HorizontalOut, 1000, 150, 0),
         W{50, 248, -1, 1}},
        {"zoom out at the left edge keeps first at 0", zoomOut({10, 109, -1, 1}, ZoomTool::HorizontalOut, 1000, 60, 0),
         W{0, 158, -1, 1}},
        {"zoom out at the right edge stops at the last point",
         zoomOut({900, 999, -1, 1}, ZoomTool::HorizontalOut, 1000, 950, 0), W{850, 999, -1, 1}},
        {"zoom out to 11 points apart is refused", zoomOut({0, 10, -1, 1}, ZoomTool::HorizontalOut, 12, 5, 0),
         W{0, 10, -1, 1}},
        {"horizontal zoom out wins over vertical",
         zoomOut({100, 199, -1, 1}, ZoomTool::HorizontalOut | ZoomTool::VerticalOut, 1000, 150, 0), W{50, 248, -1, 1}},
        {"vertical zoom out stays within the limit", zoomOut({0, 999, -2, 8}, ZoomTool::VerticalOut, 1000, 0, 4.0),
         W{0, 999, -8, 10}},
        {"move left brings later points, up to the last",
         move({900, 949, -1, 1}, ZoomTool::HorizontalMove, 500, 400, 0, 0), W{950, 999, -1, 1}},
        {"move right stops at the first point", move({30, 79, -1, 1}, ZoomTool::HorizontalMove, 400, 500, 0, 0),
         W{0, 49, -1, 1}},
        {"move down never lifts upper above the limit", move({0, 99, -2, 8}, ZoomTool::VerticalMove, 0, 0, 5.0, 1.0),
         W{0, 99, 0, 10}},
        {"move up never drops lower below the limit", move({0, 99, -9, 1}, ZoomTool::VerticalMove, 0, 0, 1.0, 5.0),
         W{0, 99, -10, 0}},
        {"both moves at once",
         move({100, 199, -1, 1}, ZoomTool::HorizontalMove | ZoomTool::VerticalMove, 150, 140, 0, 1),
         W{110, 209, -2, 0}},
        {"rubber band and a double click inside it", zoomIn(whole, both, {160, 130}, {460, 330}, {300, 200}),
         W{100, 400, -2, 6}},
        {"corners either way round", zoomIn(whole, both, {460, 330}, {160, 130}, {160, 130}), W{100, 400, -2, 6}},
        {"a double click outside the band", zoomIn(whole, both, {160, 130}, {460, 330}, {500, 200}), std::nullopt},
        {"horizontal only: 11 points apart keeps the window",
         zoomIn(whole, ZoomTool::HorizontalIn, {160, 130}, {171, 330}, {165, 999}), whole},
        {"vertical only: the click's x does not count",
         zoomIn(whole, ZoomTool::VerticalIn, {160, 130}, {460, 330}, {999, 200}), W{0, 999, -2, 6}},
        {"other tools than zoom in: nothing",
         zoomIn(whole, ZoomTool::HorizontalIn | ZoomTool::VerticalMove, {160, 130}, {460, 330}, {300, 200}),
         std::nullopt},
    };
    for (const auto& row : rows) EXPECT_EQ(row.run(), row.expected) << row.what;
}

// The view as the tools see it, recording what they ask of it.
class RecordingView final : public MouseToolsView {
public:
    GridRect Grid() const override { return kGrid; }
    void RequestRedraw(RefreshMask mask) override { masks = masks | mask; }
    void ArbitraryPointsChanged(std::uint16_t, std::uint32_t first, std::uint32_t last) override {
        changed = changed ? std::pair{std::min(changed->first, first), std::max(changed->second, last)}
                          : std::pair{first, last};
    }
    void SetRubberBand(PixelPoint, PixelPoint) override {}

    RefreshMask masks = RefreshMask::None;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> changed;
};

TEST(MouseTools, DrawingWritesEveryPointTheMousePassedOnceAsOneStep) {
    const struct {
        const char* what;
        std::uint16_t waveType;
        std::vector<PixelPoint> drag;  // press, moves with the left button held
        std::uint32_t first, last;     // the points written
        double firstVolts, lastVolts;  // interpolated between them
    } rows[] = {
        {"left to right", kWaveArbitrary, {{160, 130}, {160, 130}, {460, 230}}, 100, 400, 6.0, 2.0 + 4.0 / 301},
        {"right to left", kWaveArbitrary, {{460, 230}, {460, 230}, {160, 130}}, 100, 400, 6.0, 2.0 + 4.0 / 301},
        {"fast strokes skip no point", kWaveArbitrary, {{70, 30}, {70, 30}, {400, 30}, {900, 30}}, 10, 840, 10.0, 10.0},
        {"beyond the grid's top: held to the limit",
         kWaveArbitrary,
         {{160, 0}, {160, 0}, {170, 40}},
         100,
         110,
         10.0,
         9.6 + 0.4 / 11},
        {"not arbitrary: nothing", kWaveSine, {{160, 130}, {160, 130}, {460, 230}}, 1, 0, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FakeGenerator fake;
        DeviceSettings settings(fake);
        settings.ResizeArbitrary(0, 1000);
        // 1000 points, one a pixel, though the instrument's counts go by 16.
        settings.ModifyRecord(0, [](ChannelRecord& r) {
            r.arbitraryPointCount = 1000;
            r.arbitraryViewLast = 999;
        });
        settings.SetWaveType(0, row.waveType);
        RecordingView view;
        ArbitraryMouseTools tools(settings, view);
        tools.LeftDown(row.drag.front());
        for (std::size_t i = 1; i < row.drag.size(); ++i) tools.Move(row.drag[i], true);
        tools.LeftUp();

        const std::vector<double> samples = settings.Record(0).arbitrarySamples;
        const bool drawn = row.first <= row.last;
        for (std::uint32_t i = 0; i < samples.size(); ++i) {
            if (!drawn || i < row.first || i > row.last) {
                ASSERT_EQ(samples[i], 0.0) << "point " << i;
                continue;
            }
            const double expected =
                row.firstVolts + (row.lastVolts - row.firstVolts) * (i - row.first) / double(row.last - row.first);
            ASSERT_NEAR(samples[i], expected, 1e-9) << "point " << i;
        }
        if (!drawn) {
            EXPECT_EQ(view.masks, RefreshMask::None);
            EXPECT_FALSE(settings.History().CanUndo(0));
            continue;
        }
        EXPECT_EQ(view.changed, (std::pair{row.first, row.last}));
        EXPECT_EQ(view.masks, RefreshMask::Waveform);
        EXPECT_EQ(settings.History().UndoSteps(0), 1u);
        ASSERT_TRUE(settings.History().Undo(0));
        const std::vector<double> undone = settings.Record(0).arbitrarySamples;
        EXPECT_EQ(std::count(undone.begin(), undone.end(), 0.0), 1000);
    }
}

}  // namespace
}  // namespace zorbel::test
