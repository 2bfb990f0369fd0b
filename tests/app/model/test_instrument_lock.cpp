// One program at a time on an instrument: a session holds its link's lock
// from a job's first step until it is idle again; a session whose link
// another program holds waits, then reports the job busy; other links never
// wait. The "other program" is the test holding the same lock file.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "fake_generator.h"
#include "temp_dir.h"
#include "zorbel/model/instrument_lock.h"
#include "zorbel/model/session_pump.h"

namespace zorbel::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kAddress = 0x7F0A0B0C;  // never contacted: the generator is a fake

std::string LockPath(const TempDir& dir, std::uint16_t type, std::uint32_t address) {
    return dir.File(InstrumentLockName(type, address));
}

TEST(InstrumentLock, HeldFromTheJobsFirstStepUntilTheSessionIsIdle) {
    TempDir dir;
    FakeGenerator fake;
    DeviceSettings settings(fake);
    settings.SetInstrumentLockFolder(dir.Path());
    settings.SetConnection(kConnectionLan, kAddress);
    const std::string path = LockPath(dir, kConnectionLan, kAddress);
    InstrumentLock other;

    settings.ServiceQueue();  // idle: nothing held
    ASSERT_EQ(other.TryAcquire(path), InstrumentLock::Attempt::Held);
    other.Release();

    settings.StartReadOperation();
    settings.ServiceQueue();  // the limits batch; the settings batch is still to come
    EXPECT_EQ(other.TryAcquire(path), InstrumentLock::Attempt::Busy);
    settings.ServiceQueue();
    ASSERT_TRUE(settings.IsIdle());
    EXPECT_EQ(other.TryAcquire(path), InstrumentLock::Attempt::Held);
    other.Release();

    // A setting written while online is instrument work as well.
    settings.SetParameter(0, Parameter::Frequency, 2500.0);
    settings.ServiceQueue();
    EXPECT_EQ(fake.Count("Write"), 1u);
    EXPECT_EQ(other.TryAcquire(path), InstrumentLock::Attempt::Held);
}

struct LockRow {
    const char* name;
    std::uint16_t heldType;  // the link the other program holds
    std::uint32_t heldAddress;
    std::chrono::milliseconds holdFor;  // then it lets go; 1 h: for the whole test
    std::chrono::milliseconds wait;     // the session's bound for waiting
    std::chrono::milliseconds timeout;  // the job's time-out
    bool busy;
};

TEST(InstrumentLock, ASecondProgramOnTheLinkWaitsThenIsBusyOtherLinksNeverWait) {
    const LockRow rows[] = {
        {"held throughout: busy after the wait", kConnectionLan, kAddress, 1h, 300ms, 5s, true},
        {"freed during the wait: the job runs then", kConnectionLan, kAddress, 300ms, 5s, 5s, false},
        {"the wait does not count against the time-out", kConnectionLan, kAddress, 300ms, 5s, 100ms, false},
        {"another LAN address", kConnectionLan, kAddress + 1, 1h, 5s, 5s, false},
        {"the USB link", kConnectionUsb, kAddress, 1h, 5s, 5s, false},
    };
    for (const LockRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        InstrumentLock other;
        ASSERT_EQ(other.TryAcquire(LockPath(dir, row.heldType, row.heldAddress)), InstrumentLock::Attempt::Held);
        // From before the hold's clock starts: the job cannot end before the lock is freed.
        const auto start = Clock::now();
        std::jthread letGo([&](std::stop_token stop) {
            std::mutex m;
            std::condition_variable_any cv;
            std::unique_lock lock(m);
            cv.wait_for(lock, stop, row.holdFor, [] { return false; });
            other.Release();
        });

        FakeGenerator fake;
        DeviceSettings settings(fake);
        settings.SetInstrumentLockFolder(dir.Path());
        settings.SetInstrumentWait(row.wait);
        settings.SetConnection(kConnectionLan, kAddress);
        SessionPump pump(settings);
        pump.Start();
        const JobOutcome outcome = pump.RunWriteOperation(row.timeout);
        const auto took = Clock::now() - start;

        EXPECT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.busy, row.busy);
        EXPECT_EQ(outcome.Succeeded(), !row.busy);
        if (row.busy) {
            EXPECT_EQ(fake.Names(), std::vector<std::string>{"InitComType"}) << "a busy job sends nothing";
            EXPECT_EQ(settings.LinkState(), Link::Down);
            EXPECT_GE(took, row.wait);
        } else if (row.heldAddress == kAddress && row.heldType == kConnectionLan) {
            EXPECT_GE(took, row.holdFor) << "ran while the other program held the instrument";
        } else {
            EXPECT_LT(took, 2s);
        }
        pump.Stop();
    }
}

}  // namespace
}  // namespace zorbel::test
