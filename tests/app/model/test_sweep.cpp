// The sweep: the values a plan writes and why a plan is refused, the run on
// the scripted generator (each step one write, the stop choice, an offline
// session ending it) and the status bar's value text.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <thread>
#include <tuple>

#include "session_fixture.h"
#include "zorbel/model/sweep.h"

namespace zorbel::test {
namespace {

SweepPlan Plan(double start, double stop, std::uint32_t count, double step = 0.0) {
    SweepPlan plan;
    plan.start = start;
    plan.stop = stop;
    plan.count = count;
    plan.step = step;
    plan.dwell = kMinimumSweepDwell;
    return plan;
}
SweepPlan Log(SweepPlan plan) {
    plan.scale = SweepScale::Logarithmic;
    return plan;
}
SweepPlan UpDown(SweepPlan plan, std::uint32_t repeat) {
    plan.upDown = true;
    plan.repeat = repeat;
    return plan;
}
SweepPlan Repeat(SweepPlan plan, std::uint32_t repeat) {
    plan.repeat = repeat;
    return plan;
}

TEST(SweepSteps, ValuesInWritingOrderOrTheReasonForRefusal) {
    SweepPlan offset = Plan(0, 1, 2);
    offset.parameter = Parameter::Offset;
    SweepPlan shortDwell = Plan(1, 2, 2);
    shortDwell.dwell = std::chrono::milliseconds(9);
    SweepPlan amplitude = Plan(2, 0.5, 4);
    amplitude.parameter = Parameter::Amplitude;
    struct Row {
        const char* what;
        SweepPlan plan;
        std::vector<double> values;
        SweepProblem problem = SweepProblem::None;
    };
    const std::vector<Row> rows = {
        {"linear, five values", Plan(100, 500, 5), {100, 200, 300, 400, 500}},
        {"down, amplitude", amplitude, {2, 1.5, 1, 0.5}},
        {"step not dividing the way: a short last step", Plan(100, 500, 0, 150), {100, 250, 400, 500}},
        {"step towards stop whatever its sign", Plan(500, 100, 0, 150), {500, 350, 200, 100}},
        {"step landing on stop despite rounding",
         Plan(1, 2, 0, 0.1),
         {1, 1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.8, 1.9, 2}},
        {"logarithmic, four values", Log(Plan(10, 10000, 4)), {10, 100, 1000, 10000}},
        {"logarithmic ratio with a short last step", Log(Plan(1, 500, 0, 10)), {1, 10, 100, 500}},
        {"logarithmic ratio below 1 goes the same way", Log(Plan(1, 500, 0, 0.1)), {1, 10, 100, 500}},
        {"logarithmic values as sent, six digits", Log(Plan(1, 2, 3)), {1, 1.41421, 2}},
        {"repeated: back to start each pass", Repeat(Plan(1, 2, 2), 2), {1, 2, 1, 2}},
        {"up and down, twice: no value twice in a row", UpDown(Plan(1, 3, 3), 2), {1, 2, 3, 2, 1, 2, 3, 2, 1}},
        {"up and down over two values", UpDown(Plan(1, 2, 2), 1), {1, 2, 1}},
        {"ends near the largest number: no infinite span", Plan(-1.7e308, 1.7e308, 3), {-1.7e308, 0, 1.7e308}},
        {"the same by a step", Plan(-1.7e308, 1.7e308, 0, 1.7e308), {-1.7e308, 0, 1.7e308}},
        {"a step far beyond the way: start and stop", Plan(0, 2, 0, 2e45), {0, 2}},
        {"offset is not swept", offset, {}, SweepProblem::NotSwept},
        {"one value", Plan(1, 2, 1), {}, SweepProblem::TooFewValues},
        {"count and step", Plan(1, 2, 3, 0.5), {}, SweepProblem::CountAndStep},
        {"neither", Plan(1, 2, 0), {}, SweepProblem::NoCountOrStep},
        {"same ends as sent", Plan(1, 1.0000001, 2), {}, SweepProblem::SameEnds},
        {"logarithmic from 0", Log(Plan(0, 10, 3)), {}, SweepProblem::LogNotPositive},
        {"ratio 1", Log(Plan(1, 10, 0, 1)), {}, SweepProblem::StepNotPositive},
        {"too many steps", Plan(1, 1000, 0, 0.001), {}, SweepProblem::TooManyValues},
        {"dwell below 10 ms", shortDwell, {}, SweepProblem::DwellOutOfRange},
        {"not a number", Plan(1, std::nan(""), 2), {}, SweepProblem::NotFinite},
        {"never", Repeat(Plan(1, 2, 2), 0), {}, SweepProblem::RepeatOutOfRange},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SweepProblem problem = SweepProblem::None;
        const auto steps = SweepSteps::Of(row.plan, &problem);
        EXPECT_EQ(problem, row.problem);
        ASSERT_EQ(steps.has_value(), row.problem == SweepProblem::None);
        if (steps) {
            EXPECT_EQ(steps->All(), row.values);
        }
    }
}

TEST(SweepSteps, ValueTextHasAnSiPrefix) {
    const std::vector<std::tuple<Parameter, double, std::string>> rows = {
        {Parameter::Frequency, 1200, "1.2 kHz"},
        {Parameter::Frequency, 2e7, "20 MHz"},
        {Parameter::Frequency, 999.9999, "1 kHz"},
        {Parameter::Frequency, 0.5, "500 mHz"},
        {Parameter::Frequency, 0, "0 Hz"},
        {Parameter::Amplitude, 0.05, "50 mV"},
        {Parameter::Amplitude, 12.3457, "12.3457 V"},
        {Parameter::Frequency, 1e-6, "1 \u00b5Hz"},
    };
    for (const auto& [p, value, text] : rows) EXPECT_EQ(SweepValueText(p, value), text) << value;
}

// Steps the worker by hand until the sweep has ended, as its timer would.
void RunUntilEnded(DeviceSettings& settings, const std::function<void(std::uint64_t)>& afterStep = {}) {
    const auto run = settings.Sweep();
    for (int i = 0; i < 1000 && run->Now().state == SweepState::Running; ++i) {
        const auto written = run->Now().written;
        settings.ServiceQueue();
        if (afterStep && run->Now().written != written) afterStep(run->Now().written);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::vector<double> FrequencyWrites(const FakeGenerator& fake) {
    std::vector<double> values;
    for (const Call& c : fake.Calls())
        if (c.name == "Write" && c.parameter == static_cast<int>(Index(Parameter::Frequency))) values.push_back(c.a);
    return values;
}

TEST_F(SessionTest, SweepWritesEachStepOnceAndEndsAsTheStopChoiceSays) {
    struct Row {
        const char* what;
        std::optional<std::uint64_t> stopAfter;  // steps written
        SweepStopChoice choice = SweepStopChoice::KeepLast;
        std::vector<double> writes;
        SweepState end;
        double recordAfter;
    };
    // The fake's channel 1 starts at 2000 Hz.
    const std::vector<Row> rows = {
        {"to its end", std::nullopt, {}, {100, 200, 300, 400}, SweepState::Completed, 400},
        {"stopped, keeping the last value", 2, SweepStopChoice::KeepLast, {100, 200}, SweepState::Stopped, 200},
        {"stopped, back to the original",
         2,
         SweepStopChoice::RestoreOriginal,
         {100, 200, 2000},
         SweepState::Stopped,
         2000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        GoOnline();
        ASSERT_TRUE(settings.StartSweep(0, Plan(100, 400, 4), *SweepSteps::Of(Plan(100, 400, 4))));
        EXPECT_FALSE(settings.StartSweep(0, Plan(100, 400, 4), *SweepSteps::Of(Plan(100, 400, 4))));
        EXPECT_FALSE(settings.IsIdle());
        RunUntilEnded(settings, [&](std::uint64_t written) {
            if (row.stopAfter == written) settings.Sweep()->RequestStop(row.choice);
        });
        EXPECT_EQ(settings.Sweep()->Now().state, row.end);
        EXPECT_EQ(FrequencyWrites(fake), row.writes);
        EXPECT_EQ(settings.Record(0).Value(Parameter::Frequency), row.recordAfter);
        EXPECT_TRUE(settings.IsIdle());
        // The dwell runs from each confirmation to the next write.
        const auto times = settings.Sweep()->Times();
        for (std::size_t i = 1; i < times.size(); ++i)
            EXPECT_GE(times[i].sent - times[i - 1].confirmed, kMinimumSweepDwell);
        settings.SetParameter(0, Parameter::Frequency, 2000);
        settings.ServiceQueue();
    }
}

TEST_F(SessionTest, SweepNeedsAnOnlineSessionAndEndsWhenAWriteFails) {
    EXPECT_FALSE(settings.StartSweep(0, Plan(1, 2, 2), *SweepSteps::Of(Plan(1, 2, 2))));  // demo
    GoOnline();
    ASSERT_TRUE(settings.StartSweep(0, Plan(100, 400, 4), *SweepSteps::Of(Plan(100, 400, 4))));
    settings.ServiceQueue();
    fake.FailCallFromNow(0, GeneratorStatus::Failed);
    RunUntilEnded(settings);
    EXPECT_EQ(settings.Sweep()->Now().state, SweepState::Failed);
    EXPECT_EQ(settings.Sweep()->Now().written, 1u);
    EXPECT_EQ(FrequencyWrites(fake).size(), 2u);  // the one that failed ends it
}

}  // namespace
}  // namespace zorbel::test
