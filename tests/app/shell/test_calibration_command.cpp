// The calibration command in the program: refused without an idle, answering
// generator; otherwise a whole run through the frame's session against
// zorbel-gensim (scripted steps of each kind) and zorbel-scopesim coupled to
// it, answered as a user would, with the report beside the program.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>

#include "calibration_command.h"
#include "menu_template.h"
#include "shell_fixture.h"
#include "sim_clients.h"
#include "sim_process.h"
#include "zorbel/dialogs/calibrate.h"
#include "zorbel/dialogs/calibration_report.h"
#include "zorbel/view/zorbel_view.h"

namespace zorbel::test {
namespace {

using namespace std::chrono_literals;

using CalibrationCommand = FrameTest;

TEST_F(CalibrationCommand, BothShortcutsSayNoDeviceFoundWithoutAnAnsweringGenerator) {
    StartFrame();
    QApplication::setActiveWindow(&Frame());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    for (const QKeySequence& keys : CalibrationShortcuts()) QTest::keySequence(&Frame(), keys);
    EXPECT_EQ(messages_, QStringList({"No Device Found!", "No Device Found!"}));
    EXPECT_EQ(Settings().JobFlags(), Job::None);
}

class CalibrationAgainstSimulators : public FrameTest {
protected:
    void SetUp() override {
        std::string error;
        gensim_ = Gensim::Start({true,
                                 true,
                                 {"--cal-step", "CH1 none", "--cal-step", "CH1 mean 0.5 0 pass 0.01", "--cal-step",
                                  "CH1 p2p 2 1000 seq -1,0", "--cal-step", "CH1 p2p 5 20000 needprev 0.05"}},
                                &error);
        ASSERT_NE(gensim_, nullptr) << error;
        const std::string scopeDevice = "unix:" + scopeFolder_.File("scope.sock");
        scopesim_ =
            SimProcess::Start("zorbel-scopesim", {"--usb", scopeDevice, "--gensim-lan", gensim_->LanAddress()}, &error);
        ASSERT_NE(scopesim_, nullptr) << error;
        setenv("QRV_USB_DEVICE", gensim_->UsbDevice().c_str(), 1);
        setenv("QMK_SCOPE_DEVICE", scopeDevice.c_str(), 1);
        setenv("ZORBEL_TEST_PAUSE_PERCENT", "0", 1);  // the oscilloscope library's pauses
    }
    void TearDown() override {
        FrameTest::TearDown();
        unsetenv("QRV_USB_DEVICE");
        unsetenv("QMK_SCOPE_DEVICE");
        unsetenv("ZORBEL_TEST_PAUSE_PERCENT");
    }

