// The status bar's texts from the model's session state.
#include "session_status.h"

namespace zorbel {
namespace {

QString DottedAddress(std::uint32_t address) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

QString StatusMeaning(GeneratorStatus status) {
    switch (status) {
    case GeneratorStatus::Ok:
        return QStringLiteral("succeeded");
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
                     ? QStringLiteral("LAN %1").arg(DottedAddress(settings.LanAddress()))
                     : QStringLiteral("USB");

    const Job jobs = settings.JobFlags();
    const bool online = settings.LinkState() == Link::Up && settings.LastStatus() == GeneratorStatus::Ok;
    if (settings.DemoFlag() != 0)
        texts.state = QStringLiteral("Demo: nothing is sent");
    else if (Any(jobs, Job::Calibration))
        texts.state = QStringLiteral("Calibrating");
    else if (jobs != Job::None)
        texts.state = QStringLiteral("Job running");
    else
        texts.state = online ? QStringLiteral("Online")
                             : QStringLiteral("Offline: nothing is sent until Read or Write Operation");

    // Nothing has been tried yet while the session never left demo mode.
    if (settings.InstrumentBusy())
        texts.outcome = QString::fromLatin1(kInstrumentBusyMessage);
    else if (settings.LastJobRefused())
        texts.outcome = QStringLiteral("Last job: No Device Found!");
    else if (settings.LinkState() == Link::Down && settings.LastStatus() == GeneratorStatus::NoLink &&
             settings.DemoFlag() != 0)
        texts.outcome = QStringLiteral("No job yet");
    else
        texts.outcome = QStringLiteral("Last job %1").arg(StatusMeaning(settings.LastStatus()));
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
