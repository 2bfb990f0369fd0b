// The program's threads together, for ThreadSanitizer: the interface thread
// runs Read and Write Operations, downloads, edits, digit steps, redraws,
// resizes, language switches, sweeps started and stopped, jobs cancelled
// through the progress dialog and from another thread, and formulas on the
// view's worker cancelled, for a few seconds, while the session worker talks to
// zorbel-gensim and the view's display thread renders; and each long
// operation on a waveform of millions of points, run to its end and
// cancelled halfway, while the interface keeps answering. Repeated in CI.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <cmath>
#include <thread>

#include "menu_template.h"
#include "program_harness.h"
#include "shell_fixture.h"
#include "sim_process.h"
#include "zorbel/dialogs/edit_ex.h"
#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/formula.h"
#include "zorbel/model/long_job.h"
#include "zorbel/model/sweep.h"
#include "zorbel/view/zorbel_view.h"

namespace zorbel::test {
namespace {

using namespace std::chrono_literals;

class ProgramThreads : public FrameTest {
protected:
    void SetUp() override {
        std::string error;
        sim_ = Gensim::Start({false, true, {}}, &error);
        ASSERT_NE(sim_, nullptr) << error;
        setenv("QRV_USB_DEVICE", sim_->UsbDevice().c_str(), 1);
    }
    void TearDown() override {
        FrameTest::TearDown();
        unsetenv("QRV_USB_DEVICE");
    }
    std::unique_ptr<Gensim> sim_;
};

TEST_F(ProgramThreads, JobsDownloadsRedrawsAndLanguageSwitchesRunTogether) {
    StartFrame({{"shouty.lug", ShoutyLanguageText()}});
    Frame().RunCommand(kCmdReadOperation);
    ASSERT_TRUE(WaitFor([&] { return SessionIdle(Settings()); }, 30s));
    Settings().SetWaveType(1, kWaveArbitrary);
    Settings().ResizeArbitrary(1, 16384);
    // Large enough for a formula to go to the view's worker.
    Settings().SetWaveType(0, kWaveArbitrary);
    Settings().ResizeArbitrary(0, static_cast<std::uint32_t>(kSmallJobPoints));
    const std::uint64_t rendersBefore = Frame().View().RenderCount();
    SweepPlan sweep;
    sweep.start = 1000;
    sweep.stop = 5000;
    sweep.count = 40;
    sweep.dwell = 10ms;
    std::jthread canceller;  // a cancel from a thread of its own, as a script's
    // Running from the start: the jobs below pause it.
    ASSERT_TRUE(Settings().StartSweep(0, sweep, *SweepSteps::Of(sweep)));
    Frame().Session().Wake();

    const auto end = std::chrono::steady_clock::now() + 3s;
    for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
        const auto channel = static_cast<std::uint16_t>(round / 14 % 2);
        switch (round % 14) {
        case 0:
            Frame().RunCommand(kCmdWriteOperation);
            break;
        case 1:
            Frame().RunCommand(kCmdReadOperation);
            break;
        case 2:
            Settings().StartArbitraryDownload(1);
            Frame().Session().Wake();
            break;
        case 3:
            Frame().RunCommand(round / 14 % 2 ? kCmdDefaultLanguage : kCmdFirstLanguage);
            break;
        case 4:
            // An edit as the pages make it: store, queue, redraw; and a digit
            // stepped in the first number field the panel shows.
            Settings().SetParameter(channel, Parameter::Frequency, 1000.0 + round);
            Frame().View().RequestRedraw(RefreshMask::Waveform);
            for (CEditEx* field : Frame().findChildren<CEditEx*>()) {
                if (!field->isVisible()) continue;
                field->setCursorPosition(1);
                QTest::keyClick(field, round / 14 % 2 ? Qt::Key_Up : Qt::Key_Down);
                break;
            }
            break;
        case 5:
            Frame().resize(1000 + round % 200, 700 + round % 100);
            break;
        case 6:
            Settings().SetCurrentChannel(channel);
            Frame().Panel().RefreshPanel();
            Frame().View().RequestRedraw(RefreshMask::Everything);
            break;
        case 7:
            Frame().RunCommand(round / 14 % 2 ? kCmdDots : kCmdVectors);
            break;
        case 8:
            Settings().ModifyRecord(1, [round](ChannelRecord& r) { r.arbitrarySamples[round % 16384] = 1.0; });
            Frame().View().ArbitraryPointsChanged(1, round % 16384, round % 16384);
            Frame().View().RequestRedraw(RefreshMask::Waveform);
            break;
        case 9:
            Frame().View().CompositeImage();  // what Save Image takes
            Frame().UpdateStatus();
            break;
        case 10:
            // A sweep runs across the rounds; every other time it is stopped.
            if (const auto run = Settings().Sweep(); run && run->Now().state == SweepState::Running) {
                run->RequestStop(round / 14 % 2 ? SweepStopChoice::KeepLast : SweepStopChoice::RestoreOriginal);
                Frame().Session().Wake();
            } else {
                Settings().StartSweep(0, sweep, *SweepSteps::Of(sweep));
                Frame().Session().Wake();
            }
            break;
        case 11:
            // The progress dialog's Cancel, as soon as it shows.
            Frame().RunCommand(round / 14 % 2 ? kCmdWriteOperation : kCmdReadOperation);
            WaitFor([&] { return Frame().View().ProgressDialog() != nullptr; }, 200ms);
            if (CDlgProgressBar* dialog = Frame().View().ProgressDialog(); dialog && dialog->CancelButton())
                dialog->CancelButton()->click();
            break;
        case 12:
            // A download cancelled from another thread a moment after it starts.
            Settings().StartArbitraryDownload(1);
            Frame().Session().Wake();
            canceller = std::jthread([this, pause = round % 5] {
                std::this_thread::sleep_for(std::chrono::milliseconds(pause));
                Settings().CancelJob();
            });
            break;
        default:
            // A formula on the view's worker, cancelled by Escape the next time.
            if (Frame().View().LongJobRunning()) {
                if (CDlgProgressBar* dialog = Frame().View().LongJobDialog()) QTest::keyClick(dialog, Qt::Key_Escape);
            } else {
                RunLongJob(FormulaJob(Settings(), 0, "sin(2*pi*x)*n/N", &Frame().View(), [](auto) {}));
            }
            break;
        }
        WaitFor([] { return false; }, 20ms);
    }
    if (canceller.joinable()) canceller.join();
    if (const auto run = Settings().Sweep()) run->RequestStop(SweepStopChoice::KeepLast);
    Frame().Session().Wake();
    EXPECT_TRUE(WaitFor([&] { return SessionIdle(Settings()) && !Frame().View().LongJobRunning(); }, 60s));
    EXPECT_EQ(Settings().LastStatus(), GeneratorStatus::Ok);
    EXPECT_GT(Frame().View().RenderCount(), rendersBefore);
    EXPECT_NE(Settings().Sweep(), nullptr) << "no sweep ran";
}

// A mono 16-bit WAV file of `frames` samples, a slow ramp.
void WriteWav(const QString& path, std::uint32_t frames) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const auto u32 = [](std::uint32_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [](std::uint16_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
    file.write("RIFF" + u32(36 + 2 * frames) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(48000) + u32(96000) +
               u16(2) + u16(16) + "data" + u32(2 * frames));
    std::vector<std::int16_t> block(1 << 16);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::int16_t>(i / 4);
    for (std::uint32_t at = 0; at < frames; at += block.size())
        file.write(reinterpret_cast<const char*>(block.data()),
                   static_cast<qint64>(std::min<std::size_t>(block.size(), frames - at) * 2));
}

// A .qwf file of `points` samples, 0.5 V each, ten to a line.
void WriteQwf(const QString& path, std::uint32_t points) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#Total=2.5E+008\r\n#SAMPLE=0\r\n#SIZE=" + QByteArray::number(points) + "\r\n#Freq=1\r\n");
    const QByteArray line = QByteArray("    5.0000E-01,").repeated(10) + "\r\n";
    const QByteArray block = line.repeated(1000);
    for (std::uint32_t at = 0; at < points; at += 10'000) file.write(block);
}

// Formula, imports, resize and the printed page's pass over 16 M points:
// each runs on the view's worker under the progress dialog, the interface
// never stands still for long (the bound leaves room for a loaded machine:
// the work itself takes seconds), the commands that edit the waveform wait,
// and Escape halfway leaves the waveform and its undo steps as they were;
// run to its end, it is applied as one undo step. Undo and redo of the
// last whole replacement run at once, as quickly.
TEST_F(ProgramThreads, LongOperationsKeepTheInterfaceAnsweringAndCancelHalfwayChangingNothing) {
    StartFrame();
    // A sanitizer slows every point tenfold: a smaller waveform (still a
    // long job) and a bound that only catches a real freeze.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    constexpr std::uint32_t kPoints = 1U << 20;
    constexpr auto kSilenceBound = 1000ms;
    constexpr bool kHalfway = false;  // too short to be caught halfway
#else
    constexpr std::uint32_t kPoints = 1U << 24;
    // Other tests share the two cores in CI: a scheduling delay is not a
    // freeze, a formula or import on the interface thread (seconds) is.
    constexpr auto kSilenceBound = 300ms;
    constexpr bool kHalfway = true;
#endif
    const QString wav = ProgramFolder() + "/long.wav";
    WriteWav(wav, kPoints);
    const QString qwf = ProgramFolder() + "/long.qwf";
    WriteQwf(qwf, kPoints / 4);
    Settings().SetWaveType(0, kWaveArbitrary);
    Settings().ResizeArbitrary(0, kPoints);
    Settings().ModifyRecord(0, [](ChannelRecord& r) {
        for (std::size_t i = 0; i < r.arbitrarySamples.size(); ++i) r.arbitrarySamples[i] = (i % 1000) * 1e-3;
    });
    Frame().UpdateCommandStates();
    // Every step kept, so that each one applied is one more.
    Settings().History().SetLimits(std::size_t{2} << 30, 100);
    const auto edit = [&](int command) {
        return [this, command] {
            Frame().UpdateCommandStates();
            ASSERT_TRUE(Frame().Action(command)->isEnabled());
            Frame().RunCommand(command);
        };
    };
    const auto import = [&](const QString& file) {
        return [this, file] {
            chosenFile_ = file;
            Frame().RunCommand(kCmdImportData);
        };
    };
    const struct {
        const char* what;
        std::function<void()> start;
        bool job;          // else done at once: no dialog, nothing to cancel
        bool seenHalfway;  // else cancelled at once: a resize takes a few milliseconds
        int stepsAdded;    // undo steps when run to its end
    } operations[] = {
        {"formula", [&] { RunLongJob(FormulaJob(Settings(), 0, "sin(2*pi*x)", &Frame().View(), [](auto) {})); }, true,
         true, 1},
        {"import", import(wav), true, true, 1},
        {"resize", [&] { RunLongJob(ResizeJob(Settings(), 0, kPoints + 1024, nullptr)); }, true, false, 1},
        // The page of the sanitizers' smaller waveform is made at once, without a job.
        {"print preview", edit(kCmdPrintPreview), kHalfway, false, 0},
        {".qwf import", import(qwf), true, true, 1},
        {"undo of the whole replacement", edit(kCmdUndo), false, false, -1},
        {"redo", edit(kCmdRedo), false, false, 1},
    };
    // Closes the print preview once it shows the page.
    ModalAnswerer answerer([](QWidget* window, int ticks) {
        if (ticks < 2) return std::string();
        ModalAnswerer::Close(window);
        return std::string("closed");
    });
    InterfaceWatchdog watchdog([] { return std::string("a long operation"); });
    for (const auto& operation : operations) {
        for (const bool cancel : {true, false}) {
            if (cancel && !operation.job) continue;
            SCOPED_TRACE(std::string(operation.what) + (cancel ? ", cancelled" : ", to its end"));
            const std::vector<double> before =
                Settings().ReadRecord(0, [](const ChannelRecord& r) { return r.arbitrarySamples; });
            const std::size_t steps = Settings().History().UndoSteps(0);
            messages_.clear();
            // The copy above is the test's time, not the program's: the
            // watchdog's own thread may still be measuring it, so it is
            // given a few beats before its record is cleared.
            watchdog.Beat();
            WaitFor([] { return false; }, 50ms);
            watchdog.TakeLongestSilence();
            operation.start();
            // The dialog is gone once the job has ended: held weakly.
            const QPointer<CDlgProgressBar> dialog = Frame().View().LongJobDialog();
            if (operation.job) {
                ASSERT_NE(dialog, nullptr);
                ASSERT_NE(dialog->CancelButton(), nullptr);
                EXPECT_FALSE(Frame().Action(kCmdFormula)->isEnabled());
                EXPECT_FALSE(Frame().Action(kCmdImportData)->isEnabled());
                EXPECT_FALSE(Frame().Action(kCmdPrintPreview)->isEnabled());
            }
            if (cancel) {
                if (kHalfway && operation.seenHalfway)
                    WaitFor([&] { return !dialog || dialog->Position() >= 25; }, 60s);
                ASSERT_NE(dialog, nullptr) << "the job ended before it could be cancelled";
                QTest::keyClick(dialog, Qt::Key_Escape);
            }
            ASSERT_TRUE(WaitFor([&] { return !Frame().View().LongJobRunning(); }, 60s));
            EXPECT_LE(watchdog.TakeLongestSilence(), kSilenceBound);
            EXPECT_TRUE(Frame().Action(kCmdFormula)->isEnabled());
            const ChannelRecord after = Settings().Record(0);
            if (cancel) {
                EXPECT_TRUE(after.arbitrarySamples == before);
                EXPECT_EQ(Settings().History().UndoSteps(0), steps);
                EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
            } else {
                EXPECT_EQ(after.arbitrarySamples == before, operation.stepsAdded == 0);
                EXPECT_EQ(static_cast<long long>(Settings().History().UndoSteps(0)),
                          static_cast<long long>(steps) + operation.stepsAdded);
            }
        }
    }
}

}  // namespace
}  // namespace zorbel::test
