// The connection and colour dialogs as a user drives them, headless: which
// field the connection type enables and what OK hands back; a colour picked
// in the bar reaching the model and the view while the dialog stays open;
// what the sweep dialog's fields make of a plan.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include "dialog_helpers.h"
#include "zorbel/dialogs/small_dialogs.h"
#include "zorbel/dialogs/sweep_dialog.h"

namespace zorbel {
namespace {

using test::RecordingView;

TEST(ConnectDialog, LanEnablesTheAddressAndOkHandsBackTypeAndAddress) {
    const struct {
        const char* what;
        std::uint16_t type;
        std::vector<const char*> clicks;  // "usb" / "lan", in order
        const char* typed;                // over the whole address field; nullptr: untouched
        bool addressEnabled;
        std::uint16_t chosenType;
        std::uint32_t chosenAddress;
    } rows[] = {
        {"USB as stored", kConnectionUsb, {}, nullptr, false, kConnectionUsb, 0xC0A80164},
        {"LAN as stored", kConnectionLan, {}, nullptr, true, kConnectionLan, 0xC0A80164},
        {"LAN chosen, address typed", kConnectionUsb, {"lan"}, "127.0.0.9", true, kConnectionLan, 0x7F000009},
        {"LAN and back to USB", kConnectionUsb, {"lan", "usb"}, nullptr, false, kConnectionUsb, 0xC0A80164},
        {"an unfinished address ends in zeros", kConnectionLan, {}, "10.1", true, kConnectionLan, 0x0A010000},
        {"no octet above 255", kConnectionLan, {}, "10.300", true, kConnectionLan, 0x0A1E0000},
    };
    for (const auto& row : rows) {
        CDlgConnect dialog(row.type, 0xC0A80164, test::BuiltInLanguage());
        EXPECT_EQ(dialog.windowTitle(), "Connect Type") << row.what;
        EXPECT_EQ(test::AccessibleName(dialog.AddressField()), "IP Address:") << row.what;
        for (const std::string click : row.clicks) (click == "lan" ? dialog.LanButton() : dialog.UsbButton())->click();
        if (row.typed) {
            dialog.AddressField()->selectAll();
            QTest::keyClicks(dialog.AddressField(), row.typed);
        }
        EXPECT_EQ(dialog.AddressField()->isEnabled(), row.addressEnabled) << row.what;
        EXPECT_EQ(dialog.ConnectionType(), row.chosenType) << row.what;
        EXPECT_EQ(dialog.LanAddress(), row.chosenAddress) << row.what;
    }
}

TEST(SweepDialog, FieldsBecomeAPlanOrTheMessageTheDialogShows) {
    DeviceSettings settings;  // the built-in limits
    const SweepForm good{Parameter::Frequency, "1000", "2000", false, false, "11", "0,05", "2", true};
    const auto with = [&](auto change) {
        SweepForm form = good;
        change(form);
        return form;
    };
    const struct {
        const char* what;
        SweepForm form;
        QString message;  // empty: a plan
    } rows[] = {
        {"as typed, a decimal comma too", good, ""},
        {"by step", with([](SweepForm& f) { f.byStep = true, f.countOrStep = "150"; }), ""},
        {"a start that is no number", with([](SweepForm& f) { f.start = " 1k "; }), "1k is not a number."},
        {"a count that is not whole", with([](SweepForm& f) { f.countOrStep = "2.5"; }), "2.5 is not a number."},
        {"one value", with([](SweepForm& f) { f.countOrStep = "1"; }), "A sweep has 2 values at least."},
        {"a step of 0", with([](SweepForm& f) { f.byStep = true, f.countOrStep = "0"; }),
         "The step must not be 0 (logarithmic: a ratio above 0 and other than 1)."},
        {"a dwell below 10 ms", with([](SweepForm& f) { f.dwellSeconds = "0.009"; }),
         "The dwell lies between 0.01 s and a day."},
        {"never", with([](SweepForm& f) { f.repeat = "0"; }), "The sweep runs 1 to 1000000 times."},
        {"logarithmic from 0", with([](SweepForm& f) { f.start = "0", f.logarithmic = true; }),
         "A logarithmic sweep needs start and stop above 0."},
        {"the same ends", with([](SweepForm& f) { f.stop = "1000"; }), "Start and stop are the same."},
        {"beyond the channel's limits, as the pages say it",
         with([](SweepForm& f) { f.parameter = Parameter::Amplitude, f.start = "1", f.stop = "25"; }),
         "Set CH1 Amplitude(V) Error: (25) is out of range(0.002,20)"},
    };
    for (const auto& row : rows) {
        const SweepFormResult result = SweepPlanOfForm(row.form, settings, 0);
        EXPECT_EQ(result.message, row.message) << row.what;
        EXPECT_EQ(result.plan.has_value(), row.message.isEmpty()) << row.what;
    }
    const SweepPlan plan = *SweepPlanOfForm(good, settings, 0).plan;
    EXPECT_EQ(plan.dwell, std::chrono::milliseconds(50));
    EXPECT_EQ(plan.count, 11u);
    EXPECT_EQ(plan.repeat, 2u);
    EXPECT_TRUE(plan.upDown);
}

TEST(ColourDialog, APickedColourReachesItsTargetWithin200MsWhileOpen) {
    const struct {
        std::uint16_t target;
        const char* title;
        std::uint32_t redraw;
    } rows[] = {
        {kColourChannel1, "CH1", 0x8FF},         {kColourChannel2, "CH2", 0x8FF},
        {kColourGridScale, "Grid Scale", 0xFFF}, {kColourGridMain, "Grid Main", 0xFFF},
        {kColourGridSub, "Grid Sub", 0xFFF},
    };
    const QColor picked(0x12, 0x34, 0x56);
    CColorButton::SetChooser([&](const QColor&, QWidget*) { return picked; });
    for (const auto& row : rows) {
        DeviceSettings settings;
        RecordingView view;
        const auto stored = [&] {
            const GridColours grid = settings.Grid();
            switch (row.target) {
            case kColourChannel1:
                return settings.Record(0).traceColour;
            case kColourChannel2:
                return settings.Record(1).traceColour;
            case kColourGridScale:
                return grid.scale;
            case kColourGridMain:
                return grid.mainLine;
            default:
                return grid.subLine;
            }
        };
        std::uint32_t seen = 0;
        qint64 after = -1;
        bool openThen = false;
        CDlgColor dialog(row.target, settings, &view, test::BuiltInLanguage());
        EXPECT_EQ(dialog.windowTitle(), row.title);
        EXPECT_EQ(dialog.Bar()->Colour().rgb() & 0xFFFFFF,
                  static_cast<QRgb>((stored() & 0xFF) << 16 | (stored() & 0xFF00) | (stored() >> 16 & 0xFF)));
        QTimer::singleShot(0, &dialog, [&] {
            QElapsedTimer clock;
            clock.start();
            dialog.Bar()->click();  // the chooser answers at once
            while (stored() != 0x563412 && clock.elapsed() < 1000)
                QApplication::processEvents(QEventLoop::AllEvents, 10);
            after = clock.elapsed();
            seen = stored();
            openThen = dialog.isVisible();
            dialog.close();
        });
        dialog.exec();
        EXPECT_EQ(seen, 0x563412u) << row.title;
        EXPECT_LE(after, CDlgColor::kPollMs + 50) << row.title;
        EXPECT_TRUE(openThen) << row.title;
        EXPECT_EQ(view.masks, std::vector<std::uint32_t>{row.redraw}) << row.title;
    }
    CColorButton::SetChooser({});
}

}  // namespace
}  // namespace zorbel
