// DeviceSettings on the user-interface side: defaults, setters, zoom tools,
// user-typed numbers, the pulse page's consistency rule.
#include <gtest/gtest.h>

#include "fake_generator.h"
#include "test_names.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/range_check.h"
#include "zorbel/numbers.h"

namespace zorbel::test {
namespace {

TEST(DeviceSettings, NewRecordsCarryTheirDefaults) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    EXPECT_EQ(settings.DemoFlag(), 1);
    EXPECT_EQ(settings.LinkState(), Link::Down);
    EXPECT_EQ(settings.CalibrationRunState(), CalibrationRun::Idle);
    EXPECT_TRUE(settings.IsIdle());
    for (std::uint16_t ch : {0, 1}) {
        const ChannelRecord r = settings.Record(ch);
        EXPECT_EQ(r.limits, LimitsBlock::BuiltIn());
        EXPECT_EQ(r.arbitraryPointCount, 5680u);  // the library's choice for 1000 Hz
        EXPECT_EQ(r.arbitraryDivider, 11);
        EXPECT_EQ(r.arbitrarySamples.size(), 5680u);
        EXPECT_EQ(r.arbitraryViewLast, 5679u);
        EXPECT_NEAR(r.previewSamples[100], 1.0, 1e-12);  // synthesized: 2 V sine
    }
    // The first picture's window is the one amplitude and offset give, the
    // same as after the amplitude is changed and changed back.
    const ChannelRecord first = settings.Record(0);
    settings.SetParameter(0, Parameter::Amplitude, 3.0);
    settings.SetParameter(0, Parameter::Amplitude, first.Value(Parameter::Amplitude));
    EXPECT_EQ(first.previewLower, -1.25);
    EXPECT_EQ(first.previewUpper, 1.25);
    EXPECT_EQ(settings.Record(0).previewLower, first.previewLower);
    EXPECT_EQ(settings.Record(0).previewUpper, first.previewUpper);
    EXPECT_EQ(settings.Record(0).traceColour, 0x0080FF80u);
    EXPECT_EQ(settings.Record(1).traceColour, 0x00FF00FFu);
    EXPECT_EQ(settings.CopyLimits(0).Maximum(Parameter::PulseTrailing), 6.25e-5);
    EXPECT_EQ(settings.CopyLimits(0).Minimum(Parameter::PulseTrailing), 6.25e-8);
}

TEST(DeviceSettings, SettersStoreUpdateThePreviewAndQueueTheWrite) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    EXPECT_TRUE(settings.SetParameter(1, Parameter::Amplitude, 4.0));
    EXPECT_TRUE(settings.SetParameter(1, Parameter::Offset, 9.0));
    EXPECT_TRUE(settings.SetWaveType(1, kWaveSquare));
    EXPECT_TRUE(settings.SetOutputState(1, 5));
    EXPECT_TRUE(settings.SetArbitraryDivider(1, 7));
    const ChannelRecord r = settings.Record(1);
    EXPECT_EQ(r.Value(Parameter::Amplitude), 4.0);
    EXPECT_EQ(r.previewLower, 8.0);
    EXPECT_EQ(r.previewUpper, 10.0);
    EXPECT_EQ(r.previewSamples[0], 11.0);  // square, high first
    EXPECT_EQ(r.outputState, 1);
    EXPECT_EQ(r.arbitraryDivider, 7);
    const std::vector<InstrumentCommand> expected = {
        {WriteParameterCode(Parameter::Amplitude), 1, 0, 4.0},
        {WriteParameterCode(Parameter::Offset), 1, 0, 9.0},
        {code::kWriteWaveType, 1, kWaveSquare, 0.0},
        {code::kWriteOnOff, 1, 1, 0.0},
        {code::kArbDivider, 1, 0, 0.0},
    };
    EXPECT_EQ(settings.PendingCommands(), expected);
}

// The instrument gets six significant digits; the record, the preview and
// the queued write hold that value, not the one typed.
TEST(DeviceSettings, ParameterSettersKeepTheValueAsSent) {
    struct Case {
        Parameter parameter;
        double typed;
        double sent;
    };
    const Case cases[] = {
        {Parameter::Frequency, 1234.567, 1234.57},
        {Parameter::Frequency, 1234567.0, 1234570.0},
        {Parameter::SquareDuty, 0.1234567, 0.123457},
        {Parameter::Amplitude, 2.3456789, 2.34568},
        {Parameter::Offset, -9.8999999, -9.9},
        {Parameter::PulseWidth, 1.23456789e-6, 1.23457e-6},
        {Parameter::Phase, 90.0, 90.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(kParameters[Index(c.parameter)].name) + " " + std::to_string(c.typed));
        FakeGenerator fake;
        DeviceSettings typed(fake);
        DeviceSettings exact(fake);
        typed.SetWaveType(0, kWaveSquare);
        exact.SetWaveType(0, kWaveSquare);
        ASSERT_TRUE(typed.SetParameter(0, c.parameter, c.typed));
        ASSERT_TRUE(exact.SetParameter(0, c.parameter, c.sent));
        const ChannelRecord r = typed.Record(0);
        EXPECT_EQ(r.Value(c.parameter), c.sent);
        EXPECT_EQ(r.previewSamples, exact.Record(0).previewSamples);
        EXPECT_EQ(r.previewUpper, exact.Record(0).previewUpper);
        EXPECT_EQ(typed.PendingCommands().back().realArgument, c.sent);
    }
}

