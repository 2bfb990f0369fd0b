// The long operations on a waveform of 64 M points, each beside its raw
// baseline in one run:
//
//   - the work itself: a formula against a plain loop computing the same
//     function; a resize against memcpy of the same data; an import of a
//     64 M-sample WAV against sf_readf_double of the same file;
//   - the longest stall of the interface thread while each runs, measured
//     with a probe on the event loop (a 10 ms timer, the largest gap between
//     its shots), target 100 ms: run as the program runs it (on the view's
//     worker under the progress dialog) against the same work run on the
//     interface thread (a .qwf import of 16 M points, the printed page, undo
//     and redo of a whole replacement among them); the envelope build of the display thread while the
//     interface reads the records every shot; the printed page's snapshot.
//
// Every 64 M-point operation is run once per repetition:
//
//   build/bin/bench_view_long_jobs --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numbers>
#include <thread>

#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/arbitrary_files.h"
#include "zorbel/model/formula.h"
#include "zorbel/model/waveform_import.h"
#include "zorbel/report/report_page.h"
#include "zorbel/view/trace_source.h"
#include "zorbel/view/zorbel_view.h"

namespace zorbel {
namespace {

constexpr std::uint32_t kPoints = 1U << 26;
constexpr const char* kFormula = "sin(2*pi*x) + 0.3*sin(6*pi*x)";

// A model whose channel 1 is arbitrary with 64 M points and keeps no undo
// steps (each repetition starts from the same memory).
std::unique_ptr<DeviceSettings> Model(std::uint32_t points = kPoints) {
    auto settings = std::make_unique<DeviceSettings>();
    settings->History().SetLimits(0, 0);
    settings->SetWaveType(0, kWaveArbitrary);
    settings->ResizeArbitrary(0, points);
    settings->ModifyRecord(0, [](ChannelRecord& r) {
        for (std::size_t i = 0; i < r.arbitrarySamples.size(); ++i) r.arbitrarySamples[i] = (i % 1000) * 1e-3;
        r.arbitraryViewLower = -10.0;
        r.arbitraryViewUpper = 10.0;
    });
    return settings;
}

// A mono 16-bit WAV of 64 M samples in the temporary folder, written once.
const std::string& WavFile() {
    static const std::string kPath = [] {
        const char* folder = std::getenv("TMPDIR");
        std::string name = std::string(folder && *folder ? folder : "/tmp") + "/zorbel-bench-64M.wav";
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* file = sf_open(name.c_str(), SFM_WRITE, &info);
        std::vector<short> block(1 << 20);
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<short>(12000 * std::sin(2 * std::numbers::pi * static_cast<double>(i) / 1000));
        for (std::uint32_t at = 0; at < kPoints; at += block.size())
            sf_writef_short(file, block.data(), static_cast<sf_count_t>(block.size()));
        sf_close(file);
        return name;
    }();
    return kPath;
}

// The interface thread's probe: a 10 ms timer and the largest gap between
// two of its shots (or the start and the first, the last and the end).
class StallProbe {
public:
    explicit StallProbe(std::function<void()> onShot = {}) : onShot_(std::move(onShot)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            Note();
            if (onShot_) onShot_();
        });
    }
    void Start() {
        longest_ = 0;
        clock_.start();
        last_ = 0;
        timer_.start();
    }
    double StopMs() {
        Note();
        timer_.stop();
        return static_cast<double>(longest_) / 1e6;
    }

private:
    void Note() {
        const qint64 now = clock_.nsecsElapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    std::function<void()> onShot_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

// Runs `job` as the program does (worker and progress dialog) or on the
// interface thread, under the probe; the stall goes to the counters.
void MeasureStall(benchmark::State& state, DeviceSettings& settings, const std::function<LongJob()>& makeJob,
                  bool onWorker) {
    CZorbelView view(settings, QString());
    double longest = 0;
    for (auto _ : state) {
        LongJob job = makeJob();
        StallProbe probe;
        probe.Start();
        bool done = false;
        if (onWorker) {
            view.RunLongJob(std::move(job), [&done] { done = true; });
        } else {
            QTimer::singleShot(0, [&] {
                RunJobAtOnce(job);
                done = true;
            });
        }
        while (!done) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        longest = std::max(longest, probe.StopMs());
    }
    state.counters["stall_ms"] = longest;
}

// ---- The work itself -------------------------------------------------------

void BM_Formula64M(benchmark::State& state) {
    auto settings = Model();
    for (auto _ : state) RunJobAtOnce(FormulaJob(*settings, 0, kFormula, nullptr, [](auto) {}));
}
BENCHMARK(BM_Formula64M)->Unit(benchmark::kMillisecond)->Iterations(1);

// Baseline: the same function in a plain loop on one thread, into a fresh
// array taken as the program takes it (huge pages where the system has them).
void BM_FormulaPlainLoop64M(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<double> out;
        ReserveWaveform(out, kPoints);  // the memory as the program takes it
        out.resize(kPoints);
        for (std::uint32_t i = 0; i < kPoints; ++i) {
            const double x = static_cast<double>(i) / kPoints;
            out[i] = std::sin(2 * std::numbers::pi * x) + 0.3 * std::sin(6 * std::numbers::pi * x);
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_FormulaPlainLoop64M)->Unit(benchmark::kMillisecond)->Iterations(1);

// 64 M - 16 points to 64 M and back: all but 16 points kept, 16 padded.
void BM_Resize64M(benchmark::State& state) {
    auto settings = Model(kPoints - 16);
    bool grow = true;
    for (auto _ : state) {
        RunJobAtOnce(ResizeJob(*settings, 0, grow ? kPoints : kPoints - 16, nullptr));
        grow = !grow;
    }
}
BENCHMARK(BM_Resize64M)->Unit(benchmark::kMillisecond)->Iterations(1);

// Baseline: memcpy of the same 64 M points into a fresh array.
void BM_ResizeMemcpy64M(benchmark::State& state) {
    std::vector<double> source(kPoints, 0.5);
    for (auto _ : state) {
        std::vector<double> copy;
        ReserveWaveform(copy, kPoints);  // the memory as the program takes it
        std::memcpy(copy.data(), source.data(), kPoints * sizeof(double));
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_ResizeMemcpy64M)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Import64M(benchmark::State& state) {
    auto settings = Model(16);
    const std::string& path = WavFile();
    for (auto _ : state) RunJobAtOnce(ImportJob(*settings, path, 0, nullptr, [](const ImportOutcome&) {}));
}
BENCHMARK(BM_Import64M)->Unit(benchmark::kMillisecond)->Iterations(1);

// Baseline: sf_readf_double of the same file into a fresh array.
void BM_ImportSfRead64M(benchmark::State& state) {
    const std::string& path = WavFile();
    for (auto _ : state) {
        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        std::vector<double> samples;
        ReserveWaveform(samples, static_cast<std::size_t>(info.frames));  // the memory as the program takes it
        samples.resize(static_cast<std::size_t>(info.frames));
        benchmark::DoNotOptimize(sf_readf_double(file, samples.data(), info.frames));
        sf_close(file);
    }
}
BENCHMARK(BM_ImportSfRead64M)->Unit(benchmark::kMillisecond)->Iterations(1);

// ---- Stalls of the interface thread ----------------------------------------

void BM_StallFormula64M(benchmark::State& state) {
    auto settings = Model();
    MeasureStall(
        state, *settings, [&] { return FormulaJob(*settings, 0, kFormula, nullptr, [](auto) {}); }, state.range(0));
}
void BM_StallResize64M(benchmark::State& state) {
    auto settings = Model(kPoints - 16);
    bool grow = true;
    MeasureStall(
        state, *settings,
        [&] {
            grow = !grow;
            return ResizeJob(*settings, 0, grow ? kPoints - 16 : kPoints, nullptr);
        },
        state.range(0));
}
void BM_StallImport64M(benchmark::State& state) {
    auto settings = Model(16);
    MeasureStall(
        state, *settings, [&] { return ImportJob(*settings, WavFile(), 0, nullptr, [](const ImportOutcome&) {}); },
        state.range(0));
}
// Arg 1: on the view's worker, as the program runs it; arg 0: the same work
// on the interface thread, the baseline.
BENCHMARK(BM_StallFormula64M)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_StallResize64M)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_StallImport64M)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);

// A .qwf file of 16 M points (240 MB of text) in the temporary folder, written once.
const std::string& QwfFile() {
    static const std::string kPath = [] {
        const char* folder = std::getenv("TMPDIR");
        std::string name = std::string(folder && *folder ? folder : "/tmp") + "/zorbel-bench-16M.qwf";
        std::FILE* file = std::fopen(name.c_str(), "wb");
        std::fputs("#Total=2.5E+008\r\n#SAMPLE=0\r\n#SIZE=16777216\r\n#Freq=1\r\n", file);
        std::string block;
        for (int line = 0; line < 1000; ++line) {
            for (int i = 0; i < 10; ++i) block += "  5.000000E-01,";
            block += "\r\n";
        }
        for (std::uint32_t at = 0; at < (1U << 24); at += 10'000) std::fwrite(block.data(), 1, block.size(), file);
        std::fclose(file);
        return name;
    }();
    return kPath;
}
void BM_StallQwfImport16M(benchmark::State& state) {
    auto settings = Model(16);
    MeasureStall(
        state, *settings,
        [&] {
            return ArbitraryFileJob(*settings, ArbitraryFormat::Qwf, QwfFile(), 0, nullptr,
                                    [](const ImportOutcome&) {});
        },
        state.range(0));
}
BENCHMARK(BM_StallQwfImport16M)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);

// The printed page's pass over a 64 M-point window and the page drawn at
// 300 dpi (what Print draws on the printer): arg 1 as the program runs it
// (pass and drawing on the worker), arg 0 both on the interface thread.
void BM_StallPrintPage64M(benchmark::State& state) {
    auto settings = Model();
    settings->ModifyRecord(0, [](ChannelRecord& r) {
        r.arbitraryViewFirst = 0;
        r.arbitraryViewLast = kPoints - 1;
    });
    MeasureStall(
        state, *settings,
        [&] {
            return ReportJob(*settings, 0, 1, {}, [](const ReportPage& report) -> JobFinish {
                QImage page(3508, 2480, QImage::Format_RGB32);
                QPainter painter(&page);
                DrawReportPage(painter, page.rect(), report);
                return {};
            });
        },
        state.range(0));
}
BENCHMARK(BM_StallPrintPage64M)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);

