// The program's threads together, for ThreadSanitizer: the interface thread
// runs Read and Write Operations, downloads, edits, redraws, resizes and
// language switches for a few seconds, while the session worker talks to
// zorbel-gensim and the view's display thread renders. Repeated in CI.
#include <QApplication>

#include <chrono>

#include "menu_template.h"
#include "program_harness.h"
#include "shell_fixture.h"
#include "sim_process.h"
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
    const std::uint64_t rendersBefore = Frame().View().RenderCount();

    const auto end = std::chrono::steady_clock::now() + 3s;
    for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
        const auto channel = static_cast<std::uint16_t>(round / 10 % 2);
        switch (round % 10) {
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
            Frame().RunCommand(round / 10 % 2 ? kCmdDefaultLanguage : kCmdFirstLanguage);
            break;
        case 4:
            // An edit as the pages make it: store, queue, redraw.
            Settings().SetParameter(channel, Parameter::Frequency, 1000.0 + round);
            Frame().View().RequestRedraw(RefreshMask::Waveform);
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
            Frame().RunCommand(round / 10 % 2 ? kCmdDots : kCmdVectors);
            break;
        case 8:
            Settings().ModifyRecord(1, [round](ChannelRecord& r) { r.arbitrarySamples[round % 16384] = 1.0; });
            Frame().View().ArbitraryPointsChanged(1, round % 16384, round % 16384);
            Frame().View().RequestRedraw(RefreshMask::Waveform);
            break;
        default:
            Frame().View().CompositeImage();  // what Save Image takes
            Frame().UpdateStatus();
            break;
        }
        WaitFor([] { return false; }, 20ms);
    }
    EXPECT_TRUE(WaitFor([&] { return SessionIdle(Settings()); }, 60s));
    EXPECT_EQ(Settings().LastStatus(), GeneratorStatus::Ok);
    EXPECT_GT(Frame().View().RenderCount(), rendersBefore);
}

}  // namespace
}  // namespace zorbel::test