TEST(DeviceSettings, SettersRefuseBadChannelsAndWaveTypes) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    EXPECT_FALSE(settings.SetParameter(2, Parameter::Amplitude, 1.0));
    EXPECT_FALSE(settings.SetOutputState(2, 1));
    EXPECT_FALSE(settings.SetWaveType(0, 0));
    EXPECT_FALSE(settings.SetWaveType(0, 8));
    EXPECT_FALSE(settings.SetCurrentChannel(2));
    EXPECT_TRUE(settings.PendingCommands().empty());
    EXPECT_EQ(settings.Record(0).waveType, kWaveSine);
    EXPECT_THROW(settings.Record(2), std::out_of_range);
}

// ---- Zoom tools ---------------------------------------------------------------

struct ZoomCase {
    const char* what;
    std::vector<std::uint16_t> chosen;
    std::uint16_t bits;
    std::uint16_t cursor;
};

class ZoomTools : public ::testing::TestWithParam<ZoomCase> {};

TEST_P(ZoomTools, PairHorizontalWithVerticalAndClearTheRest) {
    FakeGenerator fake;
    DeviceSettings settings(fake);
    RecordingObserver observer;
    settings.SetObserver(&observer);
    settings.SetCurrentChannel(1);
    for (std::uint16_t bit : GetParam().chosen) settings.SetZoomTool(static_cast<ZoomTool>(bit));
    EXPECT_EQ(ToNumber(settings.Record(1).zoomToolBits), GetParam().bits);
    EXPECT_EQ(settings.Record(1).zoomToolCursor, GetParam().cursor);
    EXPECT_EQ(settings.Record(0).zoomToolBits, ZoomTool::None);
    for (std::uint32_t mask : observer.RefreshMasks()) EXPECT_EQ(mask, 4095u);
}

INSTANTIATE_TEST_SUITE_P(Cases, ZoomTools,
                         ::testing::Values(ZoomCase{"chosen twice off", {1, 1}, 0, 0},
                                           ZoomCase{"partners stay together", {1, 16}, 17, 3},
                                           ZoomCase{"another kind clears them", {1, 16, 4}, 4, 0},
                                           ZoomCase{"vertical zoom in alone", {16}, 16, 1},
                                           ZoomCase{"zoom out chosen again leaves its partner", {2, 32, 2}, 32, 0},
                                           ZoomCase{"move tools together", {64, 4}, 68, 0},
                                           ZoomCase{"unknown bits ignored", {1, 3, 99}, 1, 2}),
                         [](const auto& info) { return CaseName(info.param.what); });

// ---- User-typed numbers ----------------------------------------------------------

TEST(ParseNumberText, HandsTheLibraryAnAsciiTextOfAtMost999Characters) {
    FakeGenerator fake;
    const DeviceSettings settings(fake);
    EXPECT_EQ(settings.ParseNumberText(u"1.5"), 1.5);
    EXPECT_EQ(settings.TryParseNumberText(u"0"), 0.0);
    EXPECT_EQ(settings.ParseNumberText(u"abc"), 0.0);
    EXPECT_FALSE(settings.TryParseNumberText(u"abc").has_value());

    settings.ParseNumberText(std::u16string(1200, u'7'));
    EXPECT_EQ(fake.LastParsedLength(), 999);
    EXPECT_EQ(fake.LastParsedText(), std::string(999, '7'));

    settings.ParseNumberText(u"1\u00B75");  // a middle dot, as a mistyped separator
    EXPECT_EQ(fake.LastParsedText(), "1?5");
    settings.ParseNumberText(
        std::u16string_view(u"1\0"
                            "5",
                            3));
    EXPECT_EQ(fake.LastParsedText(), "1?5");
}

TEST(PulseConflict, WidthBeyondThePeriodOrAgainstTheDuty) {
    using enum PulseConflict;
    const struct {
        double frequency;
        double duty;
        double width;
        PulseConflict expected;
    } rows[] = {
        {1000, 0.1, 1e-4, None},                         // the defaults agree
        {1000, 0.5, 1.000001e-3, WidthBeyondPeriod},     // 1 ns beyond
        {1000, 1.0, 1e-3, None},                         // as long as the period, and the duty says so
        {6000, 1.0, RoundToWindowsG(1 / 6000.0), None},  // a third of a nanosecond beyond: as set to the ns
        {1000, 0.1, 1.001e-4, None},                     // within the duty's 0.01 % of 1 ms
        {1000, 0.1, 1.002e-4, WidthAgainstDuty},
        {1000, 0.1, 0.998e-4, WidthAgainstDuty},
        {1e7, 0.5, 50.9e-9, None},  // within 1 ns where 0.01 % of 100 ns is less
        {1e7, 0.5, 51.1e-9, WidthAgainstDuty},
        {1e7, 0.5, 2e-7, WidthBeyondPeriod},  // beyond the period before against the duty
        {0, 0.1, 1e-4, None},                 // nothing to compare with
        {1000, 0.1, 0, None},
        {std::nan(""), 0.1, 1e-4, None},
        {1000, std::nan(""), 1e-4, None},
        {HUGE_VAL, 0.1, 1e-4, None},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.frequency << " Hz, duty " << row.duty << ", width " << row.width);
        EXPECT_EQ(FindPulseConflict(row.frequency, row.duty, row.width), row.expected);
    }
}

}  // namespace
}  // namespace zorbel::test
