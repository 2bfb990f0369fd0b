// The status bar's texts from the model's session state.
#include "session_status.h"

#include "zorbel/dialogs/program_texts.h"
#include "zorbel/dialogs/small_dialogs.h"
#include "zorbel/dialogs/sweep_dialog.h"

namespace zorbel {
namespace {

QString FailedJob(GeneratorStatus status) {
    switch (status) {
    case GeneratorStatus::Ok:
        return ProgramText(Text::LastJobFailed);
    case GeneratorStatus::NoLink:
        return ProgramText(Text::LastJobNoLink);
    case GeneratorStatus::Failed:
        return ProgramText(Text::LastJobNoAnswer);
    case GeneratorStatus::Rejected:
        return ProgramText(Text::LastJobRefused);
    default:
        return ProgramText(Text::LastJobStatus, {QString::number(ToNumber(status))});
    }
}

}  // namespace

SessionStatusTexts DescribeSession(const DeviceSettings& settings) {
    SessionStatusTexts texts;
    texts.link = settings.ConnectionType() == kConnectionLan
                     ? ProgramText(Text::LinkLan, {Ipv4Text(settings.LanAddress())})
                     : ProgramText(Text::LinkUsb);

    const Job jobs = settings.JobFlags();
    const bool online = settings.LinkState() == Link::Up && settings.LastStatus() == GeneratorStatus::Ok;
    const QString sweep = SweepStatusText(settings.Sweep().get());
    if (!sweep.isEmpty())
        texts.state = sweep;
    else if (settings.InstrumentBack())
        texts.state = ProgramText(Text::InstrumentBack);
    else if (settings.InstrumentLost())
        texts.state = ProgramText(Text::StateLost);
    else if (settings.DemoFlag() != 0)
        texts.state = ProgramText(Text::StateDemo);
    else if (Any(jobs, Job::Calibration))
        texts.state = ProgramText(Text::StateCalibrating);
    else if (jobs != Job::None)
        texts.state = ProgramText(Text::StateJobRunning);
    else
        texts.state = ProgramText(online ? Text::StateOnline : Text::StateOffline);

    // The last job that ended, never the one under way.
    const LastJob last = settings.LastEndedJob();
    switch (last.end) {
    case JobEnd::None:
        texts.outcome = ProgramText(Text::NoJobYet);
        break;
    case JobEnd::InstrumentBusy:
        texts.outcome = ProgramText(Text::InstrumentBusy);
        break;
    case JobEnd::InstrumentAbsent:
        texts.outcome = ProgramText(Text::LastJobNoDevice);
        break;
    case JobEnd::CalibrationFailed:
        texts.outcome = ProgramText(Text::LastJobCalibrationStopped);
        break;
    case JobEnd::Succeeded:
        texts.outcome = ProgramText(Text::LastJobSucceeded);
        break;
    case JobEnd::Cancelled:
        // A download leaves the session online; a cancelled Read or Write
        // Operation leaves it offline, which the state field says.
        texts.outcome = Any(last.job, Job::ArbitraryDownload) ? QStringLiteral("Download cancelled")
                                                              : QStringLiteral("Last job cancelled");
        break;
    case JobEnd::Failed:
        texts.outcome = FailedJob(last.status);
        break;
    }
    return texts;
}
int ProgressTextItem(Job jobFlags) {
    if (Any(jobFlags, Job::ReadLimits)) return 10041;
    if (Any(jobFlags, Job::ReadSettings)) return 10042;
    if (Any(jobFlags, Job::WriteSettings)) return 10043;
    if (Any(jobFlags, Job::ArbitraryDownload)) return 10044;
    return 0;
}

}  // namespace zorbel
