// The waveform view's costs beside its baseline in one run: the blit (the
// composite layer copied onto a widget-sized image, what every repaint does)
// and the render step of an arbitrary channel with N points visible at
// 1200 x 800; a drawing edit dragged across 64 M points (the tool's writes,
// the envelope update and the render step, per mouse move); and building the
// envelope of 64 M points once.
//
//   build/bin/bench_view_render [--benchmark_repetitions=3 --benchmark_report_aggregates_only=true]
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPainter>

#include <cstdlib>
#include <memory>
#include <random>

#include "zorbel/model/device_settings.h"
#include "zorbel/view/trace_source.h"
#include "zorbel/view/view_layers.h"

namespace zorbel {
namespace {

const QSize kClient(1200, 800);

// A model whose channel 1 is arbitrary with `points` points of noise, a few
// single-sample spikes, all of them visible.
std::unique_ptr<DeviceSettings> ArbitraryModel(std::uint32_t points) {
    auto settings = std::make_unique<DeviceSettings>();
    settings->SetWaveType(0, kWaveArbitrary);
    settings->ResizeArbitrary(0, points);
    settings->ModifyRecord(0, [](ChannelRecord& r) {
        std::mt19937 random(1);
        std::uniform_real_distribution<double> noise(-1.0, 1.0);
        for (double& v : r.arbitrarySamples) v = noise(random);
        for (std::size_t i = 7; i < r.arbitrarySamples.size(); i += r.arbitrarySamples.size() / 5 + 1)
            r.arbitrarySamples[i] = 9.0;
        r.arbitraryViewLower = -10.0;
        r.arbitraryViewUpper = 10.0;
    });
    return settings;
}

void BM_Blit(benchmark::State& state) {
    ViewLayers layers;
    layers.Resize(kClient, 1.0);
    layers.Render(RefreshMask::Everything, ViewScene{});
    QImage widget(kClient, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&widget);
        painter.drawImage(QPoint(0, 0), layers.Composite());
    }
}
BENCHMARK(BM_Blit)->Unit(benchmark::kMicrosecond);

void BM_RenderStep(benchmark::State& state) {
    const auto points = static_cast<std::uint32_t>(state.range(0));
    auto settings = ArbitraryModel(points);
    ViewLayers layers;
    layers.Resize(kClient, 1.0);
    ViewScene scene;
    TraceSource source;
    source.Read(*settings, layers.GridColumns(), scene.trace);  // the envelope, built once after the load
    for (auto _ : state) {
        source.Read(*settings, layers.GridColumns(), scene.trace);
        layers.Render(RefreshMask::Waveform, scene);
    }
    state.counters["visible"] = points;
}
BENCHMARK(BM_RenderStep)->Arg(800)->Arg(65536)->Arg(1 << 20)->Arg(1 << 24)->Arg(1 << 26)->Unit(benchmark::kMicrosecond);

// The same while the window moves at every step (a pan or zoom): the columns
// come from the envelope anew and the scale texts, with the grid, are redrawn.
void BM_RenderStepNewWindow(benchmark::State& state) {
    const auto points = static_cast<std::uint32_t>(state.range(0));
    auto settings = ArbitraryModel(points);
    ViewLayers layers;
    layers.Resize(kClient, 1.0);
    ViewScene scene;
    TraceSource source;
    source.Read(*settings, layers.GridColumns(), scene.trace);
    std::uint32_t shift = 0;
    for (auto _ : state) {
        shift = (shift + 1) % 64;
        settings->ModifyRecord(0, [&](ChannelRecord& r) {
            r.arbitraryViewFirst = shift;
            r.arbitraryViewLast = points - 64 + shift;
        });
        source.Read(*settings, layers.GridColumns(), scene.trace);
        layers.Render(RefreshMask::Everything, scene);
    }
    state.counters["visible"] = points - 63;
}
BENCHMARK(BM_RenderStepNewWindow)->Arg(65536)->Arg(1 << 26)->Unit(benchmark::kMicrosecond);

// One mouse move of `pixels` columns while drawing across the whole 64 M
// points: the drawing tool's straight line over the points under those
// columns, the envelope update of that range and the render step.
void BM_DrawingEdit64M(benchmark::State& state) {
    const std::uint32_t points = 1u << 26;
    const auto pixels = static_cast<std::uint32_t>(state.range(0));
    auto settings = ArbitraryModel(points);
    ViewLayers layers;
    layers.Resize(kClient, 1.0);
    ViewScene scene;
    TraceSource source;
    source.Read(*settings, layers.GridColumns(), scene.trace);
    const std::uint32_t perPixel = points / static_cast<std::uint32_t>(layers.Grid().Width());
    const std::uint32_t span = pixels * perPixel;
    std::uint32_t start = 0;
    double level = -5.0;
    for (auto _ : state) {
        const std::uint32_t s = start;
        const std::uint32_t e = s + span - 1;
        settings->ModifyRecord(0, [&](ChannelRecord& r) {
            const double step = 2.0 / span;
            double v = level;
            for (std::uint32_t k = 0; k < span; ++k, v += step) r.arbitrarySamples[s + k] = v;
        });
        source.PointsChanged(0, s, e);
        source.Read(*settings, layers.GridColumns(), scene.trace);
        layers.Render(RefreshMask::Waveform, scene);
        start = (e + 1 + span < points) ? e + 1 : 0;  // the drag goes on to the right
        level = -level;
    }
    state.counters["points_per_move"] = span;
}
BENCHMARK(BM_DrawingEdit64M)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_EnvelopeBuild64M(benchmark::State& state) {
    const std::size_t points = std::size_t{1} << 26;
    std::vector<double> samples(points);
    std::mt19937 random(2);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    for (double& v : samples) v = noise(random);
    MinMaxEnvelope envelope;
    for (auto _ : state) envelope.Build(samples.data(), samples.size());
    state.counters["envelope_MiB"] = double(envelope.MemoryBytes()) / (1 << 20);
    state.counters["points_MiB"] = double(points * sizeof(double)) / (1 << 20);
}
BENCHMARK(BM_EnvelopeBuild64M)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace zorbel

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);  // fonts need a GUI application, not a screen
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
