// The instrument dies under the running program: zorbel-gensim is killed in
// the middle of a Read Operation, a Write Operation, a download of a million
// points, a calibration run and a sweep, and the moment a Write Operation or
// a download is cancelled, over USB and over the LAN, and started again.
// The job's window closes, the interface keeps answering, the status bar
// tells that the job failed (or was cancelled, when the cancel came first;
// a sweep is no job: it ends, the last job's outcome stays), nothing is
// written to a file, and the next Read Operation once the instrument is back
// works, and so does a sweep after it.
#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <cmath>

#include "menu_template.h"
#include "program_harness.h"
#include "shell_fixture.h"
#include "sim_process.h"
#include "zorbel/dialogs/calibrate.h"
#include "zorbel/dialogs/control_texts.h"
#include "zorbel/dialogs/sweep_dialog.h"
#include "zorbel/view/progress_bar.h"
#include "zorbel/view/zorbel_view.h"

namespace zorbel::test {
namespace {

using namespace std::chrono_literals;

enum class LinkKind { Usb, Lan };
enum class JobKind { Read, Write, Download, Calibration, Sweep, CancelledWrite, CancelledDownload };

struct FaultCase {
    LinkKind link;
    JobKind job;
};

std::string CaseName(const FaultCase& c) {
    static const char* const kJobs[] = {"Read",  "Write",          "Download",         "Calibration",
                                        "Sweep", "CancelledWrite", "CancelledDownload"};
    return std::string(c.link == LinkKind::Usb ? "Usb" : "Lan") + kJobs[static_cast<int>(c.job)];
}

// Names, sizes and times of every file in `folder`.
QStringList FolderContent(const QString& folder) {
    QStringList content;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot))
        content << f.fileName() + " " + QString::number(f.size()) + " " +
                       QString::number(f.lastModified().toMSecsSinceEpoch());
    return content;
}

constexpr std::uint32_t kMillionPoints = 1 << 20;

class InstrumentKilled : public FrameTest, public ::testing::WithParamInterface<FaultCase> {
protected:
    void SetUp() override {
        const FaultCase c = GetParam();
        std::vector<std::string> options;
        // Read and Write take about a second with answers 20 ms late: long
        // enough to die in the middle.
        if (c.job == JobKind::Read || c.job == JobKind::Write || c.job == JobKind::CancelledWrite)
            options = {"--delay", "20"};
        if (c.job == JobKind::Calibration)
            for (int step = 0; step < 6; ++step)
                options.insert(options.end(), {"--cal-step", "CH1 p2p 2 1000 pass 0.05"});
        std::string error;
        sim_ = Gensim::Start({true, true, options}, &error);
        ASSERT_NE(sim_, nullptr) << error;
        setenv("QRV_USB_DEVICE", c.link == LinkKind::Usb ? sim_->UsbDevice().c_str() : "unix:/nonexistent/zorbel-usb",
               1);
        if (c.job == JobKind::Calibration) {
            const std::string scopeDevice = "unix:" + scopeFolder_.File("scope.sock");
            scopesim_ = SimProcess::Start("zorbel-scopesim", {"--usb", scopeDevice, "--gensim-lan", sim_->LanAddress()},
                                          &error);
            ASSERT_NE(scopesim_, nullptr) << error;
            setenv("QMK_SCOPE_DEVICE", scopeDevice.c_str(), 1);
            setenv("ZORBEL_TEST_PAUSE_PERCENT", "0", 1);
        }
    }
    void TearDown() override {
        FrameTest::TearDown();
        unsetenv("QRV_USB_DEVICE");
        unsetenv("QMK_SCOPE_DEVICE");
        unsetenv("ZORBEL_TEST_PAUSE_PERCENT");
    }

    QString StatusField(const char* name) {
        Frame().UpdateStatus();
        const QLabel* field = Frame().statusBar()->findChild<QLabel*>(name);
        return field ? field->text() : "<none>";
    }

    // Read Operation to the end; true when it succeeded.
    bool ReadOperation() {
        Frame().RunCommand(kCmdReadOperation);
        return WaitFor([&] { return SessionIdle(Settings()); }, 20s) && Settings().LastStatus() == GeneratorStatus::Ok;
    }

