// The command state rules several commands share and the snapshot they read.
#include "command_rules.h"

namespace zorbel {

CommandSnapshot SnapshotOf(const DeviceSettings& settings) {
    CommandSnapshot s;
    // Only the few fields: a record copy would copy the whole waveform.
    settings.ReadRecord(settings.CurrentChannel(), [&s](const ChannelRecord& r) {
        s.waveType = r.waveType;
        s.zoomBits = r.zoomToolBits;
        s.zoomToolsThatCanAct = ZoomToolsThatCanAct(r);
    });
    s.demo = settings.DemoFlag() != 0;
    s.sync = settings.SyncFlag() != 0;
    s.online = !s.demo && settings.LinkState() == Link::Up && settings.LastStatus() == GeneratorStatus::Ok;
    return s;
}

CommandState AlwaysEnabled(const CommandSnapshot&, int) { return {true, false}; }
CommandState NotAvailableYet(const CommandSnapshot&, int) { return {false, false, false}; }
CommandState OnlyArbitrary(const CommandSnapshot& s, int) { return {s.Arbitrary(), false}; }
CommandState OnlyNonArbitrary(const CommandSnapshot& s, int) { return {!s.Arbitrary(), false}; }
CommandState EditsArbitrary(const CommandSnapshot& s, int) { return {s.Arbitrary() && !s.longJob, false}; }
CommandState WaitsForLongJob(const CommandSnapshot& s, int) { return {!s.longJob, false}; }

CommandState ZoomToolState(const CommandSnapshot& s, ZoomTool tool) {
    const bool canAct = s.Arbitrary() && !s.longJob && Any(s.zoomToolsThatCanAct, tool);
    return {canAct, canAct && Any(s.zoomBits, tool)};
}

}  // namespace zorbel