// The longest stall of undo, then redo, of the last step on channel 1: arg 1
// as the program does it (a long job where the step builds millions of
// points); arg 0 the baseline, a copy of `copied` points into
// a fresh array.
void MeasureUndoRedo(benchmark::State& state, DeviceSettings& settings, std::size_t copied) {
    CZorbelView view(settings, QString());
    double longest = 0;
    for (auto _ : state) {
        for (const bool redo : {false, true}) {
            StallProbe probe;
            probe.Start();
            bool done = !state.range(0);
            QTimer::singleShot(0, [&] {
                if (state.range(0)) {
                    view.RunLongJob(UndoJob(settings, 0, redo, nullptr, [&done](const auto&) { done = true; }));
                } else {
                    std::vector<double> copy;
                    ReserveWaveform(copy, copied);
                    settings.ReadRecord(0, [&](const ChannelRecord& r) {
                        const std::size_t n = std::min(copied, r.arbitrarySamples.size());
                        copy.insert(copy.end(), r.arbitrarySamples.begin(), r.arbitrarySamples.begin() + n);
                    });
                    benchmark::DoNotOptimize(copy.data());
                }
            });
            QElapsedTimer wait;
            wait.start();
            while (!done || wait.elapsed() < 50) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            longest = std::max(longest, probe.StopMs());
        }
    }
    state.counters["stall_ms"] = longest;
}

