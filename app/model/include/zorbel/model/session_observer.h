// What the instrument session tells its user: the program's frame and view,
// a command-line tool (which may ignore the notices), or a test (which
// records them).
//
// Notices come from the worker thread (ServiceQueue) and, for RequestRefresh,
// also from the user-interface thread (SetZoomTool). No lock of the model is
// held during a notice, so an implementation may call back into the model.
//
// Two kinds:
// - Sent notices (UpdatePanel, CalibrationStep): the worker waits until the
//   call returns, typically while the user-interface thread reacts. The
//   worker passes its stop token and sends nothing once a stop has been
//   requested; an implementation that waits for another thread must also
//   stop waiting as soon as `stopping` is requested (a std::stop_callback
//   that wakes its wait), because the user that stops the worker then joins
//   it and can no longer serve the notice. That is what keeps a stop from
//   deadlocking against a notice under way.
// - Posted notices (ShowProgress, RequestRefresh): must return at once,
//   without waiting for another thread.
#pragma once

#include <cstdint>
#include <stop_token>

#include "zorbel/model/session_state.h"

namespace zorbel {

class SessionObserver {
public:
    virtual ~SessionObserver() = default;

    // Sent: a read-settings or write-settings batch has ended; the panel is
    // to show the model's values.
    virtual void UpdatePanel(std::stop_token /*stopping*/) {}

    // Sent to the calibration dialog after each command executed during the
    // calibration job; the dialog reacts before the next command runs.
    virtual void CalibrationStep(std::uint16_t /*commandCode*/, std::stop_token /*stopping*/) {}

    // Posted: a batch or an arbitrary chunk was queued; `jobFlags` are the
    // job flags at that moment.
    virtual void ShowProgress(Job /*jobFlags*/) {}

    // Posted: the view is to redraw `mask` (Annotations after a settings
    // batch, Everything after a zoom tool change).
    virtual void RequestRefresh(RefreshMask /*mask*/) {}
};

}  // namespace zorbel
