// The control panel and its pages on a scripted generator: what a typed
// value or a click queues on the model, what the user is told, what the
// fields show afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <new>
#include <optional>

#include "dialog_helpers.h"
#include "fake_generator.h"
#include "locale_guard.h"
#include "zorbel/dialogs/ctrl_dds.h"
#include "zorbel/dialogs/edit_ex.h"
#include "zorbel/dialogs/value_fields.h"
#include "zorbel/dialogs/wave_parameter_pages.h"
#include "zorbel/numbers.h"

namespace zorbel {
namespace {

using test::RecordingView;

// The scripted generator, with the library's own number rules.
class PanelGenerator : public test::FakeGenerator {
public:
    std::uint16_t TurnStringIntoDouble(double* value, const char* text, std::int32_t length) override {
        return qmkHDTurnStringIntoDouble(value, text, length);
    }
};

struct Queued {
    std::uint16_t code;
    std::int32_t channel;
    double real = 0;
    friend bool operator==(const Queued&, const Queued&) = default;
};

void PrintTo(const Queued& q, std::ostream* os) {
    *os << std::hex << "0x" << q.code << std::dec << " ch" << q.channel << " " << q.real;
}

class PanelTest : public ::testing::Test {
protected:
    PanelTest() {
        panel.SetMessageSink([this](const QString& text) { messages.push_back(text.toStdString()); });
        panel.Retranslate(test::BuiltInLanguage());
        panel.Attach(&settings, &view);
        panel.UpdatePanel();
    }

    // The model as a test sets it up: no commands queued, no redraws asked.
    void Prepare(std::uint16_t channel, std::uint16_t waveType, const std::function<void(ChannelRecord&)>& change) {
        settings.SetCurrentChannel(channel);
        settings.ModifyRecord(channel, [&](ChannelRecord& r) {
            r.waveType = waveType;
            change(r);
        });
        panel.UpdatePanel();
        TakeQueue();
        view.masks.clear();
        messages.clear();
    }

    std::vector<Queued> TakeQueue() {
        std::vector<Queued> taken;
        for (InstrumentCommand c = settings.DequeueCommand(); c.code != 0; c = settings.DequeueCommand())
            taken.push_back({c.code, c.channel, c.realArgument});
        return taken;
    }

    template <class W = QWidget>
    W* Control(int id) {
        W* control = FindControl<W>(&panel, id);
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }

