// The calibration run without a window: the dialog's reactions to the
// worker's notices on a scripted generator and oscilloscope, stepped on this
// thread (the observer carries each reaction out at once, questions
// included, as the dialog does on the interface thread), and each step's
// state and tally after a verdict.
#include <gtest/gtest.h>

#include <deque>

#include "fake_oscilloscope.h"
#include "session_fixture.h"
#include "zorbel/dialogs/calibration_sequence.h"
#include "zorbel/model/calibration_measurement.h"

namespace zorbel::test {
namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

class Forwarder final : public SessionObserver {
public:
    void CalibrationStep(std::uint16_t code, std::stop_token) override {
        CarryOut(*settings, sequence->OnStep(code), ask);
    }
    CalibrationSequence* sequence = nullptr;
    DeviceSettings* settings = nullptr;
    std::function<bool(const std::string&)> ask;
};

class SequenceRun : public SessionTest {
protected:
    void SetUp() override {
        settings.SetOscilloscope(scope);
        settings.SetCalibrationSettleTime(0ms);
        scope.SetItemText(kMeanItem, "1.5V");
        scope.SetItemText(kPeakToPeakItem, "1.5V");
        scope.SetItemText(kFrequencyItem, "1.5kHz");
        GoOnline();
        forwarder.sequence = &sequence;
        forwarder.settings = &settings;
        forwarder.ask = ask;
        settings.SetObserver(&forwarder);
        settings.SetJobFlag(Job::Calibration);
    }
    // "开始", then the worker until the queue is empty.
    void Run() {
        sequence.Start();
        for (int i = 0; i < 10 && !settings.PendingCommands().empty(); ++i) settings.ServiceQueue();
        ASSERT_TRUE(settings.PendingCommands().empty());
    }
    std::vector<int> StepsSent() const {
        std::vector<int> steps;
        for (const Call& c : fake.Calls())
            if (c.name == "CalSetStep") steps.push_back(static_cast<int>(c.a));
        return steps;
    }
    Texts Results() const {
        Texts results;
        for (const CalibrationRow& row : sequence.Rows()) results.push_back(row[6]);
        return results;
    }

