// The display thread's loop.
#include "zorbel/view/display_thread.h"

namespace zorbel {

DisplayThread::DisplayThread(Step step, std::chrono::milliseconds period) : step_(std::move(step)), period_(period) {}

void DisplayThread::Start() {
    if (thread_.joinable()) return;
    thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

void DisplayThread::Stop() {
    if (!thread_.joinable()) return;
    thread_.request_stop();  // wakes the waits below through their stop token
    thread_.join();
    thread_ = {};
}

void DisplayThread::Request(RefreshMask mask) {
    if (mask == RefreshMask::None) return;
    mask_.fetch_or(ToNumber(mask));
    // Taking the mutex orders this store before the thread's next look at the
    // mask, so the notification cannot fall between its check and its wait.
    { std::lock_guard lock(mutex_); }
    wake_.notify_one();
}

void DisplayThread::Run(std::stop_token stop) {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (!wake_.wait(lock, stop, [this] { return mask_.load() != 0; })) return;
        }
        step_(static_cast<RefreshMask>(mask_.exchange(0)));
        // The pause gathers the requests of a drag or a burst into one step.
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, stop, period_, [] { return false; });
        if (stop.stop_requested()) return;
    }
}

}  // namespace zorbel
