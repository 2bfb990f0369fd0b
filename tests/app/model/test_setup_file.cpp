// Setup files: what a load applies and queues, the file's own defaults, the
// profile rules on a hand-written file, values the model cannot take, and
// number texts under a decimal-comma locale.
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_generator.h"
#include "file_helpers.h"
#include "locale_guard.h"
#include "temp_dir.h"
#include "zorbel/model/setup_file.h"

namespace zorbel::test {
namespace {

// Limits a file without a "Standard_%d" section loads.
LimitsBlock SetupFileDefaultLimits() {
    LimitsBlock b;
    b.Set(Parameter::Amplitude, 20, 0.002);
    b.Set(Parameter::Frequency, 3e7, 1e-6);
    b.Set(Parameter::Offset, 9.9, -9.9);
    b.Set(Parameter::Phase, 360, 0);
    b.Set(Parameter::SquareDuty, 0.999984, 1.6e-5);
    b.Set(Parameter::RampSymmetry, 0.99998, 0);
    b.Set(Parameter::PulseDuty, 0.99998, 1.6e-5);
    b.Set(Parameter::PulseWidth, 0.00099998, 1.6e-8);
    b.Set(Parameter::PulseLeading, 0.00099998, 1.6e-8);
    b.Set(Parameter::PulseTrailing, 0.00099998, 1.6e-8);
    return b;
}

// The writes a load queues for one channel, in file key order.
std::vector<CodeAndChannel> ChannelWrites(std::int32_t ch) {
    std::vector<CodeAndChannel> out = {{0xA001, ch}, {0xA002, ch}, {0xA004, ch}, {0xA003, ch}};
    for (std::uint16_t code = 0xA005; code <= 0xA00C; ++code) out.emplace_back(code, ch);
    return out;
}

class SetupFile : public ::testing::Test {
protected:
    std::string Path(const std::string& name = "setup.set") const { return dir.File(name); }
    bool Load(DeviceSettings& into, const std::string& text) {
        WriteText(Path(), text);
        return ReadSetupFile(into, Path()).Ok();
    }

