// What the tests of the whole program share: waiting with the event loop
// running, a watchdog on the interface thread, an answerer for the modal
// windows a command opens, and the invariants between the model, its limits
// and what the generator simulator holds.
#pragma once

#include <QPointer>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "shell_fixture.h"  // WaitFor

class QTimer;

namespace zorbel {
class DeviceSettings;
}

namespace zorbel::test {

class UdpClient;

// The session has no job and nothing queued.
bool SessionIdle(const DeviceSettings& settings);

// Watches the interface thread: a timer of its event loop (nested loops of
// modal windows included) beats every 20 ms, a thread of its own measures the
// longest silence. A silence of `abortAfter` is a hang: the test program then
// prints `what` (a seed, a step) and aborts instead of waiting forever.
class InterfaceWatchdog {
public:
    explicit InterfaceWatchdog(std::function<std::string()> what,
                               std::chrono::milliseconds abortAfter = std::chrono::seconds(30));
    ~InterfaceWatchdog();
    InterfaceWatchdog(const InterfaceWatchdog&) = delete;
    InterfaceWatchdog& operator=(const InterfaceWatchdog&) = delete;

    // Longest time without a beat since the last call, and restarts it.
    std::chrono::milliseconds TakeLongestSilence();
    // A beat now: time spent on purpose outside the event loop does not count.
    void Beat();

private:
    static long long Now();
    QTimer* timer_;
    std::function<std::string()> what_;
    std::atomic<long long> lastBeatUs_;
    std::atomic<long long> longestUs_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Answers the modal windows and popup menus that open while a command runs
// (message boxes, dialogs, print dialogs), as a user does: each tick it looks
// at the topmost one; `answer` acts on it (posted, so that a window it opens
// in turn is answered as well). The progress dialog of a job is left alone:
// it closes by itself.
class ModalAnswerer {
public:
    // Returns what it did, for the test's log; empty when it did nothing.
    using Answer = std::function<std::string(QWidget* window, int ticksOpen)>;
    explicit ModalAnswerer(Answer answer);
    ~ModalAnswerer();
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    // The topmost modal window or popup menu other than the progress dialog.
    static QWidget* OpenWindow();
    // Closes `window` the way its kind allows (reject, CloseNow, close).
    static void Close(QWidget* window);
    std::vector<std::string> TakeLog();

private:
    QTimer* timer_;
    Answer answer_;
    QPointer<QWidget> current_;
    int ticks_ = 0;
    std::vector<std::string> log_;
};

// Every numeric setting of both outputs of the simulator lies within the
// limits the program holds for that channel: the broken rules as texts.
std::vector<std::string> SimulatorOutsideLimits(UdpClient& simulator, const DeviceSettings& settings);
// The model's records keep their own rules: values within their limits,
// arbitrary point count within the samples, view window within the points.
std::vector<std::string> RecordsOutsideLimits(const DeviceSettings& settings);

}  // namespace zorbel::test
