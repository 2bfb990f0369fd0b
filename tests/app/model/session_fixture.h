// A DeviceSettings on the scripted generator, stepped by hand (no worker).
#pragma once

#include <gtest/gtest.h>

#include "fake_generator.h"
#include "zorbel/model/device_settings.h"

namespace zorbel::test {

class SessionTest : public ::testing::Test {
protected:
    SessionTest() { settings.SetObserver(&observer); }

    // A Read Operation: limits, then settings; the link is up afterwards.
    void GoOnline() {
        settings.StartReadOperation();
        settings.ServiceQueue();
        settings.ServiceQueue();
        ASSERT_EQ(settings.JobFlags(), Job::None);
        ASSERT_EQ(settings.LinkState(), Link::Up);
        ASSERT_EQ(settings.LastStatus(), GeneratorStatus::Ok);
        fake.ClearCalls();
        observer.Clear();
    }

    // Latches the session: the next instrument call fails with `status`.
    void Latch(GeneratorStatus status = GeneratorStatus::Failed) {
        fake.FailCallFromNow(0, status);
        settings.SetOutputState(0, 1);
        settings.ServiceQueue();
        ASSERT_EQ(settings.LastStatus(), status);
        fake.ClearCalls();
    }

    FakeGenerator fake;
    DeviceSettings settings{fake};
    RecordingObserver observer;
};

}  // namespace zorbel::test