    TempDir dir;
    FakeGenerator fake;
    DeviceSettings settings{fake};
};

TEST_F(SetupFile, NewFileHasItsSectionsInOrderWithCrLfLines) {
    ASSERT_TRUE(WriteSetupFile(settings, Path()));
    const std::string text = ReadText(Path());
    const std::vector<std::string> lines = CrLfLines(text);
    ASSERT_EQ(lines.size(), 5u + 40u + 24u + 1u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 70);  // every line ends with CR LF
    EXPECT_EQ(lines[0], "[Standard_1]");
    EXPECT_EQ(lines[1], "MaxFrequency(Hz)=3E+007");
    EXPECT_EQ(lines[2], "MinFrequency(Hz)=1E-006");
    EXPECT_EQ(lines[21], "[Standard_2]");
    EXPECT_EQ(lines[42], "[Channel_1]");
    EXPECT_EQ(lines[43], "OnOff=1");
    EXPECT_EQ(lines[44], "Type=1");
    EXPECT_EQ(lines[45], "Frequency(Hz)=1000");
    EXPECT_EQ(lines[54], "PulseTrailing(s)=2E-008");
    EXPECT_EQ(lines[55], "[Channel_2]");
    EXPECT_EQ(lines[68], "[Current]");
    EXPECT_EQ(lines[69], "Channel=0");
}

TEST_F(SetupFile, RoundTripRestoresModelAndQueuesEveryWriteInKeyOrder) {
    settings.SetWaveType(0, kWavePulse);
    settings.SetOutputState(1, 0);
    settings.SetParameter(1, Parameter::Offset, -1.25);
    settings.SetParameter(0, Parameter::PulseWidth, 2.5e-6);
    settings.ModifyRecord(1, [](ChannelRecord& r) { r.limits.Set(Parameter::Frequency, 1.5e7, 0.002); });
    settings.SetCurrentChannel(1);
    ASSERT_TRUE(WriteSetupFile(settings, Path()));

    FakeGenerator otherFake;
    DeviceSettings loaded{otherFake};
    ASSERT_TRUE(ReadSetupFile(loaded, Path()));
    for (std::uint16_t ch : {0, 1}) {
        const ChannelRecord a = settings.Record(ch), b = loaded.Record(ch);
        EXPECT_EQ(a.limits, b.limits);
        EXPECT_EQ(a.outputState, b.outputState);
        EXPECT_EQ(a.waveType, b.waveType);
        EXPECT_EQ(a.values, b.values);
    }
    EXPECT_EQ(loaded.CurrentChannel(), 1);
    std::vector<CodeAndChannel> expected = ChannelWrites(0);
    for (auto c : ChannelWrites(1)) expected.push_back(c);
    EXPECT_EQ(Pending(loaded), expected);
}

TEST_F(SetupFile, SevenDigitFrequencyReadsBackWithSixSignificantDigits) {
    settings.SetParameter(0, Parameter::Frequency, 1234567.0);
    ASSERT_TRUE(WriteSetupFile(settings, Path()));
    EXPECT_NE(ReadText(Path()).find("Frequency(Hz)=1.23457E+006\r\n"), std::string::npos);
    DeviceSettings loaded{fake};
    ASSERT_TRUE(ReadSetupFile(loaded, Path()));
    EXPECT_EQ(loaded.Record(0).Value(Parameter::Frequency), 1234570.0);
}

TEST_F(SetupFile, OnlyChannel2Type6LoadsDefaultsElsewhere) {
    settings.SetCurrentChannel(1);
    settings.SetParameter(0, Parameter::Amplitude, 7.0);
    ASSERT_TRUE(Load(settings, "[Channel_2]\r\nType=6\r\n"));

    for (std::uint16_t ch : {0, 1}) EXPECT_EQ(settings.CopyLimits(ch), SetupFileDefaultLimits()) << ch;
    const ChannelRecord first = settings.Record(0);
    EXPECT_EQ(first.outputState, 1);
    EXPECT_EQ(first.waveType, kWaveSine);
    const std::array<double, kParameterCount> defaults = {2.0, 1000.0, 0.0, 0.0, 0.5, 0.5, 0.1, 1e-4, 1e-4, 1e-4};
    EXPECT_EQ(first.values, defaults);
    EXPECT_EQ(settings.Record(1).waveType, kWaveArbitrary);
    EXPECT_EQ(settings.CurrentChannel(), 0);  // "Current" missing: its default
}

TEST_F(SetupFile, MissingFileLoadsDefaultsAndUnreadableOneChangesNothing) {
    EXPECT_TRUE(ReadSetupFile(settings, dir.File("absent.set")));
    EXPECT_EQ(settings.CopyLimits(0), SetupFileDefaultLimits());
    EXPECT_EQ(settings.PendingCommands().size(), 24u);

    FakeGenerator otherFake;
    DeviceSettings untouched{otherFake};
    std::filesystem::create_directory(dir.File("folder.set"));
    const Result read = ReadSetupFile(untouched, dir.File("folder.set"));
    EXPECT_FALSE(read);
    EXPECT_FALSE(read.Why().empty());
    EXPECT_TRUE(untouched.PendingCommands().empty());
    EXPECT_EQ(untouched.CopyLimits(0), LimitsBlock::BuiltIn());
}

// A value no instrument takes would load and latch the session later.
TEST_F(SetupFile, ValuesThatAreNotFiniteRefuseTheWholeFile) {
    const struct {
        const char* text;
        const char* message;
    } rows[] = {
        {"[Channel_1]\r\nAmplitude(V)=3\r\nFrequency(Hz)=1E+999\r\n",
         "Frequency(Hz)=1E+999 in [Channel_1] is not a finite number"},
        {"[Channel_2]\r\nOffset(V)=-INF\r\n", "Offset(V)=-INF in [Channel_2] is not a finite number"},
        {"[Channel_1]\r\nPhase=nan\r\n", "Phase=nan in [Channel_1] is not a finite number"},
        {"[Standard_2]\r\nMaxAmplitude(V)=1.#INF\r\n", "MaxAmplitude(V)=1.#INF in [Standard_2] is not a finite number"},
        {"[Standard_1]\r\nMinFrequency(Hz)=-1E+400\r\n[Channel_1]\r\nType=2\r\n",
         "MinFrequency(Hz)=-1E+400 in [Standard_1] is not a finite number"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        FakeGenerator modelFake;
        DeviceSettings model{modelFake};
        WriteText(Path(), row.text);
        const Result read = ReadSetupFile(model, Path());
        EXPECT_FALSE(read);
        EXPECT_EQ(read.Why(), row.message);
        EXPECT_TRUE(model.PendingCommands().empty());
        EXPECT_EQ(model.CopyLimits(0), LimitsBlock::BuiltIn());
        EXPECT_EQ(model.Record(0).waveType, kWaveSine);
        EXPECT_EQ(model.Record(0).Value(Parameter::Amplitude), 2.0);
    }
}

struct CurrentRow {
    const char* value;
    std::uint16_t before;
    std::uint16_t after;
};

TEST_F(SetupFile, CurrentChannelOutsideZeroAndOneIsLeftAsItWas) {
    const CurrentRow rows[] = {
        {"1", 0, 1}, {"0", 1, 0}, {"2", 1, 1}, {"-1", 0, 0}, {"65537", 0, 0}, {"x", 1, 0},
    };
    for (const CurrentRow& row : rows) {
        SCOPED_TRACE(row.value);
        DeviceSettings model{fake};
        model.SetCurrentChannel(row.before);
        ASSERT_TRUE(Load(model, std::string("[Current]\r\nChannel=") + row.value + "\r\n"));
        EXPECT_EQ(model.CurrentChannel(), row.after);
    }
}

struct TypeRow {
    const char* value;
    std::uint16_t after;  // channel 0 starts as a square wave
};

TEST_F(SetupFile, WaveTypeOutsideOneToSevenIsLeftAsItWasAndTheRestLoads) {
    const TypeRow rows[] = {{"0", kWaveSquare},  {"8", kWaveSquare},   {"65542", kWaveSquare},
                            {"-1", kWaveSquare}, {"7", kWaveHarmonic}, {"3.9", kWaveRamp}};
    for (const TypeRow& row : rows) {
        SCOPED_TRACE(row.value);
        FakeGenerator modelFake;
        DeviceSettings model{modelFake};
        model.SetWaveType(0, kWaveSquare);
        model.DequeueCommand();
        ASSERT_TRUE(Load(model, std::string("[Channel_1]\r\nType=") + row.value + "\r\nAmplitude(V)=4.5\r\n"));
        EXPECT_EQ(model.Record(0).waveType, row.after);
        EXPECT_EQ(model.Record(0).Value(Parameter::Amplitude), 4.5);
        const auto pending = Pending(model);
        const bool typeQueued = std::find(pending.begin(), pending.end(), CodeAndChannel{0xA002, 0}) != pending.end();
        EXPECT_EQ(typeQueued, row.after != kWaveSquare);
    }
}

// A file a user edited: names in other cases, blanks around values, comments
// and a section of its own. Reading matches names without regard to case;
// writing replaces values in place, appends missing keys to their section
// and missing sections at the end, and keeps everything else.
TEST_F(SetupFile, HandWrittenFileFollowsTheProfileRules) {
    const std::string original =
        "; bench setup\r\n"
        "[channel_1]\r\n"
        "onoff = 0\r\n"
        "FREQUENCY(HZ)=  2500  \r\n"
        "; keep this note\r\n"
        "Amplitude(V)=3.5\r\n"
        "\r\n"
        "[Notes]\r\n"
        "Author=bench 4\r\n";
    ASSERT_TRUE(Load(settings, original));
    EXPECT_EQ(settings.Record(0).outputState, 0);
    EXPECT_EQ(settings.Record(0).Value(Parameter::Frequency), 2500.0);
    EXPECT_EQ(settings.Record(0).Value(Parameter::Amplitude), 3.5);

    settings.SetParameter(0, Parameter::Frequency, 3000.0);
    ASSERT_TRUE(WriteSetupFile(settings, Path()));
    const std::vector<std::string> lines = CrLfLines(ReadText(Path()));
    const std::vector<std::string> head(lines.begin(), lines.begin() + 7);
    EXPECT_EQ(head, (std::vector<std::string>{"; bench setup", "[channel_1]", "onoff=0", "FREQUENCY(HZ)=3000",
                                              "; keep this note", "Amplitude(V)=3.5", "Type=1"}));
    const auto at = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) - lines.begin();
    };
    // The nine keys the file lacked follow its last key, before the blank line.
    EXPECT_EQ(lines[7], "Offset(V)=0");
    EXPECT_EQ(lines[14], "PulseTrailing(s)=0.0001");  // the default the load took
    EXPECT_EQ(lines[15], "");
    EXPECT_EQ(lines[16], "[Notes]");
    EXPECT_EQ(lines[17], "Author=bench 4");
    EXPECT_LT(at("[Notes]"), at("[Standard_1]"));
    EXPECT_LT(at("[Standard_1]"), at("[Standard_2]"));
    EXPECT_LT(at("[Standard_2]"), at("[Channel_2]"));
    EXPECT_LT(at("[Channel_2]"), at("[Current]"));
    EXPECT_EQ(
        std::count(lines.begin(), lines.end(), "[channel_1]") + std::count(lines.begin(), lines.end(), "[Channel_1]"),
        1);
}

TEST_F(SetupFile, NumbersIgnoreADecimalCommaLocale) {
    DecimalCommaLocale locale;
    ASSERT_TRUE(locale.Active());
    settings.SetParameter(0, Parameter::Amplitude, 2.75);
    settings.SetParameter(1, Parameter::SquareDuty, 0.125);
    ASSERT_TRUE(WriteSetupFile(settings, Path()));
    const std::string text = ReadText(Path());
    EXPECT_EQ(text.find(','), std::string::npos);
    EXPECT_NE(text.find("Amplitude(V)=2.75\r\n"), std::string::npos);
    EXPECT_NE(text.find("MinAmplitude(V)=0.002\r\n"), std::string::npos);

    DeviceSettings loaded{fake};
    ASSERT_TRUE(ReadSetupFile(loaded, Path()));
    EXPECT_EQ(loaded.Record(0).Value(Parameter::Amplitude), 2.75);
    EXPECT_EQ(loaded.Record(1).Value(Parameter::SquareDuty), 0.125);
    EXPECT_EQ(loaded.CopyLimits(0).Minimum(Parameter::Amplitude), 0.002);
}

}  // namespace
}  // namespace zorbel::test
