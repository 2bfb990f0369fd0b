// The panel end to end on the real generator library against zorbel-gensim:
// a user with the keyboard alone (Tab, arrows, Space, Enter), finding the
// controls by their accessible names, sets values of the second channel, and
// the simulator holds them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "QRVHardDll.h"
#include "dialog_helpers.h"
#include "sim_process.h"
#include "zorbel/dialogs/ctrl_dds.h"
#include "zorbel/dialogs/wave_parameter_pages.h"
#include "zorbel/model/session_pump.h"

namespace zorbel {
namespace {

using namespace std::chrono_literals;
using test::TabTo;

void TypeAndLeave(QWidget* field, const QString& text, Qt::Key leaveBy) {
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, leaveBy);
}

TEST(PanelAgainstGensim, KeyboardAloneSetsTheSecondChannelOnTheInstrument) {
    std::string error;
    auto sim = test::Gensim::Start({true, false, {}}, &error);
    ASSERT_NE(sim, nullptr) << error;

    DeviceSettings settings;
    SessionPump pump(settings);
    pump.Start();
    settings.SetConnection(kConnectionLan, sim->LanAddressValue());
    ASSERT_TRUE(pump.RunReadOperation(20s).Succeeded());

    test::RecordingView view;
    std::vector<std::string> messages;
    CDlgCtrlDDS panel;
    panel.SetMessageSink([&](const QString& text) { messages.push_back(text.toStdString()); });
    panel.Retranslate(test::BuiltInLanguage());
    panel.Attach(&settings, &view);
    panel.UpdatePanel();
    panel.resize(320, 900);
    panel.show();
    QApplication::setActiveWindow(&panel);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    FindControl(&panel, 1001)->setFocus(Qt::TabFocusReason);

    // CH2: the arrow key moves the channel choice.
    QWidget* channel1 = TabTo("CH1");
    ASSERT_NE(channel1, nullptr);
    QTest::keyClick(channel1, Qt::Key_Right);
    ASSERT_EQ(settings.CurrentChannel(), 1);

    // The wave types are one Tab stop; the arrows choose among them.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* pulse = test::ArrowTo("Pulse");
    ASSERT_NE(pulse, nullptr);
    QTest::keyClick(pulse, Qt::Key_Space);

    QWidget* width = TabTo("Pulse Width:");
    ASSERT_NE(width, nullptr);
    TypeAndLeave(width, "0.000123456", Qt::Key_Tab);
    // Seven significant digits: the instrument gets and holds six.
    QWidget* frequency = TabTo("Frequency:");
    ASSERT_NE(frequency, nullptr);
    TypeAndLeave(frequency, "12345.678", Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), frequency);  // Enter takes the value, the focus stays
    QWidget* amplitude = TabTo("Amplitude:");
    ASSERT_NE(amplitude, nullptr);
    TypeAndLeave(amplitude, "1.25", Qt::Key_Tab);

    const std::uint16_t output = settings.Record(1).outputState;
    QWidget* outputSwitch = TabTo(output ? "ON" : "OFF");
    ASSERT_NE(outputSwitch, nullptr);
    QTest::keyClick(outputSwitch, Qt::Key_Space);
    EXPECT_EQ(test::AccessibleName(outputSwitch).toStdString(), output ? "OFF" : "ON");

    ASSERT_TRUE(pump.WaitUntilIdle(10s).finished);
    pump.Stop();
    EXPECT_EQ(settings.LastStatus(), GeneratorStatus::Ok);
    EXPECT_EQ(messages, std::vector<std::string>{});

    const LimitsBlock limits = settings.CopyLimits(1);
    std::int16_t waveType = 0;
    std::int16_t state = -1;
    double seconds = 0;
    double hertz = 0;
    double volts = 0;
    EXPECT_EQ(qmkHDReadChannelWaveType(1, &waveType), ToNumber(GeneratorStatus::Ok));
    EXPECT_EQ(qmkHDReadChannelOnOff(1, &state), ToNumber(GeneratorStatus::Ok));
    EXPECT_EQ(qmkHDReadChannelPulseWidth(1, &seconds, limits.Maximum(Parameter::PulseWidth),
                                         limits.Minimum(Parameter::PulseWidth)),
              ToNumber(GeneratorStatus::Ok));
    EXPECT_EQ(qmkHDReadChannelFrequency(1, &hertz, limits.Maximum(Parameter::Frequency),
                                        limits.Minimum(Parameter::Frequency)),
              ToNumber(GeneratorStatus::Ok));
    EXPECT_EQ(qmkHDReadChannelAmplitude(1, &volts, limits.Maximum(Parameter::Amplitude),
                                        limits.Minimum(Parameter::Amplitude)),
              ToNumber(GeneratorStatus::Ok));
    EXPECT_EQ(waveType, kWavePulse);
    EXPECT_EQ(state, output ? 0 : 1);
    EXPECT_DOUBLE_EQ(seconds, 0.000123456);
    EXPECT_DOUBLE_EQ(hertz, 12345.7);
    EXPECT_DOUBLE_EQ(volts, 1.25);
    EXPECT_EQ(FindControl(panel.Page(kWavePulse), 1022)->property("text").toString().toStdString(), "12345.700000");
    panel.Attach(nullptr, nullptr);
}

}  // namespace
}  // namespace zorbel
