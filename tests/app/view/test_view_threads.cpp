// The view's display thread beside the session worker: a redraw requested
// while a render step runs is drawn by the next step, and both threads stop
// within a bound while an instrument job is running. Also run under
// ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "fake_generator.h"
#include "zorbel/model/session_pump.h"
#include "zorbel/view/display_thread.h"
#include "zorbel/view/trace_source.h"

namespace zorbel::test {
namespace {

using namespace std::chrono_literals;

TEST(DisplayThread, ARequestStoredDuringARenderStepIsDrawnByTheNext) {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<RefreshMask> steps;
    DisplayThread* self = nullptr;
    DisplayThread display(
        [&](RefreshMask mask) {
            std::size_t count = 0;
            {
                std::lock_guard lock(mutex);
                steps.push_back(mask);
                count = steps.size();
            }
            // The rubber band moved while the first step was drawing.
            if (count == 1) self->Request(RefreshMask::Cursor);
            changed.notify_all();
        },
        1ms);
    self = &display;
    display.Request(RefreshMask::Everything);
    display.Start();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return steps.size() >= 2; }));
    }
    // Nothing more is asked for: no more steps.
    std::this_thread::sleep_for(30ms);
    display.Stop();
    std::lock_guard lock(mutex);
    EXPECT_EQ(steps, (std::vector<RefreshMask>{RefreshMask::Everything, RefreshMask::Cursor}));
}

TEST(DisplayThread, StopsWithTheSessionWorkerWithinABoundWhileAJobRuns) {
    FakeGenerator fake;
    fake.SetCallDuration(30ms);  // a Write Operation then takes well over a second
    DeviceSettings settings(fake);
    SessionPump pump(settings);
    TraceSource traces;
    TraceScene scene;
    std::atomic<int> steps{0};
    DisplayThread* self = nullptr;
    DisplayThread display(
        [&](RefreshMask) {
            traces.Read(settings, 1200, scene);
            ++steps;
            self->Request(RefreshMask::Waveform);  // always busy, as while the user drags
        },
        1ms);
    self = &display;
    display.Request(RefreshMask::Everything);
    display.Start();
    pump.Start();
    settings.StartWriteOperation();
    pump.Wake();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (fake.Calls().size() < 3 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
    ASSERT_GE(fake.Calls().size(), 3u) << "the job did not start";

    const auto start = std::chrono::steady_clock::now();
    display.Stop();
    pump.Stop();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, 500ms) << "waited for more than the exchange and the step under way";
    EXPECT_FALSE(display.Running());
    EXPECT_FALSE(pump.Running());
    EXPECT_GT(steps.load(), 0);
    EXPECT_LT(fake.Count("Write"), 20u) << "the job ran to its end instead of stopping";
}

}  // namespace
}  // namespace zorbel::test
