// The session's threads all at once, for ThreadSanitizer: the worker runs
// every kind of job while a user-interface thread edits, switches channels,
// re-connects, downloads and calibrates, a display thread reads the preview,
// and the observer calls back into the model from the worker, as the view
// does. Loops are bounded in count; the test must end quietly and leave the
// instrument with exactly the model's settings.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "fake_generator.h"
#include "fake_oscilloscope.h"
#include "zorbel/model/session_pump.h"

namespace zorbel::test {
namespace {

using namespace std::chrono_literals;

// Reads the model back on the worker's thread, as the view's handlers do.
class CallingBackObserver final : public SessionObserver {
public:
    explicit CallingBackObserver(DeviceSettings& settings) : settings_(settings) {}

    void UpdatePanel(std::stop_token) override {
        panels_ += settings_.Record(settings_.CurrentChannel()).waveType > 0 ? 1 : 0;
        (void)settings_.CopyLimits(1);
    }
    void ShowProgress(Job flags) override { lastFlags_ = ToNumber(flags); }
    void CalibrationStep(std::uint16_t, std::stop_token) override {
        (void)settings_.Calibration();  // reads the calibration values while the worker runs
        ++steps_;
    }
    void RequestRefresh(RefreshMask mask) override { mask_ = ToNumber(mask); }

    int Panels() const { return panels_; }
    int Steps() const { return steps_; }

private:
    DeviceSettings& settings_;
    std::atomic<int> panels_{0};
    std::atomic<int> steps_{0};
    std::atomic<std::uint16_t> lastFlags_{0};
    std::atomic<std::uint32_t> mask_{0};
};

TEST(SessionThreads, EveryJobWhileTheInterfaceAndTheDisplayWork) {
    FakeGenerator fake;
    fake.SetBestArbitrary(3, 1024);
    DeviceSettings settings(fake);
    FakeOscilloscope scope;  // measured at every step, without the program's settling time
    settings.SetOscilloscope(scope);
    settings.SetCalibrationSettleTime(0ms);
    CallingBackObserver observer(settings);
    settings.SetObserver(&observer);
    SessionPump pump(settings, 1ms);
    pump.Start();

    std::atomic<bool> stop{false};
    std::thread display([&] {
        double sum = 0;
        for (int i = 0; i < 200000 && !stop; ++i) {
            sum += settings.ReadRecord(i % 2, [i](const ChannelRecord& r) {
                return r.previewSamples[static_cast<std::size_t>(i) % r.previewSamples.size()] + r.previewUpper +
                       (r.arbitrarySamples.empty() ? 0.0 : r.arbitrarySamples.front());
            });
            (void)settings.LinkState();
            (void)settings.JobFlags();
        }
        EXPECT_TRUE(std::isfinite(sum));
    });

    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        switch (round % 4) {
        case 0:
            settings.StartWriteOperation();
            break;
        case 1:
            settings.StartReadOperation();
            break;
        case 2:
            settings.ResizeArbitrary(round % 2, 2048 + 16 * round);
            settings.StartArbitraryDownload(round % 2);
            break;
        default:
            settings.SetJobFlag(Job::Calibration);
            settings.SetCalibrationRunState(CalibrationRun::Running);
            settings.QueueCalibrationStart(0);
            for (std::uint16_t step = 0; step < 5; ++step) {
                settings.QueueCalibrationStep(step);
                settings.QueueCalibrationCommand(code::kCalMeasure);
            }
            settings.QueueCalibrationStop(0);
            break;
        }
        pump.Wake();
        for (int i = 0; i < 100; ++i) {
            const auto ch = static_cast<std::uint16_t>(i % 2);
            settings.SetParameter(ch, ParameterAt(i % kParameterCount), 0.5 + i % 5);
            settings.SetWaveType(ch, static_cast<std::uint16_t>(1 + i % 5));
            settings.SetOutputState(ch, i % 3 == 0);
            settings.SetZoomTool(i % 2 ? ZoomTool::HorizontalIn : ZoomTool::VerticalOut);
            settings.SetCurrentChannel(ch);
            if (i % 25 == 0) settings.ToggleSyncMachine();
            if (i % 40 == 0) settings.SetConnection(kConnectionLan, 0x7F000001);
            (void)settings.PendingCommands();
            (void)settings.ZoomFromData(ch);
        }
        if (round % 4 == 3) {
            // The calibration job lasts while its dialog is open: wait for the
            // queue to drain, then close the dialog.
            const auto until = std::chrono::steady_clock::now() + 10s;
            while (!settings.PendingCommands().empty() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(1ms);
            settings.ClearJobFlag(Job::Calibration);
            settings.SetCalibrationRunState(CalibrationRun::Idle);
        }
        EXPECT_TRUE(pump.WaitUntilIdle(10s).finished);
        if (round == 5) {  // the view stops and restarts its threads
            pump.Stop();
            pump.Start();
        }
    }
    stop = true;
    display.join();

    // After all that, one more Write Operation leaves the instrument with the model's settings.
    const JobOutcome last = pump.RunWriteOperation(10s);
    pump.Stop();
    EXPECT_TRUE(last.Succeeded()) << "status " << last.lastStatus;
    std::array<std::array<double, kParameterCount>, 2> written{};
    for (const Call& call : fake.Calls())
        if (call.name == "Write") written[call.channel][call.parameter] = call.a;
    for (std::uint16_t ch : {0, 1}) {
        const ChannelRecord r = settings.Record(ch);
        for (std::size_t n = 0; n < kParameterCount; ++n) EXPECT_EQ(written[ch][n], r.values[n]) << ch << " " << n;
    }
    EXPECT_GT(observer.Panels(), 0);
    EXPECT_GT(observer.Steps(), 0);
}

}  // namespace
}  // namespace zorbel::test
