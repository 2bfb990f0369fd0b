// The worker thread: jobs run to their end and report it, the UI may edit
// and read while the worker stores read-backs, and stopping is cooperative.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "fake_generator.h"
#include "zorbel/model/session_pump.h"

namespace zorbel::test {
namespace {

using namespace std::chrono_literals;

TEST(SessionPump, RunsAWriteOperationToItsEndAndReportsSuccess) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    RecordingObserver observer;
    settings.SetObserver(&observer);
    SessionPump pump(settings);
    pump.Start();
    const JobOutcome outcome = pump.RunWriteOperation(5s);
    EXPECT_TRUE(outcome.Succeeded());
    EXPECT_EQ(fake.Count("Range"), 20u);
    EXPECT_EQ(fake.Count("Write"), 20u);
    EXPECT_EQ(fake.Count("Refresh"), 1u);
    EXPECT_EQ(observer.UpdatePanelCount(), 1);
    pump.Stop();
    EXPECT_FALSE(pump.Running());
}

TEST(SessionPump, ReportsAFailedJobAndAnAbsentInstrument) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    SessionPump pump(settings);
    pump.Start();
    fake.FailCallFromNow(25, GeneratorStatus::Failed);
    JobOutcome outcome = pump.RunReadOperation(5s);
    EXPECT_TRUE(outcome.finished);
    EXPECT_FALSE(outcome.Succeeded());
    EXPECT_EQ(outcome.lastStatus, GeneratorStatus::Failed);
    EXPECT_EQ(outcome.linkState, Link::Down);

    fake.SetConnect(0);
    outcome = pump.RunWriteOperation(5s);
    EXPECT_TRUE(outcome.finished);
    EXPECT_TRUE(outcome.instrumentAbsent);
    EXPECT_FALSE(outcome.Succeeded());
}

TEST(SessionPump, DownloadJobEndsWithItsOutcome) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    SessionPump pump(settings);
    pump.Start();
    ASSERT_TRUE(pump.RunReadOperation(5s).Succeeded());
    settings.ResizeArbitrary(1, 2000);
    const JobOutcome outcome = pump.RunArbitraryDownload(1, 5s);
    EXPECT_TRUE(outcome.Succeeded());
    EXPECT_EQ(fake.Count("ArbDivider"), 1u);
    EXPECT_EQ(settings.JobFlags(), Job::None);
}

struct TimeoutRow {
    const char* name;
    std::chrono::milliseconds callDuration;
    bool oneWrite;  // a single queued write, else a Read Operation of 64 calls
    bool finished;  // as StopAndCollect reports it
};

// A time-out ends the wait at its limit; the worker then stops after the call
// under way instead of finishing its batch, and a job whose last call ends
// during that stop is judged by its own outcome.
TEST(SessionPump, TimeOutStopsAfterTheCallUnderWayAndKeepsAFinishedJobsOutcome) {
    const TimeoutRow rows[] = {
        {"out of time mid-batch", 20ms, false, false},
        {"the last call ends during the stop", 300ms, true, true},
    };
    constexpr auto kTimeout = 100ms;
    for (const TimeoutRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakeGenerator fake;
        DeviceSettings settings(fake);
        SessionPump pump(settings);
        pump.Start();
        ASSERT_TRUE(pump.RunReadOperation(5s).Succeeded());
        fake.SetCallDuration(row.callDuration);
        const auto start = std::chrono::steady_clock::now();
        const JobOutcome waited =
            row.oneWrite ? pump.RunJob([](DeviceSettings& s) { s.SetParameter(0, Parameter::Phase, 90.0); }, kTimeout)
                         : pump.RunReadOperation(kTimeout);
        EXPECT_FALSE(waited.finished);
        const JobOutcome outcome = pump.StopAndCollect();
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(outcome.finished, row.finished);
        EXPECT_EQ(outcome.Succeeded(), row.finished);
        EXPECT_LT(took, kTimeout + row.callDuration + 300ms);
    }
}

TEST(SessionPump, WaitWithoutARunningWorkerReturnsUnfinished) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    SessionPump pump(settings);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(pump.WaitUntilIdle(5s).finished);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(SessionPump, StopsPromptlyAndCanStartAgain) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    SessionPump pump(settings, 1h);  // a period that must not delay the stop
    pump.Start();
    pump.Start();  // no second worker
    ASSERT_TRUE(pump.WaitUntilIdle(5s).finished);
    const auto start = std::chrono::steady_clock::now();
    pump.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    pump.Stop();  // idempotent
    pump.Start();
    EXPECT_TRUE(pump.WaitUntilIdle(5s).finished);  // a woken step, not the period
}

// Two producers and a consumer: nothing lost, nothing duplicated (run under TSan).
TEST(CommandQueueThreads, ConcurrentProducersAndConsumer) {
    CommandQueue q;
    constexpr int kPerProducer = 2000;
    std::atomic<int> taken{0};
    std::atomic<bool> done{false};
    std::thread consumer([&] {
        while (!done || !q.Empty())
            if (q.Dequeue().code != code::kNone) ++taken;
    });
    auto produce = [&](std::int32_t channel) {
        // Distinct codes per item so nothing coalesces.
        for (int i = 0; i < kPerProducer; ++i) q.Enqueue({static_cast<std::uint16_t>(0x5000 + i), channel});
    };
    std::thread a(produce, 0), b(produce, 1);
    a.join();
    b.join();
    done = true;
    consumer.join();
    EXPECT_EQ(taken, 2 * kPerProducer);
}

// The UI thread edits and reads while the worker stores read-back values and
// drains writes (ThreadSanitizer must stay silent).
TEST(SessionPump, UiEditsAndReadsWhileTheWorkerRuns) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    RecordingObserver observer;
    settings.SetObserver(&observer);
    SessionPump pump(settings, 1ms);
    pump.Start();
    std::atomic<bool> stop{false};
    std::thread display([&] {  // the display thread reads the preview
        double sum = 0;
        while (!stop)
            sum += settings.ReadRecord(0, [](const ChannelRecord& r) { return r.previewSamples[10] + r.previewUpper; });
        EXPECT_TRUE(std::isfinite(sum));
    });
    for (int round = 0; round < 5; ++round) {
        settings.StartReadOperation();
        pump.Wake();
        for (int i = 0; i < 200; ++i) {
            settings.SetParameter(i % 2, Parameter::Amplitude, 1.0 + i % 7);
            settings.SetZoomTool(ZoomTool::HorizontalIn);
            (void)settings.CopyLimits(1);
            (void)settings.Record(0).waveType;
        }
        EXPECT_TRUE(pump.WaitUntilIdle(5s).finished);
    }
    stop = true;
    display.join();
    pump.Stop();
    EXPECT_TRUE(settings.IsIdle());
}

}  // namespace
}  // namespace zorbel::test
