// The status bar's texts from the model's session state.
#include "session_status.h"

#include "zorbel/dialogs/small_dialogs.h"

namespace zorbel {
namespace {

QString StatusMeaning(GeneratorStatus status) {
    switch (status) {
    case GeneratorStatus::NoLink:
        return QStringLiteral("failed: no link to the instrument");
    case GeneratorStatus::Failed:
        return QStringLiteral("failed: no answer from the instrument");
    case GeneratorStatus::Rejected:
        return QStringLiteral("failed: the instrument refused a value");
    default:
        return QStringLiteral("failed (status %1)").arg(ToNumber(status));
    }
}

}  // namespace

SessionStatusTexts DescribeSession(const DeviceSettings& settings) {
    SessionStatusTexts texts;
    texts.link = settings.ConnectionType() == kConnectionLan
                     ? QStringLiteral("LAN %1").arg(Ipv4Text(settings.LanAddress()))
                     : QStringLiteral("USB");

    const Job jobs = settings.JobFlags();
    const bool online = settings.LinkState() == Link::Up && settings.LastStatus() == GeneratorStatus::Ok;
    if (settings.InstrumentLost())
        texts.state = QStringLiteral("Offline: instrument lost");
    else if (settings.DemoFlag() != 0)
        texts.state = QStringLiteral("Demo: nothing is sent");
    else if (Any(jobs, Job::Calibration))
        texts.state = QStringLiteral("Calibrating");
    else if (jobs != Job::None)
        texts.state = QStringLiteral("Job running");
    else
        texts.state = online ? QStringLiteral("Online")
                             : QStringLiteral("Offline: nothing is sent until Read or Write Operation");

    // The last job that ended, never the one under way.
    const LastJob last = settings.LastEndedJob();
    switch (last.end) {
    case JobEnd::None:
        texts.outcome = QStringLiteral("No job yet");
        break;
    case JobEnd::InstrumentBusy:
        texts.outcome = QString::fromLatin1(kInstrumentBusyMessage);
        break;
    case JobEnd::InstrumentAbsent:
        texts.outcome = QStringLiteral("Last job: No Device Found!");
        break;
    case JobEnd::CalibrationFailed:
        texts.outcome = QStringLiteral("Last job failed: the calibration stopped before its end");
        break;
    case JobEnd::Succeeded:
        texts.outcome = QStringLiteral("Last job succeeded");
        break;
    case JobEnd::Cancelled:
        // A download leaves the session online; a cancelled Read or Write
        // Operation leaves it offline, which the state field says.
        texts.outcome = Any(last.job, Job::ArbitraryDownload) ? QStringLiteral("Download cancelled")
                                                              : QStringLiteral("Last job cancelled");
        break;
    case JobEnd::Failed:
        texts.outcome = last.status == GeneratorStatus::Ok
                            ? QStringLiteral("Last job failed")
                            : QStringLiteral("Last job %1").arg(StatusMeaning(last.status));
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
