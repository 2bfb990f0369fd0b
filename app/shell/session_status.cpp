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

QString StatusMeaning(std::uint16_t status) {
    switch (status) {
    case kStatusOk: return QStringLiteral("succeeded");
    case kStatusNoLink: return QStringLiteral("failed: no link to the instrument");
    case kStatusFailed: return QStringLiteral("failed: no answer from the instrument");
    case kStatusRejected: return QStringLiteral("failed: the instrument refused a value");
    default: return QStringLiteral("failed (status %1)").arg(status);
    }
}

}  // namespace

SessionStatusTexts DescribeSession(const DeviceSettings& settings) {
    SessionStatusTexts texts;
    texts.link = settings.ConnectionType() == kConnectionLan
                     ? QStringLiteral("LAN %1").arg(DottedAddress(settings.LanAddress()))
                     : QStringLiteral("USB");

    const std::uint16_t jobs = settings.JobFlags();
    const bool online = settings.LinkState() == 1 && settings.LastStatus() == kStatusOk;
    if (settings.DemoFlag() != 0)
        texts.state = QStringLiteral("Demo: nothing is sent");
    else if (jobs & kJobCalibration)
        texts.state = QStringLiteral("Calibrating");
    else if (jobs != 0)
        texts.state = QStringLiteral("Job running");
    else
        texts.state = online ? QStringLiteral("Online") : QStringLiteral("Offline: nothing is sent until Read or Write Operation");

    // Nothing has been tried yet while the session never left demo mode.
    if (settings.InstrumentBusy())
        texts.outcome = QString::fromLatin1(kInstrumentBusyMessage);
    else if (settings.LastJobRefused())
        texts.outcome = QStringLiteral("Last job: No Device Found!");
    else if (settings.LinkState() == 0 && settings.LastStatus() == kStatusNoLink && settings.DemoFlag() != 0)
        texts.outcome = QStringLiteral("No job yet");
    else
        texts.outcome = QStringLiteral("Last job %1").arg(StatusMeaning(settings.LastStatus()));
    return texts;
}

int ProgressTextItem(std::uint16_t jobFlags) {
    if (jobFlags & kJobReadLimits) return 10041;
    if (jobFlags & kJobReadSettings) return 10042;
    if (jobFlags & kJobWriteSettings) return 10043;
    if (jobFlags & kJobArbitraryDownload) return 10044;
    return 0;
}

}  // namespace zorbel
