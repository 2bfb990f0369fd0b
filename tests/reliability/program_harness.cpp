// Waiting, the interface watchdog, the modal answerer and the invariants of
// the program tests.
#include "program_harness.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "sim_clients.h"
#include "zorbel/dialogs/calibrate.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/numbers.h"
#include "zorbel/view/progress_bar.h"

namespace zorbel::test {

using namespace std::chrono_literals;

bool SessionIdle(const DeviceSettings& settings) { return settings.JobFlags() == Job::None && settings.IsIdle(); }

// ---- InterfaceWatchdog

long long InterfaceWatchdog::Now() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

InterfaceWatchdog::InterfaceWatchdog(std::function<std::string()> what, std::chrono::milliseconds abortAfter)
    : timer_(new QTimer), what_(std::move(what)), lastBeatUs_(Now()) {
    QObject::connect(timer_, &QTimer::timeout, [this] { Beat(); });
    timer_->start(20);
    const long long abortUs = std::chrono::duration_cast<std::chrono::microseconds>(abortAfter).count();
    thread_ = std::thread([this, abortUs] {
        while (!stop_) {
            std::this_thread::sleep_for(10ms);
            const long long silence = Now() - lastBeatUs_;
            long long longest = longestUs_;
            while (silence > longest && !longestUs_.compare_exchange_weak(longest, silence)) {}
            if (silence > abortUs) {
                // A hang never ends the test by itself: say where it was and stop.
                std::fprintf(stderr, "interface thread silent for %lld ms at %s\n", silence / 1000, what_().c_str());
                std::abort();
            }
        }
    });
}

InterfaceWatchdog::~InterfaceWatchdog() {
    stop_ = true;
    thread_.join();
    delete timer_;
}

void InterfaceWatchdog::Beat() { lastBeatUs_ = Now(); }

std::chrono::milliseconds InterfaceWatchdog::TakeLongestSilence() {
    return std::chrono::milliseconds(longestUs_.exchange(0) / 1000);
}

// ---- ModalAnswerer

ModalAnswerer::ModalAnswerer(Answer answer) : timer_(new QTimer), answer_(std::move(answer)) {
    QObject::connect(timer_, &QTimer::timeout, [this] {
        QWidget* window = OpenWindow();
        if (window != current_) {
            current_ = window;
            ticks_ = 0;
        }
        if (!window) return;
        // Posted: the answer may open a modal window of its own, whose
        // nested loop must not run inside this timer (Qt does not fire a
        // timer again while its handler runs).
        QTimer::singleShot(0, window, [this, window, ticks = ticks_++] {
            if (window != OpenWindow()) return;  // gone, or something opened over it
            const std::string did = answer_(window, ticks);
            if (!did.empty()) log_.push_back(did);
        });
    });
    timer_->start(10);
}

ModalAnswerer::~ModalAnswerer() { delete timer_; }

QWidget* ModalAnswerer::OpenWindow() {
    if (QWidget* popup = QApplication::activePopupWidget()) return popup;
    QWidget* modal = QApplication::activeModalWidget();
    if (dynamic_cast<CDlgProgressBar*>(modal)) return nullptr;  // it has no Q_OBJECT
    return modal;
}

void ModalAnswerer::Close(QWidget* window) {
    if (auto* calibration = qobject_cast<CDlgCalibrate*>(window))
        calibration->CloseNow();  // the only way out but its own button
    else if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->reject();
    else
        window->close();
}

std::vector<std::string> ModalAnswerer::TakeLog() { return std::exchange(log_, {}); }

// ---- Invariants

namespace {

// Where each setting lives on the simulator, and its scale there (duty and
// symmetry are percent on the instrument, fractions in the program).
struct SimulatorSetting {
    Parameter parameter;
    const char* header;
    double scale;
};

constexpr SimulatorSetting kSimulatorSettings[] = {
    {Parameter::Amplitude, "VOLTage", 1.0},
    {Parameter::Frequency, "FREQuency", 1.0},
    {Parameter::Offset, "VOLTage:OFFSet", 1.0},
    {Parameter::Phase, "PHASe", 1.0},
    {Parameter::SquareDuty, "FUNCtion:SQUare:DCYCle", 100.0},
    {Parameter::RampSymmetry, "FUNCtion:RAMP:SYMMetry", 100.0},
    {Parameter::PulseDuty, "FUNCtion:PULSe:DCYCle", 100.0},
    {Parameter::PulseWidth, "FUNCtion:PULSe:WIDTh", 1.0},
    {Parameter::PulseLeading, "FUNCtion:PULSe:TRANsition:LEADing", 1.0},
    {Parameter::PulseTrailing, "FUNCtion:PULSe:TRANsition:TRAiling", 1.0},
};

// Within [minimum, maximum], allowing for the last of six digits.
bool Within(double value, double minimum, double maximum) {
    const double slack = 1e-9 * std::max(std::abs(minimum), std::abs(maximum));
    return value >= minimum - slack && value <= maximum + slack;
}

std::string Describe(int channel, Parameter p, double value, double minimum, double maximum) {
    return "CH" + std::to_string(channel + 1) + " " + kParameters[Index(p)].name + " " + FormatWindowsG(value) +
           " outside " + FormatWindowsG(minimum) + " .. " + FormatWindowsG(maximum);
}

}  // namespace

std::vector<std::string> SimulatorOutsideLimits(UdpClient& simulator, const DeviceSettings& settings) {
    std::vector<std::string> broken;
    for (int channel = 0; channel < 2; ++channel) {
        const LimitsBlock limits = settings.CopyLimits(static_cast<std::uint16_t>(channel));
        for (const SimulatorSetting& s : kSimulatorSettings) {
            const std::string query = "SOURce" + std::to_string(channel + 1) + ":" + s.header + "?";
            const auto answer = simulator.Ask(query);
            double value = 0;
            if (!answer || !ParseDouble(*answer, value)) {
                broken.push_back(query + " not answered");
                continue;
            }
            value /= s.scale;
            if (!Within(value, limits.Minimum(s.parameter), limits.Maximum(s.parameter)))
                broken.push_back("simulator " + Describe(channel, s.parameter, value, limits.Minimum(s.parameter),
                                                         limits.Maximum(s.parameter)));
        }
    }
    return broken;
}

std::vector<std::string> RecordsOutsideLimits(const DeviceSettings& settings) {
    std::vector<std::string> broken;
    for (int channel = 0; channel < 2; ++channel) {
        const std::string ch = "CH" + std::to_string(channel + 1) + " ";
        // Read in place: a copy of a waveform of millions of points after
        // every step made a long run crawl.
        settings.ReadRecord(static_cast<std::uint16_t>(channel), [&](const ChannelRecord& r) {
            for (std::size_t n = 0; n < kParameterCount; ++n) {
                const Parameter p = ParameterAt(n);
                if (!Within(r.Value(p), r.limits.Minimum(p), r.limits.Maximum(p)))
                    broken.push_back("model " +
                                     Describe(channel, p, r.Value(p), r.limits.Minimum(p), r.limits.Maximum(p)));
            }
            if (!IsValidWaveType(r.waveType)) broken.push_back(ch + "wave type " + std::to_string(r.waveType));
            if (r.outputState > 1) broken.push_back(ch + "output state " + std::to_string(r.outputState));
            if (r.arbitraryPointCount > r.arbitrarySamples.size() || r.arbitraryPointCount % 16 != 0)
                broken.push_back(ch + std::to_string(r.arbitraryPointCount) + " points of " +
                                 std::to_string(r.arbitrarySamples.size()) + " samples");
            if (r.arbitraryPointCount > 0 &&
                (r.arbitraryViewFirst > r.arbitraryViewLast || r.arbitraryViewLast >= r.arbitraryPointCount))
                broken.push_back(ch + "view window " + std::to_string(r.arbitraryViewFirst) + ".." +
                                 std::to_string(r.arbitraryViewLast) + " of " + std::to_string(r.arbitraryPointCount));
            if (r.arbitraryDivider > kMaxArbitraryDivider)
                broken.push_back(ch + "divider " + std::to_string(r.arbitraryDivider));
            if (r.previewPointCount > r.previewSamples.size())
                broken.push_back(ch + "preview of " + std::to_string(r.previewPointCount) + " points");
        });
    }
    if (settings.CurrentChannel() > 1) broken.push_back("current channel " + std::to_string(settings.CurrentChannel()));
    return broken;
}

}  // namespace zorbel::test