    // Types `text` over the whole field (of the panel, or of `page`) and presses Enter.
    void Type(int editId, const QString& text, QWidget* page = nullptr) {
        CEditEx* edit = page ? FindControl<CEditEx>(page, editId) : Control<CEditEx>(editId);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    std::string Shown(int editId) { return Control<CEditEx>(editId)->text().toStdString(); }

    std::uint16_t CheckedUnit() {
        for (std::uint16_t unit = 0; unit < 3; ++unit)
            if (Control<QRadioButton>(1059 + unit)->isChecked()) return unit;
        return 99;
    }

    PanelGenerator fake;
    DeviceSettings settings{fake};
    RecordingView view;
    std::vector<std::string> messages;
    CDlgCtrlDDS panel;
};

// Limits every value of which a field can show with its decimals.
LimitsBlock TypeableLimits() {
    LimitsBlock limits;
    limits.Set(Parameter::Amplitude, 10, 0.005);
    limits.Set(Parameter::Frequency, 25000000, 0.000001);
    limits.Set(Parameter::Offset, 5, -5);
    limits.Set(Parameter::Phase, 360, 0);
    limits.Set(Parameter::SquareDuty, 0.9998, 0.0002);
    limits.Set(Parameter::RampSymmetry, 0.99, 0.01);
    limits.Set(Parameter::PulseDuty, 0.9998, 0);
    limits.Set(Parameter::PulseWidth, 0.0009998, 0.00000002);
    limits.Set(Parameter::PulseLeading, 0.0000625, 0.000000014);
    limits.Set(Parameter::PulseTrailing, 0.0000625, 0.000000063);
    return limits;
}

struct RangeRow {
    std::uint16_t waveType;
    std::uint16_t channel;
    Parameter parameter;
    double current;
    const char* typed;
    const char* refusal;            // the message; nullptr when taken
    const char* written = nullptr;  // what is written when not the typed value
};

TEST_F(PanelTest, EveryFieldTakesItsLimitAndRefusesTheNextValueBeyond) {
    using P = Parameter;
    const RangeRow rows[] = {
        {kWaveSine, 0, P::Amplitude, 2, "0.005", nullptr},
        {kWaveSine, 0, P::Amplitude, 2, "0.004", "Set CH1 Amplitude(V) Error: (0.004) is out of range(0.005,10)"},
        {kWaveSine, 0, P::Frequency, 1000, "25000000", nullptr},
        {kWaveSine, 0, P::Frequency, 1000, "25000000.000001",
         "Set CH1 Frequency(Hz) Error: (2.5E+007) is out of range(1E-006,2.5E+007)"},
        // More than six significant digits: written, held and shown as the instrument holds it.
        {kWaveSine, 0, P::Frequency, 1000, "1234.5678", nullptr, "1234.57"},
        {kWaveSine, 1, P::Offset, 0, "5", nullptr},
        {kWaveSine, 1, P::Offset, 0, "5.001", "Set CH2 Offset(V) Error: (5.001) is out of range(-5,5)"},
        // The instrument refuses its offset minimum itself (and the session would latch).
        {kWaveSine, 1, P::Offset, 0, "-4.999", nullptr},
        {kWaveSine, 1, P::Offset, 0, "-5", "Set CH2 Offset(V) Error: (-5) is out of range(-5,5)"},
        {kWaveSine, 0, P::Phase, 90, "360", nullptr},
        {kWaveSine, 0, P::Phase, 90, "360.01", "Set CH1 Phase Error: (360.01) is out of range(0,360)"},
        {kWaveSquare, 0, P::SquareDuty, 0.5, "0.0002", nullptr},
        {kWaveSquare, 0, P::SquareDuty, 0.5, "0.0001",
         "Set CH1 Square Duty Error: (0.0001) is out of range(0.0002,0.9998)"},
        {kWaveRamp, 1, P::RampSymmetry, 0.5, "0.99", nullptr},
        {kWaveRamp, 1, P::RampSymmetry, 0.5, "0.9901",
         "Set CH2 Ramp Symmetry Error: (0.9901) is out of range(0.01,0.99)"},
        {kWavePulse, 0, P::PulseDuty, 0.1, "0", nullptr},
        {kWavePulse, 0, P::PulseDuty, 0.1, "-0.0001", "Set CH1 Pulse Duty: (-0.0001) is out of range(0,0.9998)"},
        {kWavePulse, 0, P::PulseWidth, 1e-4, "0.0009998", nullptr},
        {kWavePulse, 0, P::PulseWidth, 1e-4, "0.000999801",
         "Set CH1 Pulse Width: (0.000999801) is out of range(2E-008,0.0009998)"},
        {kWavePulse, 1, P::PulseLeading, 2e-8, "0.000000014", nullptr},
        {kWavePulse, 1, P::PulseLeading, 2e-8, "0.000000013",
         "Set CH2 Pulse Leading: (1.3E-008) is out of range(1.4E-008,6.25E-005)"},
        {kWavePulse, 0, P::PulseTrailing, 1e-7, "0.0000625", nullptr},
        {kWavePulse, 0, P::PulseTrailing, 1e-7, "0.000062501",
         "Set CH1 Pulse Trailing: (6.2501E-005) is out of range(6.3E-008,6.25E-005)"},
        // Unchanged: nothing is queued.
        {kWavePulse, 0, P::PulseTrailing, 1e-7, "0.0000001", nullptr, ""},
        // A comma is the decimal point; digits beyond the field's decimals
        // round half away from zero, before the range is checked.
        {kWaveSine, 0, P::Amplitude, 2, "0,5", nullptr, "0.5"},
        {kWaveSine, 0, P::Amplitude, 2, "0.0049", nullptr, "0.005"},
        {kWaveSine, 0, P::Amplitude, 2, "1.2349", nullptr, "1.235"},
        {kWaveSine, 0, P::Amplitude, 2, "0.0045", nullptr, "0.005"},
        {kWaveSine, 0, P::Amplitude, 2, "0,0044", "Set CH1 Amplitude(V) Error: (0.004) is out of range(0.005,10)"},
        {kWaveSine, 0, P::Frequency, 1000, "1,5", nullptr, "1.5"},
        {kWaveSine, 1, P::Offset, 0, "0,3", nullptr, "0.3"},
        {kWaveSine, 1, P::Offset, 0, "-0.0009", nullptr, "-0.001"},
        {kWaveSine, 1, P::Offset, 1, "-0.0004", nullptr, "0"},  // a zero, without a sign
        {kWaveSine, 0, P::Phase, 90, "45.678", nullptr, "45.68"},
        {kWaveSine, 0, P::Phase, 90, "45,674", nullptr, "45.67"},
        {kWaveSquare, 0, P::SquareDuty, 0.5, "0,12345", nullptr, "0.1235"},
        {kWaveRamp, 1, P::RampSymmetry, 0.5, "0.33335", nullptr, "0.3334"},
        {kWavePulse, 0, P::PulseDuty, 0.1, "0,99975", nullptr, "0.9998"},
        {kWavePulse, 0, P::PulseWidth, 1e-4, "0.0000200004", nullptr, "0.00002"},
        {kWavePulse, 1, P::PulseLeading, 2e-8, "0,0000000245", nullptr, "0.000000025"},
        {kWavePulse, 0, P::PulseTrailing, 1e-7, "0.0000012345", nullptr, "0.000001235"},
    };
    // The same under a decimal-comma locale.
    test::DecimalCommaLocale german;
    const QLocale previousLocale;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    static const int kEditIds[] = {1024, 1022, 1026, 1028, 1030, 1032, 1034, 1036, 1038, 1040};
    for (const RangeRow& row : rows) {
        SCOPED_TRACE(std::string(kParameters[Index(row.parameter)].name) + " typed " + row.typed);
        Prepare(row.channel, row.waveType, [&](ChannelRecord& r) {
            r.limits = TypeableLimits();
            r.Value(row.parameter) = row.current;
        });
        CEditEx* edit = FindControl<CEditEx>(panel.Page(row.waveType), kEditIds[Index(row.parameter)]);
        ASSERT_NE(edit, nullptr);
        Type(kEditIds[Index(row.parameter)], row.typed, panel.Page(row.waveType));

        const bool unchanged = row.written && !*row.written;
        const bool taken = !row.refusal && !unchanged;
        const double written = QString::fromLatin1(row.written && *row.written ? row.written : row.typed).toDouble();
        const double held = taken ? written : row.current;
        const bool scale = row.parameter == P::Amplitude || row.parameter == P::Offset;
        std::vector<Queued> queued;
        std::vector<std::uint32_t> masks;
        if (taken) {
            queued.push_back({WriteParameterCode(row.parameter), row.channel, written});
            masks.push_back(scale ? 0xFF : 0x8FF);
        }
        const std::vector<Queued> sent = TakeQueue();
        EXPECT_EQ(sent, queued);
        EXPECT_EQ(view.masks, masks);
        EXPECT_EQ(messages, row.refusal ? std::vector<std::string>{row.refusal} : std::vector<std::string>{});
        const double model =
            settings.ReadRecord(row.channel, [&](const ChannelRecord& r) { return r.Value(row.parameter); });
        EXPECT_EQ(model, held);
        EXPECT_EQ(edit->text().toDouble(), held) << edit->text().toStdString();
        // A zero is zero: neither sent nor shown with a sign.
        for (const double value : {model, sent.empty() ? 0.0 : sent.back().real})
            EXPECT_FALSE(value == 0 && std::signbit(value));
        EXPECT_FALSE(edit->text().startsWith('-') && held == 0) << edit->text().toStdString();
    }
    QLocale::setDefault(previousLocale);
}

TEST_F(PanelTest, FieldsLeftWhileTheWindowClosesOrWithoutTheModelDoNothing) {
    panel.show();
    QApplication::setActiveWindow(&panel);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    // Out of range, so that anything taking it would also show a message.
    CEditEx* amplitude = Control<CEditEx>(1024);
    amplitude->setFocus(Qt::TabFocusReason);
    QTest::keyClick(amplitude, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(amplitude, "99");
    panel.close();
    amplitude->clearFocus();

    panel.Attach(nullptr, nullptr);
    Type(1024, "99");
    Type(1062, "5");
    for (int id : {1061, 1001, 1003}) Control<QAbstractButton>(id)->click();
    EXPECT_EQ(TakeQueue(), std::vector<Queued>{});
    EXPECT_EQ(messages, std::vector<std::string>{});
    EXPECT_EQ(settings.CurrentChannel(), 0);
}

// Every field's rule through the one order of an entry: what the field shows
// on the way, what the user is told, what is written and redrawn.
TEST(FieldRules, TakeCheckRefuseRestoreShowWriteAndRedrawInOneOrder) {
    PanelGenerator fake;
    fake.SetBestArbitrary(7, 1000);
    DeviceSettings settings{fake};
    settings.ModifyRecord(0, [](ChannelRecord& r) {
        r.limits = TypeableLimits();
        r.Value(Parameter::Amplitude) = 2;
        r.arbitraryFrequency = 1000;
        r.arbitraryDivider = 11;
    });
    const auto parameter = [](Parameter p) { return [p](DeviceSettings& s) { return ParameterRule(s, 0, p); }; };
    using E = FieldEntry;
    const struct {
        const char* what;
        std::function<FieldRule(DeviceSettings&)> rule;
        double typed;
        E entry;
        std::vector<double> shown;  // in order
        const char* refusal = nullptr;
        std::uint32_t redraw = 0;
        bool detachWhileRefusing = false;
    } rows[] = {
        {"in range: held as sent", parameter(Parameter::Frequency), 1234.5678, E::Written, {1234.57}, nullptr, 0x8FF},
        {"out of range: the model's value again",
         parameter(Parameter::Amplitude),
         0.004,
         E::Refused,
         {2},
         "Set CH1 Amplitude(V) Error: (0.004) is out of range(0.005,10)"},
        {"refused while the model goes: nothing restored",
         parameter(Parameter::Amplitude),
         11,
         E::Refused,
         {},
         "Set CH1 Amplitude(V) Error: (11) is out of range(0.005,10)",
         0,
         true},
        {"the value held already", parameter(Parameter::Amplitude), 2, E::Unchanged, {2}},
        {"a count cut to whole blocks at once",
         [](DeviceSettings& s) { return PointCountRule(s, 0); },
         100,
         E::Written,
         {96, 96},
         nullptr,
         0xFF},
        {"a divider beyond 16 bits checked as typed",
         [](DeviceSettings& s) { return DividerRule(s, 0); },
         65636,
         E::Refused,
         {11},
         "Set CH1 Sample Div Error: (65636) is out of range(0,250)"},
        {"a divider: no redraw", [](DeviceSettings& s) { return DividerRule(s, 0); }, 250, E::Written, {250}},
        {"the arbitrary frequency in its own words",
         [](DeviceSettings& s) { return ArbitraryFrequencyRule(s, 0); },
         5e7,
         E::Refused,
         {250e6 / (4 * 250) / 96},  // what the count and the divider above play
         "Set CH1  Arb Frequency(Hz) Error: (5E+007) is out of range(1E-006,2.5E+007)"},
        {"no memory for the value: the model's again",
         [](DeviceSettings&) {
             return FieldRule{.current = [] { return 1.0; }, .commit = [](double) -> bool { throw std::bad_alloc(); }};
         },
         2,
         E::Unchanged,
         {2, 1}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<double> shown;
        std::vector<std::string> told;
        std::vector<std::uint32_t> redraws;
        bool attached = true;
        const E entry = EnterValue(row.rule(settings), row.typed,
                                   {.show = [&](double v) { shown.push_back(v); },
                                    .refuse =
                                        [&](const std::string& message) {
                                            told.push_back(message);
                                            attached = !row.detachWhileRefusing;
                                        },
                                    .attached = [&] { return attached; },
                                    .redraw = [&](RefreshMask mask) { redraws.push_back(ToNumber(mask)); }});
        EXPECT_EQ(entry, row.entry);
        EXPECT_EQ(shown, row.shown);
        EXPECT_EQ(told, row.refusal ? std::vector<std::string>{row.refusal} : std::vector<std::string>{});
        EXPECT_EQ(redraws, row.redraw ? std::vector<std::uint32_t>{row.redraw} : std::vector<std::uint32_t>{});
    }
    // A zero is shown and written without a sign, whatever the rule keeps.
    double shown = 1;
    double written = 1;
    EnterValue({.current = [] { return 1.0; },
                .commit =
                    [&](double value) {
                        written = value;
                        return false;
                    }},
               -0.0, {.show = [&](double value) { shown = value; }, .attached = [] { return true; }});
    EXPECT_FALSE(std::signbit(shown) || std::signbit(written)) << shown << " " << written;
    // Unit and mantissa of the frequency group, and back.
    const UnitFrequency split[] = {SplitFrequency(999.5), SplitFrequency(1500), SplitFrequency(2e6)};
    EXPECT_EQ((std::vector<double>{double(split[0].unit), split[0].mantissa, double(split[1].unit), split[1].mantissa,
                                   double(split[2].unit), split[2].mantissa}),
              (std::vector<double>{0, 999.5, 1, 1.5, 2, 2}));
    EXPECT_EQ(JoinFrequency(1.5, 1), 1500);
    EXPECT_EQ(JoinFrequency(2, 9), 2e6);  // beyond MHz counts as MHz
}

struct FrequencyStep {
    enum Kind { kTypeText, kClickUnit, kClickFormat } kind;
    QString typed;
    std::uint16_t unit = 0;
};

struct FrequencyRow {
    const char* name;
    std::uint16_t waveType;
    double start;  // the channel's frequency (the arbitrary frequency for Arb)
    double maximum;
    std::vector<FrequencyStep> steps;
    std::vector<Queued> queued;
    const char* message;
    const char* shown;
    std::uint16_t unit;
};

TEST_F(PanelTest, TheFrequencyGroupTakesTheNumberInItsUnit) {
    using S = FrequencyStep;
    fake.SetBestArbitrary(7, 1000);
    const FrequencyRow rows[] = {
        {"1.5 in KHz", kWaveSine, 1000, 3e7, {{S::kTypeText, "1.5"}}, {{0xA004, 0, 1500}}, nullptr, "1.500000", 1},
        {"1,5 in KHz", kWaveSine, 1000, 3e7, {{S::kTypeText, "1,5"}}, {{0xA004, 0, 1500}}, nullptr, "1.500000", 1},
        {"MHz clicked on 2 Hz",
         kWaveSquare,
         2,
         3e7,
         {{S::kClickUnit, "", 2}},
         {{0xA004, 0, 2e6}},
         nullptr,
         "2.000000",
         2},
        {"MHz clicked beyond the maximum",
         kWaveSine,
         2,
         1e6,
         {{S::kClickUnit, "", 2}},
         {},
         "Set CH1 Frequency(Hz) Error: (2E+006) is out of range(1E-006,1E+006)",
         "2.000000",
         0},
        {"Format on 1500 typed in Hz",
         kWaveRamp,
         5,
         3e7,
         {{S::kTypeText, "1500"}, {S::kClickFormat, ""}},
         {{0xA004, 0, 1500}},
         nullptr,
         "1.500000",
         1},
        {"Format on 999.5 typed in KHz",
         kWavePulse,
         2000,
         3e7,
         {{S::kTypeText, "0.9995"}, {S::kClickFormat, ""}},
         {{0xA004, 0, 999.5}},
         nullptr,
         "999.500000",
         0},
        {"seven digits shown as sent",
         kWaveSine,
         1000,
         3e7,
         {{S::kTypeText, "1.234567"}},
         {{0xA004, 0, 1234.57}},
         nullptr,
         "1.234570",
         1},
        {"arbitrary frequency chooses the sample clock",
         kWaveArbitrary,
         1000,
         3e7,
         {{S::kTypeText, "2"}},
         {{0x3006, 0, 0}},
         nullptr,
         "2.000000",
         1},
        {"noise greys the group: no unit click",
         kWaveNoise,
         1000,
         3e7,
         {{S::kClickUnit, "", 0}},
         {},
         nullptr,
         "1.000000",
         1},
    };
    for (const FrequencyRow& row : rows) {
        SCOPED_TRACE(row.name);
        Prepare(0, row.waveType, [&](ChannelRecord& r) {
            r.limits.Set(Parameter::Frequency, row.maximum, 1e-6);
            r.Value(Parameter::Frequency) = row.start;
            r.arbitraryFrequency = row.start;
        });
        for (const FrequencyStep& step : row.steps) {
            if (step.kind == S::kTypeText) Type(1062, step.typed);
            if (step.kind == S::kClickUnit) Control<QRadioButton>(1059 + step.unit)->click();
            if (step.kind == S::kClickFormat) Control<QPushButton>(1063)->click();
        }
        EXPECT_EQ(TakeQueue(), row.queued);
        EXPECT_EQ(messages, row.message ? std::vector<std::string>{row.message} : std::vector<std::string>{});
        EXPECT_EQ(Shown(1062), row.shown);
        EXPECT_EQ(CheckedUnit(), row.unit);
        EXPECT_EQ(panel.FrequencyUnit(), row.unit);
        for (int id : {1059, 1060, 1061, 1062, 1063}) EXPECT_EQ(Control(id)->isEnabled(), row.waveType != kWaveNoise);
        // The page shows the new frequency at once; Arb keeps the channel's own.
        if (row.waveType == kWaveArbitrary) {
            EXPECT_EQ(Shown(1055), "2000.000000");
            EXPECT_EQ(Shown(1051), "992");
            EXPECT_EQ(settings.Record(0).Value(Parameter::Frequency), row.start);
        } else if (!row.queued.empty()) {
            EXPECT_EQ(FindControl<CEditEx>(panel.Page(row.waveType), 1022)->text().toDouble(), row.queued.back().real);
        }
    }
}

TEST_F(PanelTest, ArbitraryPageFieldsAndWrite) {
    fake.SetBestArbitrary(7, 1000);
    const struct {
        int control;
        QString typed;  // empty: a click
        std::vector<Queued> queued;
        const char* message;
        std::uint32_t points;
        std::uint16_t divider;
    } rows[] = {
        {1051, "100", {}, nullptr, 96, 11},
        {1051, "-5", {}, "Set CH1 Sample Div Error: (-5) is out of range(0,67108864)", 5680, 11},
        {1051, "99,9", {}, nullptr, 96, 11},  // rounded to 100, then whole blocks
        {1053, "12,6", {{0x3006, 0}}, nullptr, 5680, 13},
        {1053, "250", {{0x3006, 0}}, nullptr, 5680, 250},
        {1053, "251", {}, "Set CH1 Sample Div Error: (251) is out of range(0,250)", 5680, 11},
        {1053, "65636", {}, "Set CH1 Sample Div Error: (65636) is out of range(0,250)", 5680, 11},
        {1055, "2000", {{0x3006, 0}}, nullptr, 992, 7},
        {1055, "50000000", {}, "Set CH1  Arb Frequency(Hz) Error: (5E+007) is out of range(1E-006,3E+007)", 5680, 11},
        {1055, "30000000,0000004", {{0x3006, 0}}, nullptr, 992, 7},
        {1055,
         "30000000,0000005",
         {},
         "Set CH1  Arb Frequency(Hz) Error: (3E+007) is out of range(1E-006,3E+007)",
         5680,
         11},
        {1042, "", {{0x3007, 0}}, nullptr, 5680, 11},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.control) + " " + row.typed.toStdString());
        Prepare(0, kWaveArbitrary, [](ChannelRecord& r) {
            r.arbitraryFrequency = 1000;
            r.arbitraryDivider = 11;
            r.arbitraryPointCount = 5680;
            r.arbitrarySamples.assign(5680, 0.25);
        });
        if (row.typed.isEmpty())
            Control<QPushButton>(row.control)->click();
        else
            Type(row.control, row.typed);
        EXPECT_EQ(TakeQueue(), row.queued);
        EXPECT_EQ(messages, row.message ? std::vector<std::string>{row.message} : std::vector<std::string>{});
        const ChannelRecord record = settings.Record(0);
        EXPECT_EQ(record.arbitraryPointCount, row.points);
        EXPECT_EQ(record.arbitraryDivider, row.divider);
        EXPECT_EQ(record.arbitrarySamples.at(row.points ? row.points - 1 : 0), row.points ? 0.25 : 0.0);
        // The fields show what the model holds, and that is what was taken.
        EXPECT_EQ(Shown(1051), std::to_string(row.points));
        EXPECT_EQ(Shown(1053), std::to_string(row.divider));
        // A new count or divider plays at a new frequency: the page shows it at once.
        EXPECT_EQ(Shown(1055), FormatFixed(record.arbitraryFrequency));
    }
}

// Text that arrives without keystrokes (an assistive tool, an input method,
// a program) is taken only when it is a number: anything else leaves the
// field as it was, with nothing written and nothing to tell.
TEST_F(PanelTest, AFieldActsOnlyOnANumberHoweverItsTextArrived) {
    fake.SetBestArbitrary(7, 1000);
    const struct {
        std::uint16_t waveType;
        int control;
        const char* shown;  // the model's value
    } fields[] = {
        {kWaveSine, 1024, "2.000"},
        {kWaveSine, 1026, "0.000"},
        {kWavePulse, 1036, "0.000100000"},
        {kWaveSine, 1062, "1.000000"},
        {kWaveArbitrary, 1055, "1000.000000"},
        {kWaveArbitrary, 1051, "5680"},
        {kWaveArbitrary, 1053, "11"},
    };
    const char* const texts[] = {"abc", "1e2", "0x10", "1 5", "5V", "1.2.3", "1,2,3", "+", "-", "", "--1", ".5", "-,5"};
    for (const auto& field : fields) {
        for (const char* text : texts) {
            SCOPED_TRACE(std::to_string(field.control) + " set to \"" + text + "\"");
            Prepare(0, field.waveType, [](ChannelRecord& r) {
                r.limits = TypeableLimits();
                r.Value(Parameter::Amplitude) = 2;
                r.Value(Parameter::Offset) = 0;
                r.Value(Parameter::PulseWidth) = 1e-4;
                r.Value(Parameter::Frequency) = 1000;
                r.arbitraryFrequency = 1000;
                r.arbitraryDivider = 11;
                r.arbitraryPointCount = 5680;
                r.arbitrarySamples.assign(5680, 0.25);
            });
            CEditEx* edit = FindControl<CEditEx>(panel.Page(field.waveType), field.control);
            if (!edit) edit = Control<CEditEx>(field.control);
            ASSERT_NE(edit, nullptr);
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(edit);
            ASSERT_NE(accessible, nullptr);
            accessible->setText(QAccessible::Value, QString::fromLatin1(text));
            edit->TakeValue();
            EXPECT_EQ(TakeQueue(), std::vector<Queued>{});
            EXPECT_EQ(messages, std::vector<std::string>{});
            EXPECT_EQ(edit->text().toStdString(), field.shown);
            EXPECT_EQ(settings.Record(0).arbitraryPointCount, 5680u);
        }
    }
}

// Up, Down, PageUp, PageDown and the wheel over the focused field step the
// digit at the caret (the wheel: under the mouse) as if the result had been
// typed: through the field's rule into the coalescing queue, held to the
// channel's limits, the caret staying on its digit.
TEST_F(PanelTest, DigitSteppingIsTakenAsTyped) {
    const struct {
        std::uint16_t waveType;
        int control;
        double start;
        int caret;
        const char* actions;  // U/D Up/Down, P/p PageUp/PageDown, w a wheel notch up, o the same without the focus
        std::vector<Queued> queued;
        const char* shown;
        int caretAfter;
    } rows[] = {
        {kWaveSine, 1022, 1000, 4, "U", {{0xA004, 0, 1001}}, "1001.000000", 4},
        {kWaveSine, 1022, 1000, 4, "UUUD", {{0xA004, 0, 1002}}, "1002.000000", 4},  // a burst: its last value
        {kWaveSine, 1022, 995, 2, "P", {{0xA004, 0, 1095}}, "1095.000000", 3},      // the carry adds a digit
        {kWaveSine, 1022, 1000, 11, "U", {}, "1000.000000", 11},  // beyond six digits: as typed, nothing new
        {kWaveSine, 1026, -4.5, 2, "p", {{0xA005, 0, -4.999}}, "-4.999", 2},  // held above the offset's minimum
        {kWaveSine, 1024, 10, 2, "U", {}, "10.000", 2},                       // the amplitude's maximum stays
        {kWavePulse, 1036, 1e-4, 7, "ww", {{0xA00A, 0, 1.2e-4}}, "0.000120000", 7},
        {kWaveSine, 1062, 1500, 1, "w", {{0xA004, 0, 2500}}, "2.500000", 1},  // the panel's field, in kHz
        {kWaveSine, 1024, 2, 1, "o", {}, "2.000", 0},
    };
    panel.show();
    QApplication::setActiveWindow(&panel);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.control) + " " + row.actions);
        const auto field = std::find_if(kValueFields.begin(), kValueFields.end(),
                                        [&](const ValueField& f) { return f.editId == row.control; });
        Prepare(0, row.waveType, [&](ChannelRecord& r) {
            r.limits = TypeableLimits();
            r.Value(field == kValueFields.end() ? Parameter::Frequency : field->parameter) = row.start;
        });
        CEditEx* edit = FindControl<CEditEx>(panel.Page(row.waveType), row.control);
        if (!edit) edit = Control<CEditEx>(row.control);
        ASSERT_NE(edit, nullptr);
        const bool focused = row.actions[0] != 'o';
        focused ? edit->setFocus() : Control<QPushButton>(1063)->setFocus();
        edit->setCursorPosition(row.caret);
        // The wheel is turned over the middle of the digit left of the caret
        // (where the nearest caret place turns to the caret's), the caret first put elsewhere.
        QPointF over(0, edit->height() / 2);
        while (over.x() < edit->width() && edit->cursorPositionAt(over.toPoint()) < row.caret) over.rx() += 1;
        for (const char action : std::string(row.actions)) {
            constexpr std::pair<char, Qt::Key> kKeys[] = {
                {'U', Qt::Key_Up}, {'D', Qt::Key_Down}, {'P', Qt::Key_PageUp}, {'p', Qt::Key_PageDown}};
            for (const auto& [letter, key] : kKeys)
                if (action == letter) QTest::keyClick(edit, key);
            if (action != 'w' && action != 'o') continue;
            edit->setCursorPosition(0);
            QWheelEvent wheel(over, edit->mapToGlobal(over), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(edit, &wheel);
        }
        EXPECT_EQ(TakeQueue(), row.queued);
        EXPECT_EQ(messages, std::vector<std::string>{});
        EXPECT_EQ(edit->text().toStdString(), row.shown);
        EXPECT_EQ(edit->cursorPosition(), row.caretAfter);
    }
}

// The pulse page says under its fields when width, duty and frequency
// contradict each other, and still writes what the user typed.
TEST_F(PanelTest, ThePulsePageWarnsOfAWidthTheOtherValuesContradict) {
    panel.show();
    Prepare(0, kWavePulse, [](ChannelRecord& r) {
        r.limits = TypeableLimits();
        r.Value(Parameter::Frequency) = 2000;
        r.Value(Parameter::PulseDuty) = 0.1;
        r.Value(Parameter::PulseWidth) = 5e-5;
    });
    QWidget* page = panel.Page(kWavePulse);
    const struct {
        int control;
        const char* typed;
        Queued written;
        const char* warning;  // nullptr: none shown
    } steps[] = {
        {1036, "0.0008", {0xA00A, 0, 8e-4}, "The width 0.0008 s is longer than the period 0.0005 s."},
        {1036, "0.0001", {0xA00A, 0, 1e-4}, "The width 0.0001 s and the duty 0.1 disagree: the duty gives 5E-005 s."},
        {1034, "0.2", {0xA009, 0, 0.2}, nullptr},
        {1022, "4000", {0xA004, 0, 4000}, "The width 0.0001 s and the duty 0.2 disagree: the duty gives 5E-005 s."},
    };
    QLabel* warning = nullptr;
    for (QLabel* label : page->findChildren<QLabel*>())
        if (!label->buddy()) warning = label;
    ASSERT_NE(warning, nullptr);
    EXPECT_FALSE(warning->isVisible());
    for (const auto& step : steps) {
        SCOPED_TRACE(step.typed);
        Type(step.control, step.typed, page);
        EXPECT_EQ(TakeQueue(), std::vector<Queued>{step.written});
        EXPECT_EQ(messages, std::vector<std::string>{});
        EXPECT_EQ(warning->isVisible(), step.warning != nullptr);
        if (!step.warning) continue;
        EXPECT_EQ(warning->text().toStdString(), step.warning);
        EXPECT_EQ(warning->accessibleDescription(), warning->text());
        EXPECT_EQ(FindControl<CEditEx>(page, 1036)->accessibleDescription(), warning->text());
    }
}

// Whether `edit` shows its whole text: the room for text inside its frame
// and margins is at least as wide as the text.
bool ShowsWholeText(const CEditEx* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    const QRect contents =
        edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).marginsRemoved(edit->textMargins());
    const int room = contents.width() - 2 * 2;  // QLineEdit's own margin on either side
    return room >= edit->fontMetrics().horizontalAdvance(edit->text());
}

