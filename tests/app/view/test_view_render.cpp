// The view's layers drawn headless through libQRVDisplayDll.so: a sine in
// channel 1's colour lands inside the grid and nowhere else, at the screen's
// pixel density, and a rubber band request redraws the band alone over the
// cached annotations; the printed page draws the trace where the view does;
// a running job's progress dialog stays up whatever the user presses.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QTest>

#include <functional>

#include "fake_generator.h"
#include "zorbel/report/report_page.h"
#include "zorbel/view/progress_bar.h"
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

// The highest and lowest rows of the trace's colour inside `grid`, as shares
// of its height from the top (0 at the top row, 1 at the bottom row); the
// page's antialiased line is matched by its nearly pure middle.
std::pair<double, double> TraceExtent(const QImage& image, const QRect& grid, QRgb colour) {
    int top = -1, bottom = -1;
    for (int y = grid.top(); y <= grid.bottom(); ++y) {
        for (int x = grid.left(); x <= grid.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - qRed(colour)) + std::abs(qGreen(p) - qGreen(colour)) +
                    std::abs(qBlue(p) - qBlue(colour)) >
                24)
                continue;
            if (top < 0) top = y;
            bottom = y;
            break;
        }
    }
    const double height = grid.height() - 1;
    return {(top - grid.top()) / height, (bottom - grid.top()) / height};
}

// With an offset the printed trace once sat elsewhere than the view's: both
// show the channel as the view does, whatever amplitude and offset say.
TEST(ReportPage, DrawsTheTraceWhereTheViewDoesWhateverTheOffset) {
    const struct {
        const char* what;
        std::uint16_t waveType;
        double offset;
        std::pair<double, double> extent;  // top and bottom share of the grid's height
    } rows[] = {
        {"arbitrary, offset 0", kWaveArbitrary, 0.0, {0.4, 0.7}},  // +2 V and -4 V in -10..10 V
        {"arbitrary, offset 3 V", kWaveArbitrary, 3.0, {0.4, 0.7}},
        {"sine of 2 V at 3 V", kWaveSine, 3.0, {0.1, 0.9}},  // 2..4 V in 1.75..4.25 V
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FakeGenerator fake;
        DeviceSettings settings(fake);
        settings.SetParameter(0, Parameter::Offset, row.offset);
        settings.SetWaveType(0, row.waveType);
        settings.ResizeArbitrary(0, 4096);  // a step, drawn from the envelope
        settings.ModifyRecord(0, [](ChannelRecord& r) {
            for (std::uint32_t i = 0; i < 4096; ++i) r.arbitrarySamples[i] = i < 2048 ? 2.0 : -4.0;
        });
        const QRgb colour = FromColourRef(settings.Record(0).traceColour);

        ViewLayers layers;
        layers.Resize(QSize(1200, 800), 1.0);
        ViewScene scene;
        TraceSource source;
        source.Read(settings, layers.GridColumns(), scene.trace);
        layers.Render(RefreshMask::Everything, scene);
        const GridRect g = layers.Grid();
        const auto view =
            TraceExtent(layers.Composite(), QRect(QPoint(g.left, g.top), QPoint(g.right - 1, g.bottom - 1)), colour);

        QImage page(2970, 2100, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            DrawReportPage(painter, page.rect(), ReportOf(settings, 0, 1, {}));
        }
        // The page's grid: thousandths 50..950 across, 130..800 down.
        const QRect pageGrid(QPoint(149, 273), QPoint(2821, 1680));
        const auto printed = TraceExtent(page, pageGrid.adjusted(4, 0, -4, 0), colour);

        EXPECT_NEAR(view.first, row.extent.first, 0.01);
        EXPECT_NEAR(view.second, row.extent.second, 0.01);
        EXPECT_NEAR(printed.first, view.first, 0.01);
        EXPECT_NEAR(printed.second, view.second, 0.01);
    }
}

// Escape or the window's close would leave a job running behind a window
// that takes the next Write: the dialog stays until the job ends.
TEST(ProgressDialog, StaysUpThroughEscapeAndCloseUntilTheJobEnds) {
    const struct {
        const char* what;
        std::function<void(QDialog&)> press;
    } rows[] = {
        {"Escape", [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"the window's close", [](QDialog& d) { d.close(); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FakeGenerator fake;
        DeviceSettings settings(fake);
        settings.StartWriteOperation();  // no worker: the job stays under way
        QWidget window;
        window.show();
        auto* dialog = new CDlgProgressBar(settings, settings.JobFlags(), "Writing Config Data", &window);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
        QTest::qWait(50);
        row.press(*dialog);
        QTest::qWait(50);
        ASSERT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->isModal());

        settings.SelectDemo();  // the job is dropped: the dialog goes by itself
        QPointer<CDlgProgressBar> watched(dialog);
        QElapsedTimer waited;
        waited.start();
        while (watched && watched->isVisible() && waited.elapsed() < 2000) QTest::qWait(10);
        EXPECT_TRUE(!watched || !watched->isVisible());
    }
}

}  // namespace
}  // namespace zorbel::test
