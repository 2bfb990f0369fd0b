// ExecuteCommand and ServiceQueue on the scripted generator: batches, the
// latch, the guards, read-back storage, sync refresh, demo and absence.
#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "session_fixture.h"
#include "test_names.h"

namespace zorbel::test {
namespace {

using Names = std::vector<std::string>;

Names WriteBatchNames() {
    Names n;
    for (int ch = 0; ch < 2; ++ch) {
        n.insert(n.end(), {"WriteOnOff", "WriteWaveType"});
        n.insert(n.end(), kParameterCount, "Write");
    }
    n.push_back("Refresh");
    return n;
}

TEST_F(SessionTest, WriteOperationReadsLimitsThenWritesBothChannelsWithThoseLimits) {
    fake.ranges[1].Set(Parameter::Frequency, 5e6, 2e-6);
    settings.SetParameter(1, Parameter::Frequency, 1234.0);
    settings.StartWriteOperation();

    settings.ServiceQueue();  // setter write + read-limits batch
    EXPECT_EQ(fake.Count("Range"), 2 * kParameterCount);
    EXPECT_EQ(settings.JobFlags(), Job::WriteSettings);
    EXPECT_EQ(settings.CopyLimits(1).Maximum(Parameter::Frequency), 5e6);
    fake.ClearCalls();

    settings.ServiceQueue();  // write-settings batch
    EXPECT_EQ(fake.Names(), WriteBatchNames());
    const Call frequency1 = fake.Calls()[14 + Index(Parameter::Frequency)];
    EXPECT_EQ(frequency1.channel, 1);
    EXPECT_EQ(frequency1.a, 1234.0);
    EXPECT_EQ(frequency1.b, 5e6);  // the channel's own limits, as read
    EXPECT_EQ(frequency1.c, 2e-6);
    EXPECT_EQ(settings.JobFlags(), Job::None);
    EXPECT_EQ(settings.LinkState(), Link::Up);
    EXPECT_EQ(observer.UpdatePanelCount(), 1);
    EXPECT_EQ(observer.RefreshMasks(), std::vector<std::uint32_t>{0xFF});
    EXPECT_EQ(observer.Progress(), (std::vector<std::uint16_t>{5, 4}));
}

TEST_F(SessionTest, FailureAtThirdWriteConsumesTheBatchAndLatchesUntilTheNextJob) {
    settings.StartWriteOperation();
    settings.ServiceQueue();
    fake.ClearCalls();
    fake.FailCallFromNow(2, GeneratorStatus::Failed);  // ch0 amplitude
    settings.ServiceQueue();

    EXPECT_EQ(fake.Names(), (Names{"WriteOnOff", "WriteWaveType", "Write"}));
    EXPECT_TRUE(settings.PendingCommands().empty());
    EXPECT_EQ(observer.UpdatePanelCount(), 1);
    EXPECT_EQ(settings.LinkState(), Link::Down);
    EXPECT_EQ(settings.LastStatus(), GeneratorStatus::Failed);
    EXPECT_EQ(settings.JobFlags(), Job::None);

    fake.ClearCalls();
    settings.SetParameter(0, Parameter::Frequency, 5.0);
    settings.ServiceQueue();
    EXPECT_TRUE(fake.Calls().empty());

    settings.StartWriteOperation();  // re-establishes the link
    settings.ServiceQueue();
    settings.ServiceQueue();
    EXPECT_EQ(fake.Count("Write"), 2 * kParameterCount);
    EXPECT_EQ(settings.LinkState(), Link::Up);
}

TEST_F(SessionTest, ReadOperationStoresEverySettingAndRedoesThePreview) {
    GoOnline();
    const ChannelRecord r0 = settings.Record(0);
    EXPECT_EQ(r0.outputState, 1);
    EXPECT_EQ(r0.waveType, kWaveSquare);
    EXPECT_EQ(r0.values, fake.values[0]);
    EXPECT_EQ(settings.Record(1).outputState, 0);
    EXPECT_EQ(settings.Record(1).waveType, kWaveRamp);
    // Amplitude 1 V at offset 0.5 V: window and samples follow the read-back.
    EXPECT_DOUBLE_EQ(r0.previewUpper, 0.5 + 0.625);
    EXPECT_DOUBLE_EQ(r0.previewSamples[0], 1.0);
}

TEST_F(SessionTest, WaveTypeZeroReadBackIsNotStoredAndDoesNotLatch) {
    fake.waveType[0] = 0;
    GoOnline();
    EXPECT_EQ(settings.Record(0).waveType, kWaveSine);
    EXPECT_EQ(settings.Record(1).waveType, kWaveRamp);
    EXPECT_EQ(settings.LastStatus(), GeneratorStatus::Ok);
}

TEST_F(SessionTest, FailedRangeReadKeepsThePreviousPair) {
    fake.ranges[0].Set(Parameter::Amplitude, 1.0, 5.0);
    fake.FailCallFromNow(0, GeneratorStatus::Rejected);  // the library stored the maximum all the same
    settings.StartReadOperation();
    settings.ServiceQueue();
    EXPECT_EQ(settings.CopyLimits(0), LimitsBlock::BuiltIn());
    EXPECT_EQ(settings.LinkState(), Link::Down);
    EXPECT_EQ(fake.Calls().size(), 1u);  // the rest of the batch was not sent
}

struct OperationCancelCase {
    const char* what;
    bool write;                               // Write Operation, else Read Operation
    std::optional<std::size_t> cancelAtCall;  // instrument call that cancels; none: between the two batches
    std::size_t calls;                        // instrument calls made in all
    int panelUpdates;
    Job cancelled;
};

// Cancelled between two commands, the rest of the batch goes unsent, the
// session is offline (later writes stay unsent) as after a failure and says
// it was cancelled; the next Read Operation brings it back.
TEST_F(SessionTest, CancelledOperationStopsBetweenTwoCommandsAndLeavesTheSessionOffline) {
    const OperationCancelCase cases[] = {
        {"read, during the limits", false, 4, 5, 0, Job::ReadLimits | Job::ReadSettings},
        {"write, between limits and settings", true, std::nullopt, 20, 0, Job::WriteSettings},
        {"write, during the settings", true, 20 + 3, 24, 1, Job::WriteSettings},
    };
    for (const OperationCancelCase& c : cases) {
        SCOPED_TRACE(c.what);
        GoOnline();
        if (c.cancelAtCall) fake.OnCallFromNow(*c.cancelAtCall, [this] { settings.CancelJob(); });
        c.write ? settings.StartWriteOperation() : settings.StartReadOperation();
        settings.ServiceQueue();
        if (!c.cancelAtCall) settings.CancelJob();
        settings.ServiceQueue();

        EXPECT_EQ(fake.Calls().size(), c.calls);
        EXPECT_EQ(observer.UpdatePanelCount(), c.panelUpdates);
        EXPECT_EQ(settings.JobFlags(), Job::None);
        EXPECT_TRUE(settings.PendingCommands().empty());
        EXPECT_EQ(settings.LinkState(), Link::Down);
        const LastJob last = settings.LastEndedJob();
        EXPECT_EQ(last.end, JobEnd::Cancelled);
        EXPECT_EQ(last.job, c.cancelled);

        settings.SetParameter(0, Parameter::Amplitude, 1.0);
        settings.ServiceQueue();
        EXPECT_EQ(fake.Calls().size(), c.calls);  // offline: not sent
    }
}

// ---- ExecuteCommand's guards, in order -------------------------------------

enum class State { Offline, Online, Demo, Latched };

struct GuardCase {
    const char* what;
    State state;
    InstrumentCommand command;
    CommandResult result;
    Names calls;
};

class Guards : public SessionTest, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(Guards, DecideWhetherTheLibraryIsCalled) {
    const GuardCase c = GetParam();
    if (c.state != State::Offline) GoOnline();
    if (c.state == State::Demo) settings.SelectDemo();
    if (c.state == State::Latched) Latch(GeneratorStatus::Failed);
    const GeneratorStatus lastBefore = settings.LastStatus();
    EXPECT_EQ(settings.ExecuteCommand(c.command), c.result) << c.what;
    EXPECT_EQ(fake.Names(), c.calls) << c.what;
    if (c.calls.empty()) {
        EXPECT_EQ(settings.LastStatus(), lastBefore) << c.what;
    }
}

const std::uint16_t kAmp = WriteParameterCode(Parameter::Amplitude);

INSTANTIATE_TEST_SUITE_P(
    Table, Guards,
    ::testing::Values(
        GuardCase{"no link: nothing", State::Offline, {kAmp, 0, 0, 1.0}, GeneratorStatus::NoLink, {}},
        GuardCase{"demo", State::Demo, {kAmp, 0, 0, 1.0}, GeneratorStatus::Failed, {}},
        GuardCase{"demo, end marker",
                  State::Demo,
                  {code::kWriteSettingsEnd, -1},
                  CommandResult::OwnCode(code::kWriteSettingsEnd),
                  {}},
        GuardCase{"latched", State::Latched, {kAmp, 0, 0, 1.0}, GeneratorStatus::Failed, {}},
        GuardCase{"channel 2", State::Online, {kAmp, 2, 0, 1.0}, GeneratorStatus::Rejected, {}},
        GuardCase{"channel -1 on a channel command", State::Online, {kAmp, -1, 0, 1.0}, GeneratorStatus::Rejected, {}},
        GuardCase{"latched before channel", State::Latched, {kAmp, 7, 0, 1.0}, GeneratorStatus::Failed, {}},
        GuardCase{
            "refresh for the whole instrument", State::Online, {code::kRefresh, -1}, GeneratorStatus::Ok, {"Refresh"}},
        GuardCase{"wave type 0", State::Online, {code::kWriteWaveType, 0, 0}, GeneratorStatus::Rejected, {}},
        GuardCase{"wave type 8", State::Online, {code::kWriteWaveType, 1, 8}, GeneratorStatus::Rejected, {}},
        GuardCase{"wave type 6", State::Online, {code::kWriteWaveType, 1, 6}, GeneratorStatus::Ok, {"WriteWaveType"}},
        GuardCase{"read channel 3", State::Online, {code::kReadOnOff, 3}, GeneratorStatus::Rejected, {}},
        GuardCase{"download channel 2", State::Online, {code::kArbStartDownload, 2}, GeneratorStatus::Rejected, {}},
        GuardCase{"data channel 9", State::Online, {code::kArbData, 9}, GeneratorStatus::Rejected, {}},
        GuardCase{"unknown code", State::Online, {0x3005, 0}, GeneratorStatus::Rejected, {}}),
    [](const auto& info) { return CaseName(info.param.what); });

TEST_F(SessionTest, OnOffWriteSendsAnyNonZeroStateAsOn) {
    GoOnline();
    settings.ExecuteCommand({code::kWriteOnOff, 0, 0x10000});
    ASSERT_EQ(fake.Calls().size(), 1u);
    EXPECT_EQ(fake.Calls()[0].a, 1.0);
}

// ---- Normal operation ---------------------------------------------------------

TEST_F(SessionTest, SyncFlagRefreshesOncePerNonEmptyDrain) {
    GoOnline();
    settings.ToggleSyncMachine();
    settings.SetParameter(0, Parameter::Amplitude, 1.0);
    settings.SetParameter(1, Parameter::Amplitude, 1.0);
    settings.ServiceQueue();
    EXPECT_EQ(fake.Names(), (Names{"Write", "Write", "Refresh"}));
    settings.ServiceQueue();  // nothing queued: no refresh
    EXPECT_EQ(fake.Count("Refresh"), 1u);

    settings.ToggleSyncMachine();
    settings.SetParameter(0, Parameter::Amplitude, 2.0);
    settings.ServiceQueue();
    EXPECT_EQ(fake.Count("Refresh"), 1u);
}

TEST_F(SessionTest, DemoModeDrainsWithoutCallingTheInstrument) {
    GoOnline();
    settings.SelectDemo();
    settings.SetParameter(0, Parameter::Amplitude, 1.0);
    settings.ServiceQueue();
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_TRUE(settings.PendingCommands().empty());
    EXPECT_EQ(fake.ConnectCount(), 2u);  // only the two job starts of GoOnline
}

TEST_F(SessionTest, InstrumentGoneWhileIdleSwitchesToDemo) {
    GoOnline();
    fake.SetConnect(0);
    settings.ServiceQueue();
    EXPECT_EQ(settings.DemoFlag(), 1);
    EXPECT_EQ(settings.LastStatus(), GeneratorStatus::NoLink);
    // Back: said, and nothing is sent to it until the user reads it again.
    settings.SetParameter(0, Parameter::Amplitude, 1.5);
    fake.SetConnect(1);
    for (int i = 0; i < 30 && !settings.InstrumentBack(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        settings.ServiceQueue();
    }
    EXPECT_TRUE(settings.InstrumentBack());
    EXPECT_TRUE(settings.InstrumentLost());
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_EQ(settings.DemoFlag(), 1);
    settings.StartReadOperation();
    EXPECT_FALSE(settings.InstrumentBack());
}

TEST_F(SessionTest, JobBegunWhileThePresenceCheckAsksIsRefusedNotLeftRunning) {
    GoOnline();
    fake.SetConnect(0);
    fake.OnNextConnect([this] { settings.StartWriteOperation(); });
    settings.ServiceQueue();  // the idle presence check finds no instrument
    settings.ServiceQueue();  // the job finds it absent too, and ends
    EXPECT_EQ(settings.JobFlags(), Job::None);
    EXPECT_TRUE(settings.LastJobRefused());
}

TEST_F(SessionTest, JobIsDroppedWhenTheInstrumentDoesNotAnswerAtItsStart) {
    fake.SetConnect(0);
    settings.StartWriteOperation();
    settings.ServiceQueue();
    EXPECT_EQ(settings.JobFlags(), Job::None);
    EXPECT_TRUE(settings.LastJobRefused());
    EXPECT_TRUE(settings.PendingCommands().empty());
    EXPECT_TRUE(observer.Progress().empty());
    settings.ServiceQueue();
    EXPECT_EQ(settings.DemoFlag(), 1);
}

TEST_F(SessionTest, ConnectionChangeReachesTheLibraryOnTheWorkersNextStep) {
    settings.SetConnection(kConnectionLan, 0x7F000002);
    EXPECT_TRUE(fake.Calls().empty());
    settings.ServiceQueue();
    settings.ServiceQueue();
    ASSERT_EQ(fake.Count("InitComType"), 1u);
    EXPECT_EQ(fake.Calls()[0].a, 1.0);
    EXPECT_EQ(fake.Calls()[0].b, double(0x7F000002));
}

// ---- Calibration job ----------------------------------------------------------

TEST_F(SessionTest, CalibrationNotifiesEachCommandAndDropsThemOnceStopped) {
    GoOnline();
    settings.SetJobFlag(Job::Calibration);
    settings.SetCalibrationRunState(CalibrationRun::Running);
    settings.QueueCalibrationCommand(code::kCalGetStepCount);
    settings.QueueCalibrationStop(1);
    settings.QueueCalibrationCommand(code::kCalGetState);  // behind the stop: dropped
    settings.ServiceQueue();
    EXPECT_EQ(observer.CalibrationSteps(), (std::vector<std::uint16_t>{code::kCalGetStepCount, code::kCalStop}));
    EXPECT_EQ(settings.CalibrationRunState(), CalibrationRun::Idle);
    EXPECT_TRUE(settings.PendingCommands().empty());
}

TEST_F(SessionTest, CalibrationEndsWhenTheGeneratorIsGone) {
    GoOnline();
    settings.SetJobFlag(Job::Calibration);
    settings.SetCalibrationRunState(CalibrationRun::Running);
    fake.SetConnect(0);
    settings.ServiceQueue();
    EXPECT_EQ(settings.CalibrationRunState(), CalibrationRun::Idle);
}

TEST_F(SessionTest, CalibrationStopsAtAFailedCallAndDropsTheLink) {
    GoOnline();
    settings.SetJobFlag(Job::Calibration);
    settings.SetCalibrationRunState(CalibrationRun::Running);
    fake.FailCallFromNow(0, GeneratorStatus::Failed);
    settings.EnqueueCommand(code::kRefresh, kWholeInstrument);  // a library call during calibration
    settings.QueueCalibrationCommand(code::kCalGetState);
    settings.ServiceQueue();
    EXPECT_EQ(observer.CalibrationSteps(), std::vector<std::uint16_t>{code::kRefresh});
    EXPECT_EQ(settings.LinkState(), Link::Down);
    EXPECT_EQ(settings.PendingCommands().size(), 1u);  // taken at the next step
}

struct GeneratorLossCase {
    const char* name;
    std::uint16_t connect;                // what the connect check says
    std::optional<GeneratorStatus> call;  // how the step's call ends, if it runs
    bool gone;                            // what the dialog's link check reads
    bool refused;                         // the status bar's "No Device Found!"
};

// Over the LAN the connect check sees only the socket: there the generator's
// loss shows as a call without answer, and it stays gone at the following
// steps, whose connect check still succeeds.
TEST_F(SessionTest, CalibrationFindsTheGeneratorGoneByTheConnectCheckOrAnUnansweredCall) {
    const GeneratorLossCase cases[] = {
        {"connect check fails (USB)", 0, std::nullopt, true, true},
        {"no answer (LAN)", 1, GeneratorStatus::Failed, true, false},
        {"no link", 1, GeneratorStatus::NoLink, true, false},
        {"a refused value: still there", 1, GeneratorStatus::Rejected, false, false},
        {"every call answered", 1, GeneratorStatus::Ok, false, false},
    };
    for (const GeneratorLossCase& c : cases) {
        SCOPED_TRACE(c.name);
        fake.SetConnect(1);
        GoOnline();
        settings.SetJobFlag(Job::Calibration);
        settings.SetCalibrationRunState(CalibrationRun::Running);
        settings.ServiceQueue();
        ASSERT_FALSE(settings.CalibrationGeneratorGone());
        fake.SetConnect(c.connect);
        if (c.call && *c.call != GeneratorStatus::Ok) fake.FailCallFromNow(0, *c.call);
        settings.QueueCalibrationCommand(code::kCalGetState);
        settings.ServiceQueue();
        settings.QueueCalibrationCommand(code::kCalGetState);
        settings.ServiceQueue();
        EXPECT_EQ(settings.CalibrationGeneratorGone(), c.gone);
        EXPECT_EQ(settings.LastJobRefused(), c.refused);
        settings.ClearJobFlag(Job::Calibration);
        settings.SetCalibrationRunState(CalibrationRun::Idle);  // what is left queued is dropped unsent
    }
}

TEST(CalibrationQueueing, HelpersSetTheRunStateAndStepAndQueueForTheWholeInstrument) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    settings.QueueCalibrationStart(1);
    settings.QueueCalibrationStep(4);
    settings.QueueCalibrationStop(0);
    EXPECT_EQ(settings.CalibrationRunState(), CalibrationRun::Stopping);
    EXPECT_EQ(settings.Calibration().currentStep, 4);
    const std::vector<InstrumentCommand> expected = {
        {code::kCalStart, -1, 1, 0.0}, {code::kCalSetStep, -1, 5, 0.0}, {code::kCalStop, -1, 0, 0.0}};
    EXPECT_EQ(settings.PendingCommands(), expected);
}

}  // namespace
}  // namespace zorbel::test
