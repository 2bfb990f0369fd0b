// The calibration command: the opening rule and the dialog's time with the session.
#include "calibration_command.h"

#include "messages.h"
#include "zorbel/dialogs/calibrate.h"
#include "zorbel/dialogs/program_texts.h"

namespace zorbel {

bool CalibrationRefused(const DeviceSettings& settings) {
    return settings.JobFlags() != Job::None || settings.LastStatus() != GeneratorStatus::Ok;
}

void OpenCalibration(QWidget* parent, DeviceSettings& settings, SessionBridge& session, const ProgramPaths& paths) {
    if (CalibrationRefused(settings)) {
        ShowMessage(parent, ProgramText(Text::NoDeviceFound));
        return;
    }
    static CalibrationChoices choices;  // as the user left them last time
    settings.SetCalibrationRunState(CalibrationRun::Idle);
    CDlgCalibrate dialog(settings, choices, paths.folder, parent);
    session.SetCalibrationHandlers({
        [&dialog](std::uint16_t code) { dialog.OnCalibrationStep(code); },
        [&dialog] { dialog.CloseNow(); },
    });
    settings.SetJobFlag(Job::Calibration);
    dialog.exec();
    // The last run's real end: a dialog closed without a run leaves the last job as it was.
    settings.EndCalibrationJob(dialog.Sequence().Outcome());
    session.ClearCalibrationHandlers();
}

}  // namespace zorbel
