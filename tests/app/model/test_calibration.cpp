// The worker's calibration commands on a scripted generator and oscilloscope:
// the oscilloscope's value texts, its set-up, the measurement by kind, the
// guards, and a settling wait that a closing program does not sit out.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fake_oscilloscope.h"
#include "session_fixture.h"
#include "zorbel/model/calibration_measurement.h"

namespace zorbel::test {
namespace {

using namespace std::chrono_literals;
using Names = std::vector<std::string>;

struct TextCase {
    const char* text;
    double volts;
    double hertz;
};

TEST(CalibrationTexts, VoltageAndFrequencyFollowTheUnitWithTheirFallbacks) {
    DeviceSettings library;  // the program's own number rules
    const NumberText number = [&](std::string_view t) { return library.ParseNumberText(t); };
    const TextCase cases[] = {
        {"1.234mV", 0.001234, 0.0},
        {"2.50V", 2.5, 0.0},
        {"-40.0MV", -0.04, 0.0},
        {"12.5kHz", 0.2, 12500.0},
        {"12.5Hz", 0.2, 12.5},
        {"1.5MHZ", 0.2, 1.5e6},
        {"2.00kh?", 0.2, 2000.0},
        {"", 0.2, 0.0},
        {"mV", 0.2, 0.0},
        {"Hz", 0.2, 0.0},
        {"1Hz", 0.2, 0.0},
        {"2.5", 0.2, 0.0},
        {"?", 0.2, 0.0},
        {"abcV", 0.0, 0.0},
        {"1.0E+003V", 1000.0, 0.0},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(MeasuredVoltage(c.text, number), c.volts);
        EXPECT_DOUBLE_EQ(MeasuredFrequency(c.text, number), c.hertz);
    }
}

class CalibrationWorkerTest : public SessionTest {
protected:
    CalibrationWorkerTest() {
        settings.SetOscilloscope(scope);
        settings.SetCalibrationSettleTime(0ms);
    }
    void Run(std::int32_t channelOrStep, std::uint16_t code) {
        settings.SetJobFlag(Job::Calibration);
        settings.SetCalibrationRunState(CalibrationRun::Running);
        if (code == code::kCalStart)
            settings.QueueCalibrationStart(static_cast<std::uint16_t>(channelOrStep));
        else if (code == code::kCalSetStep)
            settings.QueueCalibrationStep(static_cast<std::uint16_t>(channelOrStep));
        else
            settings.QueueCalibrationCommand(code);
        settings.ExecuteCommand(settings.DequeueCommand());
    }
    FakeOscilloscope scope;
};

TEST_F(CalibrationWorkerTest, StartSelectsTheChannelAndSetsTheOscilloscopeUpBeforeTheStepCount) {
    GoOnline();
    Run(1, code::kCalStart);
    EXPECT_EQ(settings.CurrentChannel(), 1);
    ASSERT_EQ(fake.Names(), Names{"CalSelect"});
    EXPECT_EQ(fake.Calls()[0].channel, 1);
    Names setUp = {"Reset", "ReadInf", "ReadKeyInf", "ReadAll"};
    for (int i = 1; i <= 8; ++i) setUp.push_back("Item " + std::to_string(i) + " 0 " + std::to_string(i));
    setUp.insert(setUp.end(), {"Key VERT-CH1-PROBE 0", "WriteAll"});
    EXPECT_EQ(scope.Calls(), setUp);
    EXPECT_EQ(settings.PendingCommands(), (std::vector<InstrumentCommand>{{code::kCalGetStepCount, -1, 0, 0.0}}));
}

struct MeasureCase {
    const char* name;
    std::int16_t kind;
    Names reads;   // oscilloscope items read
    double volts;  // measured and written back
    double hertz;
};

TEST_F(CalibrationWorkerTest, MeasurementReadsTheItemsOfTheStepsKindAndWritesTheVoltageBack) {
    GoOnline();
    scope.SetItemText(kMeanItem, "1.5mV");
    scope.SetItemText(kPeakToPeakItem, "1.5V");
    scope.SetItemText(kFrequencyItem, "1.5kHz");
    const MeasureCase cases[] = {
        {"mean", kKindMean, {"Value 3 0"}, 0.0015, 0.0},
        {"peak to peak", kKindPeakToPeak, {"Value 4 0", "Value 1 0"}, 1.5, 1500.0},
        {"unknown kind: fallbacks", 7, {}, 0.2, 0.0},
    };
    for (const MeasureCase& c : cases) {
        SCOPED_TRACE(c.name);
        fake.ClearCalls();
        scope.ClearCalls();
        fake.calKinds = {c.kind};
        Run(0, code::kCalSetStep);
        EXPECT_EQ(settings.Calibration().measurementKind, c.kind);
        Run(0, code::kCalMeasure);
        EXPECT_EQ(scope.Calls(), c.reads);
        EXPECT_DOUBLE_EQ(settings.Calibration().measuredVoltage, c.volts);
        EXPECT_DOUBLE_EQ(settings.Calibration().measuredFrequency, c.hertz);
        ASSERT_EQ(fake.Names(), (Names{"CalSetStep", "CalValue"}));
        EXPECT_EQ(fake.Calls()[0].a, 1.0);  // the generator counts steps from 1
        EXPECT_DOUBLE_EQ(fake.Calls()[1].a, c.volts);
    }
}

TEST_F(CalibrationWorkerTest, GeneratorCallsNeedAnOpenSessionTheOscilloscopeDoesNot) {
    GoOnline();
    fake.calReference = {2.5, 1000.0};
    Run(0, code::kCalGetReference);
    EXPECT_EQ(settings.Calibration().referenceVoltage, 2.5);
    EXPECT_EQ(settings.Calibration().referenceFrequency, 1000.0);

    settings.SelectDemo();
    fake.ClearCalls();
    scope.ClearCalls();
    fake.calReference = {9.0, 9.0};
    Run(0, code::kCalGetReference);
    Run(0, code::kCalStop);  // keep the data: would store
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_EQ(scope.Calls(), Names{"Autoset"});
    EXPECT_EQ(settings.Calibration().referenceVoltage, 2.5);  // nothing read, nothing stored
    EXPECT_EQ(settings.LastStatus(), GeneratorStatus::Ok);

    // Left over after the run has stopped: refused unsent, even outside the job.
    settings.ClearJobFlag(Job::Calibration);
    settings.SetCalibrationRunState(CalibrationRun::Idle);
    settings.QueueCalibrationCommand(code::kCalGetReference);
    EXPECT_EQ(settings.ExecuteCommand(settings.DequeueCommand()), CommandResult(GeneratorStatus::Rejected));
    EXPECT_EQ(scope.Calls(), Names{"Autoset"});
}

TEST_F(CalibrationWorkerTest, AStopCutsTheSettlingWaitShortAndNothingIsWrittenBack) {
    GoOnline();
    settings.SetCalibrationSettleTime(kCalibrationSettleTime);
    settings.SetJobFlag(Job::Calibration);
    settings.SetCalibrationRunState(CalibrationRun::Running);
    std::stop_source stop;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(50ms);
        stop.request_stop();
    });
    const auto begin = std::chrono::steady_clock::now();
    settings.ExecuteCommand({code::kCalMeasure, kWholeInstrument, 0, 0.0}, stop.get_token());
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 2s);
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_TRUE(scope.Calls().empty());
}

}  // namespace
}  // namespace zorbel::test
