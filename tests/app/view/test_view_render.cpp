// The view's layers drawn headless through libQRVDisplayDll.so: a sine in
// channel 1's colour lands inside the grid and nowhere else, at the screen's
// pixel density, and a rubber band request redraws the band alone over the
// cached annotations.
#include <gtest/gtest.h>

#include <QImage>

#include "fake_generator.h"
#include "zorbel/view/trace_source.h"
#include "zorbel/view/view_layers.h"

namespace zorbel::test {
namespace {

QRgb FromColourRef(std::uint32_t c) { return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

struct Pixels {
    int inside = 0;
    int outside = 0;
    int columnsHit = 0;  // device pixel columns of the grid with at least one
    int top = -1;        // first device row with one
};

Pixels Count(const QImage& image, const GridRect& grid, qreal ratio, QRgb colour) {
    Pixels p;
    const QRect inside(QPoint(int(grid.left * ratio), int(grid.top * ratio)),
                       QPoint(int(grid.right * ratio) - 1, int(grid.bottom * ratio) - 1));
    std::vector<bool> hit(image.width(), false);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) != (colour & 0xFFFFFF)) continue;
            if (!inside.contains(x, y)) {
                ++p.outside;
                continue;
            }
            ++p.inside;
            if (p.top < 0) p.top = y;
            hit[x] = true;
        }
    }
    for (int x = inside.left(); x <= inside.right(); ++x) p.columnsHit += hit[x];
    return p;
}

TEST(ViewLayers, ASineInChannelOnesColourFillsTheGridAndNothingOutsideIt) {
    const struct {
        const char* what;
        qreal ratio;
        double amplitude, offset;  // volts; the window follows them
        double topVolts;           // the highest level drawn
        double columnsShare;       // of the grid's columns the line runs through
    } rows[] = {
        {"2 V in +-1.25 V", 1.0, 2.0, 0.0, 1.0, 1.0},
        {"2 V on a high-density screen", 2.0, 2.0, 0.0, 1.0, 1.0},
        {"4 V at 9 V, cut by the 8..10 V window", 1.0, 4.0, 9.0, 10.0, 0.3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FakeGenerator fake;
        DeviceSettings settings(fake);  // channel 1: a sine
        settings.SetParameter(0, Parameter::Amplitude, row.amplitude);
        settings.SetParameter(0, Parameter::Offset, row.offset);
        ViewLayers layers;
        ASSERT_TRUE(layers.Resize(QSize(1200, 800), row.ratio));
        ViewScene scene;
        TraceSource source;
        source.Read(settings, layers.GridColumns(), scene.trace);
        layers.Render(RefreshMask::Everything, scene);

        const QImage image = layers.Composite();
        ASSERT_EQ(image.size(), QSize(1200, 800) * row.ratio) << "sharp on a high-density screen";
        const GridRect grid = layers.Grid();
        const std::uint32_t colour = settings.Record(0).traceColour;
        const Pixels p = Count(image, grid, row.ratio, FromColourRef(colour));
        EXPECT_EQ(p.outside, 0);
        // The frame's sides and the centre axis are drawn over the line.
        EXPECT_GE(p.columnsHit, int(row.columnsShare * grid.Width() * row.ratio) - 3);
        EXPECT_NEAR(p.top, YOfVoltage(row.topVolts, grid, scene.trace.lower, scene.trace.upper) * row.ratio,
                    2.0 * row.ratio);
    }
}

TEST(ViewLayers, ARubberBandRequestRedrawsTheBandAloneOverTheCachedAnnotations) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    ViewLayers layers;
    layers.Resize(QSize(800, 600), 1.0);
    ViewScene scene;
    TraceSource source;
    source.Read(settings, layers.GridColumns(), scene.trace);
    const QRgb before = FromColourRef(scene.trace.colour);
    const QRgb after = qRgb(255, 0, 0);
    const QRgb band = qRgb(255, 255, 0);
    layers.Render(RefreshMask::Everything, scene);

    // The trace changes colour and a horizontal zoom band is dragged out.
    scene.trace.colour = 0x0000FF;
    scene.trace.cursorWord = 2;
    scene.press = QPoint(200, 100);
    scene.current = QPoint(400, 300);
    const GridRect grid = layers.Grid();
    const struct {
        const char* what;
        RefreshMask mask;
        bool oldTrace, newTrace, rubberBand;
    } rows[] = {
        {"rubber band only", RefreshMask::Cursor, true, false, true},
        {"waveform: the band is gone", RefreshMask::Waveform, false, true, false},
        {"rubber band again", RefreshMask::Cursor, false, true, true},
    };
    for (const auto& row : rows) {
        layers.Render(row.mask, scene);
        const QImage image = layers.Composite();
        EXPECT_EQ(Count(image, grid, 1.0, before).inside > 0, row.oldTrace) << row.what;
        EXPECT_EQ(Count(image, grid, 1.0, after).inside > 0, row.newTrace) << row.what;
        EXPECT_EQ(Count(image, grid, 1.0, band).inside > 0, row.rubberBand) << row.what;
    }
}

}  // namespace
}  // namespace zorbel::test