// Translations longer than the built-in texts (one long word, several
// words) never squeeze a number field on any page: the labels wrap or the
// panel grows, in a pane no wider than the frame gives it at first.
TEST_F(PanelTest, LongLabelsNeverSqueezeANumberField) {
    const auto longTexts = [](int item) -> QString {
        if (item >= 1021 && item <= 1039 && item % 2 == 1) return QStringLiteral("Impulsanstiegsflankendauer:");
        if (item == 1050 || item == 1052 || item == 1054)
            return QStringLiteral("Anzahl der Punkte je Periode der Kurvenform:");
        if (item == 1063) return QStringLiteral("Formatieren");
        return {};
    };
    panel.Retranslate(longTexts);
    panel.resize(245, 700);
    panel.show();
    for (std::uint16_t type = kWaveSine; type <= kWaveArbitrary; ++type) {
        SCOPED_TRACE("wave type " + std::to_string(type));
        Prepare(0, type, [](ChannelRecord& r) {
            r.limits.Set(Parameter::Frequency, 3e7, 1e-6);
            r.Value(Parameter::Frequency) = 1000;
            r.Value(Parameter::PulseWidth) = 1e-4;
            r.arbitraryFrequency = 25000000;
            r.arbitraryPointCount = 67108864;
        });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        int checked = 0;
        for (const CEditEx* edit : panel.findChildren<CEditEx*>()) {
            if (!edit->isVisible()) continue;
            ++checked;
            EXPECT_TRUE(ShowsWholeText(edit))
                << ControlId(edit) << " shows " << edit->text().toStdString() << " in " << edit->width() << " pixels";
        }
        EXPECT_GE(checked, type == kWaveNoise ? 3 : 4);
    }
}

}  // namespace
}  // namespace zorbel
