// Calls handed from the session worker to the interface thread.
#include "session_bridge.h"

#include <utility>

namespace zorbel {

SessionBridge::SessionBridge(DeviceSettings& settings)
    : settings_(settings), context_(std::make_unique<HandOver>()), pump_(settings) {}

SessionBridge::~SessionBridge() { Shutdown(); }

void SessionBridge::Start() {
    settings_.SetObserver(this);
    pump_.Start();
}

void SessionBridge::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    handled_.notify_all();  // a worker waiting in UpdatePanel or CalibrationStep returns
    pump_.Stop();
    settings_.SetObserver(nullptr);
    // Only now, with the worker gone: a dialog that closes cannot leave it waiting.
    if (calibration_.closing) std::exchange(calibration_, {}).closing();
}

bool SessionBridge::Closing() {
    std::lock_guard lock(mutex_);
    return closing_;
}

void SessionBridge::SetCalibrationHandlers(CalibrationHandlers handlers) {
    calibration_ = std::move(handlers);
    std::lock_guard lock(mutex_);
    calibrationOpen_ = static_cast<bool>(calibration_.step);
}

void SessionBridge::UpdatePanel(std::stop_token stopping) {
    if (Closing() || !handlers_.updatePanel) return;
    Send([this] { handlers_.updatePanel(); }, stopping);
}

void SessionBridge::CalibrationStep(std::uint16_t commandCode, std::stop_token stopping) {
    {
        std::lock_guard lock(mutex_);
        if (closing_ || !calibrationOpen_) return;
    }
    // The dialog may have gone by the time the invocation runs.
    Send(
        [this, commandCode] {
            if (calibration_.step) calibration_.step(commandCode);
        },
        stopping);
}

void SessionBridge::Send(std::function<void()> handle, std::stop_token stopping) {
    // Shared with the invocation, which may run after this call has given up.
    auto done = std::make_shared<bool>(false);
    context_->Post([this, done, handle = std::move(handle)] {
        if (!Closing()) handle();
        {
            std::lock_guard lock(mutex_);
            *done = true;
        }
        handled_.notify_all();
    });
    // A stop of the worker ends the wait as closing does, whoever stops it.
    const std::stop_callback wakeOnStop(stopping, [this] {
        std::lock_guard lock(mutex_);
        handled_.notify_all();
    });
    std::unique_lock lock(mutex_);
    handled_.wait(lock, [&] { return *done || closing_ || stopping.stop_requested(); });
}

void SessionBridge::ShowProgress(Job jobFlags) {
    if (Closing() || !handlers_.showProgress) return;
    context_->Post([this, jobFlags] {
        if (!Closing()) handlers_.showProgress(jobFlags);
    });
}

void SessionBridge::RequestRefresh(RefreshMask mask) {
    if (!Closing() && handlers_.redraw) handlers_.redraw(mask);
}

}  // namespace zorbel
