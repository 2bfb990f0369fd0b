// The Sweep dialog (Utility > Sweep...): the plan of a sweep of the current
// channel's frequency or amplitude, Start and Stop, and what the channel
// keeps when stopped. Its rules are plain functions the tests reach without
// a window; the sweep itself runs on the session worker (sweep.h).
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "zorbel/dialogs/program_texts.h"
#include "zorbel/model/device_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace zorbel {

// The dialog's fields as typed.
struct SweepForm {
    Parameter parameter = Parameter::Frequency;
    QString start, stop;
    bool logarithmic = false;
    bool byStep = false;  // else by the number of values
    QString countOrStep;
    QString dwellSeconds;
    QString repeat;
    bool upDown = false;
};

// The plan the form describes on `channel`, numbers read as the pages read
// them ("," as the decimal point too) and start and stop checked against the
// channel's limits with the pages' message; or, with no plan, the message.
struct SweepFormResult {
    std::optional<SweepPlan> plan;
    QString message;
};
SweepFormResult SweepPlanOfForm(const SweepForm& form, const DeviceSettings& settings, std::uint16_t channel);

// A running sweep in the status bar ("Sweep CH1: 1.2 kHz, step 12 of 100");
// empty for none or one that has ended.
QString SweepStatusText(const SweepRun* run);

class CDlgSweep final : public QDialog {
public:
    // `changed` runs while the sweep moves the channel's value on and when it
    // ends (the frame refreshes its panel).
    CDlgSweep(DeviceSettings& settings, std::function<void()> changed, QWidget* parent = nullptr);

    // Start as the button does; false when refused (the message shows).
    bool StartSweep();
    void StopSweep();
    SweepForm Form() const;
    void SetForm(const SweepForm& form);
    QString Message() const;
    // Every text anew in the current language (the language switched while
    // the dialog is open).
    void Retranslate();

private:
    void Update();

    DeviceSettings& settings_;
    std::function<void()> changed_;
    QComboBox* quantity_;
    QLineEdit* start_;
    QLineEdit* stop_;
    QCheckBox* logarithmic_;
    QRadioButton* byCount_;
    QRadioButton* byStep_;
    QLineEdit* countOrStep_;
    QLineEdit* dwell_;
    QLineEdit* repeat_;
    QCheckBox* upDown_;
    QCheckBox* keepLast_;
    QLabel* message_;
    QPushButton* startButton_;
    QPushButton* stopButton_;
    QTimer* timer_;
    std::vector<std::pair<QWidget*, Text>> texts_;  // labels and buttons with their item
    std::uint64_t shownSteps_ = 0;
    bool running_ = false;
};

}  // namespace zorbel
