// The session worker of the program and the way its notices reach the
// interface thread. "Sent" notices (UpdatePanel, CalibrationStep) wait until
// the interface has handled them, "posted" ones (ShowProgress) do not; both
// are calls handed to the interface thread.
//
// Shutdown never deadlocks against a sent notice: closing first releases a
// worker that waits for the interface and makes later notices return at once,
// and only then is the worker joined.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>

#include "zorbel/model/session_observer.h"
#include "zorbel/model/session_pump.h"
#include "zorbel/view/hand_over.h"

namespace zorbel {

class SessionBridge final : public SessionObserver {
public:
    // Handlers run on the interface thread (the one that creates the bridge),
    // except `redraw`, which is called on whichever thread asks for a redraw.
    struct Handlers {
        std::function<void()> updatePanel;
        std::function<void(Job jobFlags)> showProgress;
        std::function<void(RefreshMask mask)> redraw;
    };

    explicit SessionBridge(DeviceSettings& settings);
    ~SessionBridge() override;  // Shutdown()
    SessionBridge(const SessionBridge&) = delete;
    SessionBridge& operator=(const SessionBridge&) = delete;

    void SetHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

    // The calibration dialog while it is open. `step` runs on the interface
    // thread for each CalibrationStep notice while the worker waits for it
    // (the dialog's reaction queues the next command, or posts its question,
    // asked once the worker is released);
    // `closing` runs once when the session shuts down under the dialog.
    // Without handlers a notice returns at once. Interface thread only.
    struct CalibrationHandlers {
        std::function<void(std::uint16_t commandCode)> step;
        std::function<void()> closing;
    };
    void SetCalibrationHandlers(CalibrationHandlers handlers);
    void ClearCalibrationHandlers() { SetCalibrationHandlers({}); }
    // Becomes the settings' observer and starts the worker.
    void Start();
    // Stops serving notices, lets the worker finish its step and joins it.
    // Interface thread only; further calls do nothing.
    void Shutdown();
    // Runs the next worker step now (after a job trigger).
    void Wake() { pump_.Wake(); }
    SessionPump& Pump() { return pump_; }

    // SessionObserver, on the worker thread (RequestRefresh also on the interface thread).
    void UpdatePanel(std::stop_token stopping) override;
    void CalibrationStep(std::uint16_t commandCode, std::stop_token stopping) override;
    void ShowProgress(Job jobFlags) override;
    void RequestRefresh(RefreshMask mask) override;

private:
    bool Closing();
    // Runs `handle` on the interface thread and waits until it has run, the
    // bridge closes or the worker is asked to stop.
    void Send(std::function<void()> handle, std::stop_token stopping);

    DeviceSettings& settings_;
    Handlers handlers_;
    CalibrationHandlers calibration_;  // the interface thread's
    bool calibrationOpen_ = false;     // for the worker, under mutex_
    // Lives on the interface thread: where the worker's calls are handed
    // over. Calls still waiting when it goes are dropped with it.
    std::unique_ptr<HandOver> context_;
    std::mutex mutex_;
    std::condition_variable handled_;
    bool closing_ = false;
    bool shutDown_ = false;
    SessionPump pump_;  // last: stopped before the rest goes
};

}  // namespace zorbel