    // Starts the job and kills the simulator in its middle; false when the
    // job ended before it could.
    // `watchdog` is told of the wait that keeps the event loop out on purpose.
    bool KillDuringJob(JobKind job, InterfaceWatchdog& watchdog) {
        switch (job) {
        case JobKind::Read:
        case JobKind::Write:
        case JobKind::CancelledWrite:
            Frame().RunCommand(job == JobKind::Read ? kCmdReadOperation : kCmdWriteOperation);
            if (!WaitFor([&] { return View().ProgressDialog() != nullptr; }, 5s)) return false;
            WaitFor([] { return false; }, 300ms);
            break;
        case JobKind::Sweep: {
            // From the Sweep dialog, 200 values of 10 ms: killed at the third.
            auto* dialog = SweepDialog();
            if (!dialog) return false;
            dialog->SetForm({Parameter::Frequency, "1000", "100000", false, false, "200", "0.01", "1", false});
            if (!dialog->StartSweep()) return false;
            if (!WaitFor([&] { return Settings().Sweep()->Now().written >= 3; }, 5s)) return false;
            if (Settings().Sweep()->Now().state != SweepState::Running) return false;
            sim_->Kill();
            return true;
        }
        case JobKind::CancelledDownload:
        case JobKind::Download: {
            QPushButton* write = nullptr;
            for (QPushButton* b : Frame().Panel().Widget()->findChildren<QPushButton*>())
                if (b->text() == "Write" && b->isVisible()) write = b;
            if (!write) return false;
            write->click();  // the arbitrary page's "Write"
            // The points go out fast on the LAN (without answers): watched
            // without the event loop, so that the kill lands among them.
            // Read in place: a copy of the million points per look held the
            // record from the worker and stretched the wait.
            const auto sent = [&] {
                return Settings().ReadRecord(0, [](const ChannelRecord& r) { return r.arbitrarySent; });
            };
            const auto end = std::chrono::steady_clock::now() + 20s;
            while (sent() == 0 && std::chrono::steady_clock::now() < end) {}
            watchdog.Beat();
            if (sent() == 0 || sent() >= kMillionPoints) return false;
            break;
        }
        case JobKind::Calibration:
            break;  // in the dialog: see CalibrationKilled
        }
        if (!Any(Settings().JobFlags(),
                 Job::ReadLimits | Job::ReadSettings | Job::WriteSettings | Job::ArbitraryDownload))
            return false;
        if (job == JobKind::CancelledWrite || job == JobKind::CancelledDownload) {
            // The instrument goes as the worker takes the cancel: a download's
            // cancel then has the output to switch off.
            WaitFor([&] { return View().ProgressDialog() != nullptr; }, 2s);
            CDlgProgressBar* dialog = View().ProgressDialog();
            if (!dialog || !dialog->CancelButton() ||
                !Any(Settings().JobFlags(), Job::WriteSettings | Job::ArbitraryDownload))
                return false;
            dialog->CancelButton()->click();
        }
        sim_->Kill();
        return true;
    }

    // Utility > Sweep..., open.
    CDlgSweep* SweepDialog() {
        Frame().UpdateCommandStates();
        Frame().RunCommand(kCmdSweep);
        return Frame().findChild<CDlgSweep*>();
    }

    // Opens the calibration dialog, starts a run, kills the simulator during
    // its second step; true when the dialog then closed by itself.
    bool CalibrationKilled(bool& killedInRun) {
        Settings().SetCalibrationSettleTime(50ms);
        bool closedByItself = false;
        QTimer::singleShot(0, &Frame(), [&] {
            auto* dialog = qobject_cast<CDlgCalibrate*>(QApplication::activeModalWidget());
            if (!dialog) return;
            dialog->SetPrompts({[](const QString&) { return true; }, [](const QString&) {}, {}});
            FindControl<QAbstractButton>(dialog, calibrate_id::kStart)->click();
            killedInRun =
                WaitFor([&] { return Settings().Calibration().currentStep >= 2; }, 20s) && dialog->Sequence().Running();
            sim_->Kill();
            closedByItself = WaitFor([&] { return !dialog->isVisible(); }, 15s);
            if (dialog->isVisible()) {
                std::printf("calibration dialog still open: run %s, run state %d, generator gone %d, link %d\n",
                            dialog->Sequence().Running() ? "running" : "ended",
                            static_cast<int>(Settings().CalibrationRunState()), Settings().CalibrationGeneratorGone(),
                            static_cast<int>(Settings().LinkState()));
                dialog->CloseNow();
            }
        });
        Frame().OpenCalibrationDialog();
        return closedByItself;
    }

    CZorbelView& View() { return Frame().View(); }

    std::unique_ptr<Gensim> sim_;
    TempDir scopeFolder_;
    std::unique_ptr<SimProcess> scopesim_;
};

