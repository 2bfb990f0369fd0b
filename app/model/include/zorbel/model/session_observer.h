// What the instrument session tells the outside world. The view turns these
// calls into queued (posted) or blocking queued (sent) invocations on its own
// thread; a command-line tool may ignore or log them; tests record them.
//
// Calls come from the worker thread (ServiceQueue) and, for RequestRefresh,
// also from the user-interface thread (SetZoomTool). No lock of the model is
// held during a call, so an implementation may call back into the model.
#pragma once

#include <cstdint>

namespace zorbel {

// Window message numbers of the design, for receivers that keep them.
inline constexpr std::uint32_t WM_UPDATE_PANEL = 0x464;
inline constexpr std::uint32_t WM_SHOW_PROGRESS = 0x465;
inline constexpr std::uint32_t WM_CALIBRATION_STEP = 0x466;

// Refresh mask values (view layers to redraw).
inline constexpr std::uint32_t kRefreshAnnotations = 0xFF;
inline constexpr std::uint32_t kRefreshEverything = 0xFFF;

class SessionObserver {
public:
    virtual ~SessionObserver() = default;

    // WM_UPDATE_PANEL, sent: a read-settings or write-settings batch has ended.
    // The worker waits until it returns. An implementation that blocks on
    // another thread must stop doing so once that thread stops serving it.
    virtual void UpdatePanel() {}

    // WM_SHOW_PROGRESS, posted: a batch or an arbitrary chunk was queued;
    // `jobFlags` are the job flags at that moment. Must not block.
    virtual void ShowProgress(std::uint16_t /*jobFlags*/) {}

    // WM_CALIBRATION_STEP, sent to the calibration dialog after each command
    // executed during the calibration job; `commandCode` is wParam.
    virtual void CalibrationStep(std::uint16_t /*commandCode*/) {}

    // The view's refresh mask is to become `mask` (0xFF after a settings
    // batch, 0xFFF after a zoom tool change).
    virtual void RequestRefresh(std::uint32_t /*mask*/) {}
};

}  // namespace zorbel