    std::unique_ptr<Gensim> gensim_;
    TempDir scopeFolder_;
    std::unique_ptr<SimProcess> scopesim_;
};

TEST_F(CalibrationAgainstSimulators, AWholeRunFillsEveryRowStoresOnYesAndWritesTheReport) {
    StartFrame();
    Settings().SetCalibrationSettleTime(0ms);
    Frame().Action(kCmdReadOperation)->trigger();
    ASSERT_TRUE(WaitFor([&] { return Settings().JobFlags() == Job::None && Settings().IsIdle(); }));
    ASSERT_EQ(Settings().LastStatus(), GeneratorStatus::Ok);

    // A job under way: refused.
    Frame().Action(kCmdWriteOperation)->trigger();
    Frame().OpenCalibrationDialog();
    EXPECT_EQ(messages_, QStringList{"No Device Found!"});
    ASSERT_TRUE(WaitFor([&] { return Settings().JobFlags() == Job::None && Settings().IsIdle(); }));

    QStringList questions, told;
    std::vector<CalibrationRow> rows;
    Job flagsWhileOpen = Job::None;
    QTimer::singleShot(0, &Frame(), [&] {
        auto* dialog = qobject_cast<CDlgCalibrate*>(QApplication::activeModalWidget());
        if (!dialog) return;
        flagsWhileOpen = Settings().JobFlags();
        dialog->SetPrompts({[&](const QString& q) {
                                questions << q;
                                return true;
                            },
                            [&](const QString& text) { told << text; },
                            {}});
        FindControl<QAbstractButton>(dialog, calibrate_id::kStart)->click();
        WaitFor([&] { return dialog->Sequence().Running(); });
        WaitFor([&] { return !dialog->Sequence().Running(); }, 30s);
        rows = dialog->Sequence().Rows();
        FindControl<QAbstractButton>(dialog, calibrate_id::kReport)->click();
        FindControl<QAbstractButton>(dialog, calibrate_id::kExit)->click();
        if (dialog->isVisible()) dialog->CloseNow();  // a run that never ended: the test fails below
    });
    Frame().OpenCalibrationDialog();
    EXPECT_EQ(flagsWhileOpen, Job::Calibration);
    EXPECT_EQ(Settings().JobFlags(), Job::None);

    const std::vector<CalibrationRow> expected = {
        {"步骤1", "不可用", "不可用", "不可用", "不可用", "不可用", "成(1)败(0)"},
        {"步骤2", "0.000", "0.5000", "平均值", "0.000", "0.5000", "成(1)败(0)"},
        {"步骤3", "1000.000", "2.0000", "峰峰值", "1000.000", "2.0000", "成(2)败(1)"},
        {"步骤4", "20000.000", "5.0000", "峰峰值", "20000.000", "5.0000", "成(1)败(1)"},
    };
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(questions, QStringList{"已完成总步骤数4中的步骤1到步骤4,是否更新仪器中的校准数据"});
    UdpClient lan(gensim_->LanAddress());
    EXPECT_EQ(lan.Ask("SIMulator:CALibration:STORe?"), "1");
    EXPECT_EQ(lan.Ask("SIMulator:CALibration:VALue? 1,4"), "5");

    EXPECT_EQ(told, QStringList{"保存成功！"});
    QFile report(ProgramFolder() + "/Calibrate.csv");
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_EQ(report.readAll(), QByteArray::fromStdString(*CalibrationReportBytes(expected)));
}

// The last-job field after each way a calibration can end, in turn on one
// generator (its third step fails once, then passes for good).
TEST_F(CalibrationAgainstSimulators, TheLastJobTellsHowTheLastRunEnded) {
    StartFrame();
    Settings().SetCalibrationSettleTime(0ms);
    Frame().Action(kCmdReadOperation)->trigger();
    ASSERT_TRUE(WaitFor([&] { return Settings().JobFlags() == Job::None && Settings().IsIdle(); }));
    const struct {
        const char* what;
        bool run;
        const char* repeatLimit;
        QString lastJob;
    } rows[] = {
        {"the third step at its repeat limit", true, "1", "Last job failed: the calibration stopped before its end"},
        {"opened and closed without a run: as before", false, "1",
         "Last job failed: the calibration stopped before its end"},
        {"a run through every step", true, "5", "Last job succeeded"},
    };
    for (const auto& row : rows) {
        QTimer::singleShot(0, &Frame(), [&] {
            auto* dialog = qobject_cast<CDlgCalibrate*>(QApplication::activeModalWidget());
            if (!dialog) return;
            dialog->SetPrompts({[](const QString&) { return true; }, [](const QString&) {}, {}});
            auto* limit = FindControl<QLineEdit>(dialog, calibrate_id::kRepeatLimit);
            limit->setText(row.repeatLimit);
            emit limit->editingFinished();
            if (row.run) {
                FindControl<QAbstractButton>(dialog, calibrate_id::kStart)->click();
                WaitFor([&] { return dialog->Sequence().Running(); });
                WaitFor([&] { return !dialog->Sequence().Running(); }, 30s);
            }
            FindControl<QAbstractButton>(dialog, calibrate_id::kExit)->click();
            if (dialog->isVisible()) dialog->CloseNow();
        });
        Frame().OpenCalibrationDialog();
        Frame().UpdateStatus();
        EXPECT_EQ(Frame().statusBar()->findChild<QLabel*>(kOutcomeFieldName)->text(), row.lastJob) << row.what;
    }
}

}  // namespace
}  // namespace zorbel::test
