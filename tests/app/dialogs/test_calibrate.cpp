// CDlgCalibrate headless on a scripted generator and oscilloscope: which
// controls a run locks, what only "退出" may do, and the report's bytes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include "fake_oscilloscope.h"
#include "session_fixture.h"
#include "temp_dir.h"
#include "zorbel/dialogs/calibrate.h"
#include "zorbel/dialogs/calibration_report.h"
#include "zorbel/dialogs/control_texts.h"

namespace zorbel::test {
namespace {

using namespace std::chrono_literals;
using namespace calibrate_id;

// The GBK bytes of the report's header line and of a row of a step without measurement.
const QByteArray kHeaderGbk = QByteArray::fromHex(
    "b1eabac52ccae4b3f6c6b5c2ca2ccae4b3f6b7f9b6c82cb2e2c1bfcfee2cb2e2c1bfc6b5c2ca2cb2e2c1bfb7f9b6c82cc5d0b6a8bde1b9fb0d"
    "0a");
const QByteArray kUnavailableRowGbk = QByteArray::fromHex(
    "b2bdd6e8312cb2bbbfc9d3c32cb2bbbfc9d3c32cb2bbbfc9d3c32cb2bbbfc9d3c32cb2bbbfc9d3c32cb3c9283129b0dc2830290d0a");

class DialogForwarder final : public SessionObserver {
public:
    void CalibrationStep(std::uint16_t code, std::stop_token) override {
        dialog->OnCalibrationStep(code);
        dialog->AskWaitingQuestion();  // the notice has returned: on this thread, at once
        if (onStep) onStep(code);
    }
    CDlgCalibrate* dialog = nullptr;
    std::function<void(std::uint16_t)> onStep;
};

class CalibrateDialog : public SessionTest {
protected:
    void SetUp() override {
        settings.SetOscilloscope(scope);
        settings.SetCalibrationSettleTime(0ms);
        GoOnline();
        dialog = std::make_unique<CDlgCalibrate>(settings, choices, QString::fromStdString(folder.Path()));
        dialog->SetPrompts({[this](const QString& q) {
                                questions << q;
                                if (onQuestion) onQuestion();
                                return true;
                            },
                            [this](const QString& text) { told << text; }, [this](const QString& f) { opened << f; }});
        forwarder.dialog = dialog.get();
        settings.SetObserver(&forwarder);
        settings.SetJobFlag(Job::Calibration);
        dialog->show();
    }
    template <class W = QAbstractButton>
    W* Control(int id) {
        return FindControl<W>(dialog.get(), id);
    }
    // Which of the controls a run locks are enabled, and "停止".
    std::vector<bool> States() {
        std::vector<bool> states;
        for (int id :
             {kStart, kExit, kChannel1, kChannel2, kStartStep, kEndStep, kRepeatLimit, kRestoreDefaults, kStop})
            states.push_back(FindControl(dialog.get(), id)->isEnabled());
        return states;
    }
    QByteArray Report() {
        QFile file(dialog->ReportPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }

    FakeOscilloscope scope;
    CalibrationChoices choices;
    TempDir folder;
    std::unique_ptr<CDlgCalibrate> dialog;
    DialogForwarder forwarder;
    QStringList questions, told, opened;
    std::function<void()> onQuestion;
};

const std::vector<bool> kIdle = {true, true, true, true, true, true, true, true, false};
const std::vector<bool> kLocked = {false, false, false, false, false, false, false, false, true};

TEST_F(CalibrateDialog, ARunLocksTheChoicesUntilItsStopHasRun) {
    fake.calStepTotal = 2;
    fake.calKinds = {0, 2};
    EXPECT_EQ(States(), kIdle);
    Control<QLineEdit>(kStartStep)->setText("2");
    Control<QLineEdit>(kEndStep)->setText("1");
    emit Control<QLineEdit>(kStartStep)->editingFinished();
    emit Control<QLineEdit>(kEndStep)->editingFinished();
    Control(kChannel2)->click();
    EXPECT_EQ(choices.startStep, 1);
    EXPECT_EQ(choices.channel, 1);

    std::map<std::uint16_t, std::vector<bool>> seen;
    forwarder.onStep = [&](std::uint16_t code) { seen.emplace(code, States()); };
    std::vector<bool> whileAsked;
    onQuestion = [&] { whileAsked = States(); };
    Control(kStart)->click();
    EXPECT_EQ(States(), kLocked);  // at once: "退出" must not leave the run without its dialog
    settings.ServiceQueue();

    EXPECT_EQ(seen.at(code::kCalStart), kLocked);
    EXPECT_EQ(seen.at(code::kCalGetState), kLocked);
    EXPECT_EQ(whileAsked, kLocked);
    EXPECT_EQ(seen.at(code::kCalStop), kIdle);
    EXPECT_EQ(States(), kIdle);
    // The range as the run held it: an end not above the start runs to the last step.
    EXPECT_EQ(Control<QLineEdit>(kStartStep)->text(), "2");
    EXPECT_EQ(Control<QLineEdit>(kEndStep)->text(), "2");
    EXPECT_EQ(fake.Calls().front().channel, 1);
    auto* list = Control<QTableWidget>(kResultList);
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->item(1, 3)->text(), "峰峰值");
    EXPECT_EQ(list->item(1, 6)->text(), "成(1)败(0)");
    EXPECT_EQ(list->currentRow(), 1);

    Control(kRestoreDefaults)->click();
    EXPECT_EQ(Control<QLineEdit>(kStartStep)->text(), "1");
    EXPECT_EQ(Control<QLineEdit>(kEndStep)->text(), "0");
    EXPECT_EQ(Control<QLineEdit>(kRepeatLimit)->text(), "5");
}

TEST_F(CalibrateDialog, OnlyExitClosesIt) {
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QTest::keyClick(Control<QLineEdit>(kRepeatLimit), Qt::Key_Return);
    dialog->close();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(settings.PendingCommands().empty());  // Enter did not start a run
    Control(kOpenFolder)->click();
    EXPECT_EQ(opened, QStringList{QString::fromStdString(folder.Path())});
    Control(kExit)->click();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(CalibrateDialog, ReportIsTheListInGbkWithCrLfOrNothing) {
    // An empty list: the header alone.
    Control(kReport)->click();
    EXPECT_EQ(Report(), kHeaderGbk);
    EXPECT_EQ(told, QStringList{"保存成功！"});

    fake.calStepTotal = 1;
    fake.calKinds = {0};
    Control(kStart)->click();
    settings.ServiceQueue();
    Control(kReport)->click();
    EXPECT_EQ(Report(), kHeaderGbk + kUnavailableRowGbk);

    // A folder that is gone: said with the full path, nothing claimed saved.
    told.clear();
    CDlgCalibrate elsewhere(settings, choices, QString::fromStdString(folder.File("gone")));
    elsewhere.SetPrompts({{}, [this](const QString& text) { told << text; }, {}});
    FindControl<QAbstractButton>(&elsewhere, kReport)->click();
    EXPECT_EQ(told, QStringList{"无法创建或打开校准文件：" + elsewhere.ReportPath()});
}

TEST_F(CalibrateDialog, TheGeneratorGoneWhileIdleClosesItAtTheNextCheck) {
    fake.SetConnect(0);
    settings.ServiceQueue();
    EXPECT_TRUE(settings.CalibrationGeneratorGone());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 3 * CDlgCalibrate::kLinkCheckMs));
}

}  // namespace
}  // namespace zorbel::test
