// The calibration command (Ctrl+Alt+F12, and Ctrl+Shift+F12 where the
// desktop keeps Ctrl+Alt+F-keys for itself): opens the calibration dialog
// over `parent` when the generator is idle and answering, for as long as the
// dialog is open. The waveform view owns the keys and calls it through its
// calibration hook.
#pragma once

#include "program_profile.h"
#include "session_bridge.h"

class QWidget;

namespace zorbel {

// True when the calibration may not start: a job is running or the last
// generator call did not succeed.
bool CalibrationRefused(const DeviceSettings& settings);

// Refused: "No Device Found!" (ShowMessage). Otherwise the run state becomes
// idle, job flag Calibration is set, the dialog runs modally with the
// worker's calibration notices routed to it through `session`, and the flag
// is cleared when it closes, the dialog's last run telling how the job ended.
// The dialog's choices (channel, steps, repeat limit) are kept between
// openings within one run of the program; the report goes into
// `paths.folder`. Interface thread only; returns when the dialog has closed
// (at the latest when `session` shuts down).
void OpenCalibration(QWidget* parent, DeviceSettings& settings, SessionBridge& session, const ProgramPaths& paths);

}  // namespace zorbel