    FakeOscilloscope scope;
    CalibrationChoices choices;
    std::deque<bool> answers;  // Yes/No in turn; Yes once used up
    Texts questions;
    std::function<bool(const std::string&)> ask = [this](const std::string& question) {
        questions.push_back(question);
        const bool yes = answers.empty() || answers.front();
        if (!answers.empty()) answers.pop_front();
        return yes;
    };
    CalibrationSequence sequence{settings, choices};
    Forwarder forwarder;
};

std::string EndQuestion(int total, int first, int last) {
    return "已完成总步骤数" + std::to_string(total) + "中的步骤" + std::to_string(first) + "到步骤" +
           std::to_string(last) + ",是否更新仪器中的校准数据";
}
std::string LimitQuestion(int step, int limit) {
    return "校准过程中第" + std::to_string(step) + "步骤碰到错误且重复次数达到上限" + std::to_string(limit) +
           ",是否保存之前校准的数据";
}

struct RunCase {
    const char* name;
    std::vector<std::int16_t> kinds;  // one per step of the generator
    std::deque<std::int16_t> verdicts;
    CalibrationChoices choices;
    std::deque<bool> answers;
    std::vector<int> stepsSent;  // one-based, as the generator receives them
    Texts results;               // column 6 of each row
    Texts questions;
    std::size_t stores;  // the generator told to keep the data
    DeviceSettings::CalibrationEnd outcome = DeviceSettings::CalibrationEnd::Completed;
};

TEST_F(SequenceRun, EveryVerdictBranchRetriedOrNotEndsWithItsQuestion) {
    const RunCase cases[] = {
        {"all pass",
         {1, 2, 2},
         {0, 0, 0},
         {},
         {true},
         {1, 2, 3},
         {"成(1)败(0)", "成(1)败(0)", "成(1)败(0)"},
         {EndQuestion(3, 1, 3)},
         1},
        {"a failure, then a pass of the same step",
         {2, 2},
         {0, -1, 0},
         {},
         {true},
         {1, 2, 2},
         {"成(1)败(0)", "成(1)败(1)"},
         {EndQuestion(2, 1, 2)},
         1},
        {"the previous step needed, then both pass",
         {2, 2},
         {0, -2, 0, 0},
         {},
         {false},
         {1, 2, 1, 2},
         {"成(2)败(0)", "成(1)败(1)"},
         {EndQuestion(2, 1, 2)},
         0},
        {"the previous step needed again while retrying",
         {2, 2},
         {0, -2, 0, -2, 0, 0},
         {},
         {true},
         {1, 2, 1, 2, 1, 2},
         {"成(3)败(0)", "成(1)败(2)"},
         {EndQuestion(2, 1, 2)},
         1},
        {"the previous step itself needs its previous one",
         {2, 2},
         {0, -2, -2, 0, 0},
         {},
         {true},
         {1, 2, 1, 1, 2},
         {"成(2)败(1)", "成(1)败(1)"},
         {EndQuestion(2, 1, 2)},
         1},
        {"repeat limit 1 ends at the first failure",
         {2, 2},
         {0, -1},
         {.repeatLimit = 1},
         {false},
         {1, 2},
         {"成(1)败(0)", "成(0)败(1)"},
         {LimitQuestion(2, 1)},
         0,
         DeviceSettings::CalibrationEnd::StoppedShort},
        {"the limit reached while the previous step keeps failing",
         {2, 2},
         {0, -2, -2, -2},
         {.repeatLimit = 2},
         {true},
         {1, 2, 1, 1},
         {"成(1)败(2)", "成(0)败(1)"},
         {LimitQuestion(1, 2)},
         1,
         DeviceSettings::CalibrationEnd::StoppedShort},
        {"-2 on the run's first step fails it and runs it again",
         {2, 2, 2},
         {-2, 0, 0},
         {.startStep = 1},
         {true},
         {2, 2, 3},
         {"", "成(1)败(1)", "成(1)败(0)"},
         {EndQuestion(3, 2, 3)},
         1},
        {"a step without measurement passes at once",
         {0, 2},
         {0},
         {},
         {true},
         {1, 2},
         {"成(1)败(0)", "成(1)败(0)"},
         {EndQuestion(2, 1, 2)},
         1},
        {"a step without measurement run again as the previous one",
         {0, 2},
         {-2, 0},
         {},
         {true},
         {1, 2, 1, 2},
         {"成(2)败(0)", "成(1)败(1)"},
         {EndQuestion(2, 1, 2)},
         1},
        {"a start beyond the total restarts at step 1",
         {2, 2},
         {0, 0},
         {.startStep = 4, .endStep = 9},
         {true},
         {1, 2},
         {"成(1)败(0)", "成(1)败(0)"},
         {EndQuestion(2, 1, 2)},
         1},
        {"end step 0 runs to the last step",
         {2, 2, 2},
         {0, 0},
         {.startStep = 1, .endStep = 0},
         {true},
         {2, 3},
         {"", "成(1)败(0)", "成(1)败(0)"},
         {EndQuestion(3, 2, 3)},
         1},
        {"an end beyond the total stops at the last step",
         {2, 2},
         {0, 0},
         {.endStep = 7},
         {true},
         {1, 2},
         {"成(1)败(0)", "成(1)败(0)"},
         {EndQuestion(2, 1, 2)},
         1},
        {"a generator without steps ends at once", {}, {}, {}, {false}, {}, {}, {EndQuestion(0, 1, 0)}, 0},
    };
    EXPECT_EQ(sequence.Outcome(), DeviceSettings::CalibrationEnd::NotRun);  // before any run
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.name);
        fake.ClearCalls();
        questions.clear();
        fake.calStepTotal = static_cast<std::int16_t>(c.kinds.size());
        fake.calKinds = c.kinds;
        fake.calVerdicts = c.verdicts;
        choices = c.choices;
        answers = c.answers;
        Run();
        EXPECT_EQ(StepsSent(), c.stepsSent);
        EXPECT_EQ(Results(), c.results);
        EXPECT_EQ(questions, c.questions);
        EXPECT_EQ(fake.Count("CalStore"), c.stores);
        EXPECT_EQ(sequence.Outcome(), c.outcome);
        EXPECT_FALSE(sequence.Running());
        EXPECT_EQ(settings.CalibrationRunState(), CalibrationRun::Idle);
    }
}

TEST_F(SequenceRun, StopAnsweredYesDiscardsAndNoKeepsWhateverIsQueuedBehind) {
    fake.calStepTotal = 2;
    fake.calKinds = {2, 2};
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "Yes: discard" : "No: keep");
        fake.ClearCalls();
        fake.calVerdicts = {5};  // a verdict the procedure does not know: the run waits
        Run();
        EXPECT_TRUE(sequence.Running());
        EXPECT_EQ(settings.CalibrationRunState(), CalibrationRun::Running);
        answers = {yes};
        questions.clear();
        settings.QueueCalibrationStep(1);  // as if a reaction had queued more
        CarryOut(settings, sequence.Stop(), ask);
        EXPECT_EQ(settings.CalibrationRunState(), CalibrationRun::Stopping);
        EXPECT_EQ(questions, Texts{"需要强制退出校准,是否忽略仪器中已完成的数据"});
        settings.ServiceQueue();
        EXPECT_EQ(fake.Count("CalStore"), yes ? 0u : 1u);
        EXPECT_EQ(sequence.Outcome(), DeviceSettings::CalibrationEnd::StoppedShort);  // the user's stop
        EXPECT_FALSE(sequence.Running());
        EXPECT_EQ(settings.CalibrationRunState(), CalibrationRun::Idle);
    }
}

