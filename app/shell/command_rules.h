// When each command is enabled and checked, as plain functions of a snapshot
// of the model and the frame, so that menu and toolbar show the same state
// and the rules are tested without a window.
#pragma once

#include <cstdint>
#include <optional>

#include "zorbel/model/device_settings.h"

namespace zorbel {

// What the rules read, taken in one place on the interface thread.
struct CommandSnapshot {
    // Current channel.
    std::uint16_t waveType = kWaveSine;
    std::uint32_t arbitraryPointCount = 0;
    std::uint32_t viewFirst = 0;  // visible arbitrary points
    std::uint32_t viewLast = 0;
    double viewLower = 0.0;  // visible voltage window, volts
    double viewUpper = 0.0;
    double amplitudeMaximum = 0.0;  // first value of the channel's limits
    ZoomTool zoomBits = ZoomTool::None;
    // Session.
    bool demo = true;
    bool sync = false;
    // Frame and view.
    int displayStyle = 1;  // 1 vectors, 0 dots
    bool controlBarVisible = true;
    bool toolBarVisible = true;
    bool statusBarVisible = true;
    int currentLanguage = -1;
    int languageCount = 0;
    int applicationLook = 0;
    // The current channel's undo history.
    bool canUndo = false;
    bool canRedo = false;
};

// Reads the current channel's part of the snapshot and the session flags.
CommandSnapshot SnapshotOf(const DeviceSettings& settings);

struct CommandState {
    bool enabled = true;
    bool checked = false;
};

CommandState EvaluateCommand(int command, const CommandSnapshot& snapshot);

// The zoom tool bit (1, 2, 4, 16, 32, 64) a zoom command chooses.
std::optional<ZoomTool> ZoomToolOfCommand(int command);

// A zoom tool whose bit is still set although its command is disabled: the
// frame chooses it once more (SetZoomTool), which clears the bit. Nothing
// when no bit is left over.
std::optional<ZoomTool> LeftOverZoomTool(const CommandSnapshot& snapshot);

}  // namespace zorbel