TEST_P(InstrumentKilled, TheJobEndsTheProgramAnswersAndTheNextReadWorks) {
    const FaultCase c = GetParam();
    StartFrame();
    if (c.link == LinkKind::Lan) Settings().SetConnection(kConnectionLan, sim_->LanAddressValue());
    ASSERT_TRUE(ReadOperation());
    if (c.job == JobKind::Download || c.job == JobKind::CancelledDownload) {
        Settings().SetWaveType(0, kWaveArbitrary);
        Settings().ResizeArbitrary(0, kMillionPoints);
        Settings().ModifyRecord(0, [](ChannelRecord& r) {
            for (std::uint32_t i = 0; i < kMillionPoints; ++i) r.arbitrarySamples[i] = 4.0 * std::sin(i * 0.001);
        });
        Frame().Panel().RefreshPanel();
        WaitFor([] { return false; }, 100ms);
    }
    const QStringList files = FolderContent(ProgramFolder());
    InterfaceWatchdog watchdog([&] { return CaseName(c); });
    watchdog.TakeLongestSilence();

    if (c.job == JobKind::Calibration) {
        bool killedInRun = false;
        EXPECT_TRUE(CalibrationKilled(killedInRun)) << "the calibration dialog stayed after the generator went";
        ASSERT_TRUE(killedInRun) << "the run ended before the generator was killed";
    } else {
        ASSERT_TRUE(KillDuringJob(c.job, watchdog)) << "the job ended before the simulator could be killed";
    }
    EXPECT_TRUE(WaitFor([&] { return View().ProgressDialog() == nullptr && SessionIdle(Settings()); }, 10s))
        << "job flags " << ToNumber(Settings().JobFlags());
    EXPECT_LE(watchdog.TakeLongestSilence(), 1000ms);
    // Offline by the failed exchange, or by the presence check that found
    // nothing since (a download's cancel may have been confirmed first).
    EXPECT_TRUE(WaitFor([&] { return StatusField("Session state") != "Online"; }, 5s));
    const QString last = StatusField("Last job");
    const bool cancelled = last == "Last job cancelled" || last == "Download cancelled";
    if (c.job == JobKind::Sweep) {
        EXPECT_EQ(Settings().Sweep()->Now().state, SweepState::Failed);
        EXPECT_EQ(last, "Last job succeeded") << "a sweep is no job";
    } else {
        // A failed exchange, or the presence check that found nothing since.
        EXPECT_TRUE(last.startsWith("Last job failed") || last == "Last job: No Device Found!" ||
                    (cancelled && (c.job == JobKind::CancelledWrite || c.job == JobKind::CancelledDownload)))
            << last.toStdString();
    }
    EXPECT_EQ(FolderContent(ProgramFolder()), files);

    std::string error;
    ASSERT_TRUE(sim_->Restart(&error)) << error;
    EXPECT_TRUE(ReadOperation());
    EXPECT_EQ(StatusField("Session state"), "Online");
    EXPECT_EQ(StatusField("Last job"), "Last job succeeded");
    if (c.job == JobKind::Sweep) {
        auto* dialog = SweepDialog();
        ASSERT_NE(dialog, nullptr);
        dialog->SetForm({Parameter::Frequency, "1000", "3000", false, false, "3", "0.01", "1", false});
        ASSERT_TRUE(dialog->StartSweep()) << dialog->Message().toStdString();
        EXPECT_TRUE(WaitFor([&] { return SessionIdle(Settings()); }, 10s));
        EXPECT_EQ(Settings().Sweep()->Now().state, SweepState::Completed);
    }
    EXPECT_LE(watchdog.TakeLongestSilence(), 1000ms);
}

const auto kCaseName = [](const auto& info) { return CaseName(info.param); };

INSTANTIATE_TEST_SUITE_P(
    LinkAndJob, InstrumentKilled,
    ::testing::Values(FaultCase{LinkKind::Usb, JobKind::Read}, FaultCase{LinkKind::Usb, JobKind::Write},
                      FaultCase{LinkKind::Usb, JobKind::Download}, FaultCase{LinkKind::Usb, JobKind::Calibration},
                      FaultCase{LinkKind::Usb, JobKind::Sweep}, FaultCase{LinkKind::Usb, JobKind::CancelledWrite},
                      FaultCase{LinkKind::Usb, JobKind::CancelledDownload}, FaultCase{LinkKind::Lan, JobKind::Read},
                      FaultCase{LinkKind::Lan, JobKind::Write}, FaultCase{LinkKind::Lan, JobKind::Download},
                      FaultCase{LinkKind::Lan, JobKind::Calibration}, FaultCase{LinkKind::Lan, JobKind::Sweep},
                      FaultCase{LinkKind::Lan, JobKind::CancelledWrite},
                      FaultCase{LinkKind::Lan, JobKind::CancelledDownload}),
    kCaseName);

}  // namespace
}  // namespace zorbel::test
