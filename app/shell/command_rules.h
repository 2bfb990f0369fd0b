// What the command state rules read, taken in one place on the interface
// thread, and the rules several commands share. Each command's rule is a
// plain function of this snapshot (its row in menu_template.cpp), so that
// menu and toolbar show the same state and the rules need no window.
#pragma once

#include <cstdint>

#include "zorbel/model/device_settings.h"

namespace zorbel {

struct CommandSnapshot {
    // Current channel.
    std::uint16_t waveType = kWaveSine;
    ZoomTool zoomBits = ZoomTool::None;
    ZoomTool zoomToolsThatCanAct = ZoomTool::None;  // with the present view window
    // Session.
    bool demo = true;
    bool sync = false;
    bool online = false;  // link up, not latched, not in demo mode
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
    // A long job (formula, import, resize) runs: its result is still to come.
    bool longJob = false;

    bool Arbitrary() const { return waveType == kWaveArbitrary; }
};

// Reads the current channel's part of the snapshot and the session flags.
CommandSnapshot SnapshotOf(const DeviceSettings& settings);

struct CommandState {
    bool enabled = true;
    bool checked = false;
    bool visible = true;
};

// Enabled and not checked, whatever the state.
CommandState AlwaysEnabled(const CommandSnapshot&, int command);
// Neither shown nor enabled: a command that does nothing yet keeps its place
// (and its language key) in the menu.
CommandState NotAvailableYet(const CommandSnapshot&, int command);
// Enabled while the current channel plays the arbitrary waveform, or while it does not.
CommandState OnlyArbitrary(const CommandSnapshot& snapshot, int command);
CommandState OnlyNonArbitrary(const CommandSnapshot& snapshot, int command);
// A command that changes the arbitrary points or window: on the arbitrary
// waveform only, and not while a long job is to replace them.
CommandState EditsArbitrary(const CommandSnapshot& snapshot, int command);
// A command that runs a long job of its own (printing): not while another runs.
CommandState WaitsForLongJob(const CommandSnapshot& snapshot, int command);
// Always enabled; checked as `on` says.
constexpr CommandState CheckedWhen(bool on) { return {true, on}; }
// A zoom tool: on the arbitrary waveform only, while it can act and no long
// job runs; checked while on.
CommandState ZoomToolState(const CommandSnapshot& snapshot, ZoomTool tool);

}  // namespace zorbel
