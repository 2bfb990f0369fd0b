// The view's display thread: runs a render step whenever layers are to be
// redrawn, at most once per period, and sleeps without waking while nothing
// changes. Qt-free: the view supplies the step, tests a recording one.
//
// The refresh mask is taken atomically at the start of a step, so a request
// stored while a step runs is drawn by the next one, never lost. Stopping is
// cooperative: the step under way finishes, then the thread is joined.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "zorbel/model/session_state.h"

namespace zorbel {

class DisplayThread {
public:
    static constexpr std::chrono::milliseconds kPeriod{5};
    using Step = std::function<void(RefreshMask mask)>;

    explicit DisplayThread(Step step, std::chrono::milliseconds period = kPeriod);
    ~DisplayThread() { Stop(); }
    DisplayThread(const DisplayThread&) = delete;
    DisplayThread& operator=(const DisplayThread&) = delete;

    void Start();  // no effect while running
    // Lets the step under way finish and joins the thread. Not from the step itself.
    void Stop();
    bool Running() const { return thread_.joinable(); }

    // Adds layers to redraw; any thread, also from within a step.
    void Request(RefreshMask mask);
    // What the next step will draw (None when nothing is pending).
    RefreshMask Pending() const { return static_cast<RefreshMask>(mask_.load()); }

private:
    void Run(std::stop_token stop);

    const Step step_;
    const std::chrono::milliseconds period_;
    std::atomic<std::uint32_t> mask_{0};
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::jthread thread_;
};

}  // namespace zorbel
