// Enabling and checking rules of the frame's commands.
#include "command_rules.h"

#include <array>

#include "menu_template.h"

namespace zorbel {
namespace {

bool IsArbitrary(const CommandSnapshot& s) { return s.waveType == kWaveArbitrary; }

// Zoom tools: whether each may be chosen with the present view window.
bool ZoomToolAllowed(ZoomTool bit, const CommandSnapshot& s) {
    // Every point visible: nothing to zoom out of or move.
    const bool wholeWaveform = s.viewLast + 1 >= s.arbitraryPointCount && s.viewFirst == 0;
    // The window is the channel's whole amplitude range, centred.
    const bool fullVoltageRange = s.viewUpper == s.amplitudeMaximum * 0.5 && s.viewLower == s.amplitudeMaximum * -0.5;
    switch (bit) {
    case ZoomTool::HorizontalIn:
        return s.viewFirst + 12 < s.viewLast;  // more than 13 points visible
    case ZoomTool::HorizontalOut:
    case ZoomTool::HorizontalMove:
        return !wholeWaveform;
    case ZoomTool::VerticalIn:
        return s.viewLower < s.viewUpper;
    case ZoomTool::VerticalOut:
    case ZoomTool::VerticalMove:
        return !fullVoltageRange;
    default:
        return false;
    }
}

}  // namespace

std::optional<ZoomTool> ZoomToolOfCommand(int command) {
    switch (command) {
    case kCmdHorizontalZoomIn:
        return ZoomTool::HorizontalIn;
    case kCmdHorizontalZoomOut:
        return ZoomTool::HorizontalOut;
    case kCmdHorizontalMove:
        return ZoomTool::HorizontalMove;
    case kCmdVerticalZoomIn:
        return ZoomTool::VerticalIn;
    case kCmdVerticalZoomOut:
        return ZoomTool::VerticalOut;
    case kCmdVerticalMove:
        return ZoomTool::VerticalMove;
    default:
        return std::nullopt;
    }
}

CommandSnapshot SnapshotOf(const DeviceSettings& settings) {
    CommandSnapshot s;
    // Only the few fields: a record copy would copy the whole waveform.
    settings.ReadRecord(settings.CurrentChannel(), [&s](const ChannelRecord& r) {
        s.waveType = r.waveType;
        s.arbitraryPointCount = r.arbitraryPointCount;
        s.viewFirst = r.arbitraryViewFirst;
        s.viewLast = r.arbitraryViewLast;
        s.viewLower = r.arbitraryViewLower;
        s.viewUpper = r.arbitraryViewUpper;
        s.amplitudeMaximum = r.limits.Maximum(Parameter::Amplitude);
        s.zoomBits = r.zoomToolBits;
    });
    s.demo = settings.DemoFlag() != 0;
    s.sync = settings.SyncFlag() != 0;
    return s;
}

CommandState EvaluateCommand(int command, const CommandSnapshot& s) {
    if (const auto bit = ZoomToolOfCommand(command)) {
        if (!IsArbitrary(s)) return {false, false};
        const bool allowed = ZoomToolAllowed(*bit, s);
        return {allowed, allowed && Any(s.zoomBits, *bit)};
    }
    if (command >= kCmdFirstLanguage && command <= kCmdLastLanguage) {
        const int index = command - kCmdFirstLanguage;
        return {true, command <= kCmdLastCheckedLanguage && index == s.currentLanguage};
    }
    if (command >= kCmdLookFirst && command <= kCmdLookLast) return {true, command == s.applicationLook};
    switch (command) {
    case kCmdLoadData:
    case kCmdSaveData:
    case kCmdImportData:
    case kCmdExportData:
    case kCmdEditPoints:
    case kCmdFormula:
        return {IsArbitrary(s), false};
    case kCmdLoadSetup:
    case kCmdSaveSetup:
        return {!IsArbitrary(s), false};
    // What they change is shown by the arbitrary view only.
    case kCmdUndo:
        return {IsArbitrary(s) && s.canUndo, false};
    case kCmdRedo:
        return {IsArbitrary(s) && s.canRedo, false};
    case kCmdVectors:
        return {true, s.displayStyle == 1};
    case kCmdDots:
        return {true, s.displayStyle == 0};
    case kCmdDemo:
        return {true, s.demo};
    case kCmdSyncMachine:
        return {true, s.sync};
    case kCmdControlBar:
        return {true, s.controlBarVisible};
    case kCmdToolBar:
        return {true, s.toolBarVisible};
    case kCmdStatusBar:
        return {true, s.statusBarVisible};
    // A stored language that is not listed any more is shown as the built-in
    // one: its texts stand in for it, and some entry must carry the mark.
    case kCmdDefaultLanguage:
        return {true, s.currentLanguage < 0 || s.currentLanguage >= s.languageCount};
    default:
        return {true, false};
    }
}

std::optional<ZoomTool> LeftOverZoomTool(const CommandSnapshot& s) {
    if (!IsArbitrary(s)) return std::nullopt;
    constexpr std::array<ZoomTool, 6> kTools = {ZoomTool::HorizontalIn,   ZoomTool::HorizontalOut,
                                                ZoomTool::HorizontalMove, ZoomTool::VerticalIn,
                                                ZoomTool::VerticalOut,    ZoomTool::VerticalMove};
    for (const ZoomTool bit : kTools)
        if (Any(s.zoomBits, bit) && !ZoomToolAllowed(bit, s)) return bit;
    return std::nullopt;
}

}  // namespace zorbel