// Undo, then redo, of a formula over 64 M points (the arrays swapped back);
// the baseline a copy of the points, as the step used to build.
void BM_StallUndoRedo64M(benchmark::State& state) {
    auto settings = Model();
    settings->History().SetLimits(std::size_t{4} << 30, 10);
    RunJobAtOnce(FormulaJob(*settings, 0, kFormula, nullptr, [](auto) {}));
    MeasureUndoRedo(state, *settings, kPoints);
}
BENCHMARK(BM_StallUndoRedo64M)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);

// Undo, then redo, of a resize from 64 M to 32 M points, whose step keeps
// the 32 M points cut off; the baseline a copy of 32 M points.
void BM_StallUndoRedoShrink64M(benchmark::State& state) {
    auto settings = Model();
    settings->History().SetLimits(std::size_t{4} << 30, 10);
    RunJobAtOnce(ResizeJob(*settings, 0, kPoints / 2, nullptr, [](bool) {}));
    MeasureUndoRedo(state, *settings, kPoints / 2);
}
BENCHMARK(BM_StallUndoRedoShrink64M)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);

// The display thread builds the envelope of a new 64 M-point waveform while
// the interface reads the record at every shot (as the command states and
// the panel do); arg 1 builds as the view does, arg 0 (the baseline) the
// whole envelope in one visit under the records lock.
void BM_StallEnvelopeBuild64M(benchmark::State& state) {
    auto settings = Model();
    const bool inParts = state.range(0) != 0;
    double longest = 0;
    for (auto _ : state) {
        // A new generation: the next read builds again.
        settings->ModifyRecord(0, [](ChannelRecord& r) { r.arbitraryChanges.Replaced(); });
        StallProbe probe([&] { settings->ReadRecord(0, [](const ChannelRecord& r) { return r.waveType; }); });
        std::atomic<bool> done{false};
        probe.Start();
        std::thread display([&] {
            TraceSource source;
            TraceScene scene;
            if (inParts) {
                source.Read(*settings, 1200, scene);
            } else {
                settings->ReadRecord(0, [](const ChannelRecord& r) {
                    MinMaxEnvelope envelope;
                    envelope.Build(r.arbitrarySamples.data(), r.arbitrarySamples.size());
                    benchmark::DoNotOptimize(envelope.Count());
                });
            }
            done = true;
        });
        while (!done) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        display.join();
        longest = std::max(longest, probe.StopMs());
    }
    state.counters["stall_ms"] = longest;
}
BENCHMARK(BM_StallEnvelopeBuild64M)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);

// The printed page's snapshot of a 64 M-point window on the interface thread
// (what Print and Print Preview take before drawing), while the display
// thread reads the record every millisecond: its longest wait for the lock.
void BM_PrintSnapshot64M(benchmark::State& state) {
    auto settings = Model();
    settings->ModifyRecord(0, [](ChannelRecord& r) {
        r.arbitraryViewFirst = 0;
        r.arbitraryViewLast = kPoints - 1;
    });
    std::atomic<bool> stop{false};
    std::atomic<long long> longestWaitNs{0};
    std::thread reader([&] {
        while (!stop) {
            const auto start = std::chrono::steady_clock::now();
            settings->ReadRecord(0, [](const ChannelRecord& r) { return r.waveType; });
            const long long waited = (std::chrono::steady_clock::now() - start).count();
            if (waited > longestWaitNs) longestWaitNs = waited;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    for (auto _ : state) benchmark::DoNotOptimize(ReportOf(*settings, 0, 1, {}).trace);
    stop = true;
    reader.join();
    state.counters["lock_wait_ms"] = static_cast<double>(longestWaitNs) / 1e6;
}
BENCHMARK(BM_PrintSnapshot64M)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace zorbel

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
