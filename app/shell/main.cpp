// Zorbel: the graphical program.
//
// --help and --version answer before the application object exists, so they
// work without a display (the manual page is made from --help).
// ZORBEL_STARTUP_TIMING=1 writes to standard error how long it took until the
// main window was first shown (painted), from main() and from process start.
#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "main_frame.h"
#include "termination_signals.h"
#include "zorbel_app.h"

namespace {

constexpr const char* kHelp =
    R"(Usage: Zorbel [Qt options]

Control software for a two-channel DDS signal generator: wave type and
parameters per channel, outputs on and off, settings sent and read back over
USB or the network, arbitrary waveforms drawn, loaded and downloaded, setups
kept in files, calibration against a USB oscilloscope.

Options:
  -h, --help     show this help and exit
  --version      show the version and exit
  Qt's own options apply as well, for example -platform offscreen, -style NAME.

Environment:
  QRV_USB_ID=vvvv:pppp        the generator's USB vendor and product id
  QRV_USB_DEVICE=unix:PATH    use the generator simulator's virtual USB device
  QRV_LAN_ADDRESS=A.B.C.D     the generator's network address until one is chosen
  QMK_USB_ID=vvvv:pppp        the oscilloscope's USB id(s), separated by commas
  QMK_SCOPE_DEVICE=unix:PATH  use the oscilloscope simulator's virtual device
  ZORBEL_STARTUP_TIMING=1     print how long the main window took to appear

Exit status: 0 when the window was closed, 1 when the program could not start.
)";

// --help or --version among the arguments: prints the answer and returns true.
bool AnswerInformationOption(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Zorbel %s\n", ZORBEL_VERSION);
            return true;
        }
    }
    return false;
}

// Seconds since this process started, from /proc (clock-tick resolution).
double SecondsSinceProcessStart() {
    std::ifstream statFile("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    const auto afterName = stat.rfind(')');
    std::ifstream uptimeFile("/proc/uptime");
    double uptime = 0.0;
    if (afterName == std::string::npos || !(uptimeFile >> uptime)) return -1.0;
    std::istringstream fields(stat.substr(afterName + 2));
    std::string field;
    // Field 22 (starttime); fields 1 and 2 are before the ")".
    for (int i = 3; i <= 22 && (fields >> field); ++i) {}
    return uptime - std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Reports once, after the first exposure of the window has been painted.
class FirstShowTimer final : public QObject {
public:
    explicit FirstShowTimer(std::chrono::steady_clock::time_point start) : start_(start) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && !reported_) {
            reported_ = true;
            watched->removeEventFilter(this);
            QTimer::singleShot(0, [start = start_] {
                const auto ms =
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
                std::fprintf(stderr, "Zorbel: main window shown %.0f ms after main(), %.0f ms after process start\n",
                             ms, SecondsSinceProcessStart() * 1000.0);
            });
        }
        return false;
    }

private:
    std::chrono::steady_clock::time_point start_;
    bool reported_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    const auto start = std::chrono::steady_clock::now();
    if (AnswerInformationOption(argc, argv)) return 0;
    QApplication application(argc, argv);
    zorbel::CZorbelApp zorbel(zorbel::ProgramPaths::FromExecutable());
    FirstShowTimer timer(start);
    if (!zorbel.InitInstance()) return 1;
    zorbel::CloseOnTerminationSignals(zorbel.MainFrame());
    if (qEnvironmentVariableIsSet("ZORBEL_STARTUP_TIMING"))
        if (QWindow* window = zorbel.MainFrame()->windowHandle()) window->installEventFilter(&timer);
    return QApplication::exec();
}