// Each verdict on the selected step (the current one, or the one before it
// while the current one waits for it), as states, tallies and what follows.
TEST_F(SessionTest, EachVerdictMovesTheStepsStatesAndTalliesAndSaysWhatFollows) {
    using S = StepState;
    using K = CalibrationNext::Kind;
    struct Event {
        int selected;
        std::int16_t verdict;
    };
    const struct {
        const char* what;
        std::vector<Event> events;
        std::vector<StepRecord> steps;
        K kind;
        CalibrationSend send;  // Send: the command; Ask: what Yes queues
    } rows[] = {
        {"a pass selects the next step",
         {{0, 0}},
         {{S::Passed, {1, 0}}, {S::Running, {}}, {}},
         K::Send,
         {code::kCalSetStep, 1}},
        {"a failure runs it again", {{0, -1}}, {{S::Retrying, {0, 1}}, {}, {}}, K::Send, {code::kCalSetStep, 0}},
        {"the second failure reaches the limit of 2",
         {{0, -1}, {0, -1}},
         {{S::Retrying, {0, 2}}, {}, {}},
         K::Ask,
         {code::kCalStop, 0}},
        {"a retried step that passes",
         {{0, -1}, {0, 0}},
         {{S::Passed, {1, 1}}, {S::Running, {}}, {}},
         K::Send,
         {code::kCalSetStep, 1}},
        {"the first step has no previous one: it fails",
         {{0, -2}},
         {{S::Retrying, {0, 1}}, {}, {}},
         K::Send,
         {code::kCalSetStep, 0}},
        {"a step that needs its previous one selects it",
         {{0, 0}, {1, -2}},
         {{S::Passed, {1, 0}}, {S::Retrying, {0, 1}}, {}},
         K::Send,
         {code::kCalSetStep, 0}},
        {"the previous step passes again: the current one runs again",
         {{0, 0}, {1, -2}, {0, 0}},
         {{S::Passed, {2, 0}}, {S::Retrying, {0, 1}}, {}},
         K::Send,
         {code::kCalSetStep, 1}},
        {"the previous step needs its own previous one: its failure",
         {{0, 0}, {1, -2}, {0, -2}},
         {{S::Passed, {1, 1}}, {S::Retrying, {0, 1}}, {}},
         K::Send,
         {code::kCalSetStep, 0}},
        {"a verdict the procedure does not know: nothing", {{0, 5}}, {{S::Running, {}}, {}, {}}, K::Nothing, {}},
        {"the last step passed: the end question",
         {{0, 0}, {1, 0}, {2, 0}},
         {{S::Passed, {1, 0}}, {S::Passed, {1, 0}}, {S::Passed, {1, 0}}},
         K::Ask,
         {code::kCalStop, 0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        CalibrationChoices choices{.repeatLimit = 2};
        CalibrationSequence sequence(settings, choices);
        settings.ModifyCalibration([](CalibrationValues& c) { c.stepTotal = 3; });
        sequence.OnStep(code::kCalGetStepCount);
        CalibrationNext next;
        for (const Event& event : row.events) {
            settings.ModifyCalibration([&](CalibrationValues& c) {
                c.currentStep = static_cast<std::uint16_t>(event.selected);
                c.stepState = event.verdict;
            });
            next = sequence.OnStep(code::kCalGetState);
        }
        EXPECT_EQ(sequence.Steps(), row.steps);
        EXPECT_EQ(next.kind, row.kind);
        EXPECT_EQ(row.kind == K::Ask ? next.ifYes : next.send, row.send);
    }
}

TEST(CalibrationChoicesTest, EditsAreTruncatedHeldTo16BitsAndDefaultsRestored) {
    CalibrationChoices c;
    c.channel = 1;
    c.SetStartFromText(3.9);
    c.SetEndFromText(7.99);
    c.SetRepeatLimitFromText(1e9);
    EXPECT_EQ(c.startStep, 2);
    EXPECT_EQ(c.endStep, 7);
    EXPECT_EQ(c.repeatLimit, 65535);
    c.SetStartFromText(0);  // not a number, or 0: the first step
    c.SetEndFromText(-4);
    EXPECT_EQ(c.startStep, 0);
    EXPECT_EQ(c.endStep, 0);
    c.RestoreDefaults();
    EXPECT_EQ(c.startStep, 0);
    EXPECT_EQ(c.endStep, 0);
    EXPECT_EQ(c.repeatLimit, 5);
    EXPECT_EQ(c.channel, 1);  // the channel is no default
}

}  // namespace
}  // namespace zorbel::test
