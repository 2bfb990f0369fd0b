// CDlgCalibrate: the calibration dialog (title "仪器校准", its own Chinese
// texts, not the language file's). The user picks the channel and the range
// of steps, starts and stops runs, and writes the result list to the report
// "Calibrate.csv" in the program folder. The dialog never talks to the
// instruments: its reactions to the worker's notices queue the next
// calibration command (CalibrationSequence).
//
// Enter, Escape and the window's close button do nothing; only "退出", a lost
// generator while no run is under way, and CloseNow close it.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <optional>

#include "zorbel/dialogs/calibration_sequence.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTimer;

namespace zorbel {

// Control ids of the dialog, also the way tests find its controls.
namespace calibrate_id {
inline constexpr int kStart = 1401;
inline constexpr int kStop = 1402;
inline constexpr int kExit = 1403;
inline constexpr int kResultList = 1404;
inline constexpr int kReport = 1405;
inline constexpr int kOpenFolder = 1406;
inline constexpr int kChannel1 = 1407;
inline constexpr int kChannel2 = 1408;
inline constexpr int kStartStep = 1410;
inline constexpr int kEndStep = 1412;
inline constexpr int kRestoreDefaults = 1413;
inline constexpr int kRepeatLimit = 1414;
}  // namespace calibrate_id

// How the dialog talks to the user; the program's message box and question
// (dialog_links.h) and the desktop's file browser unless a test replaces them.
struct CalibrationPrompts {
    std::function<bool(const QString& question)> ask;  // Yes/No; true for Yes
    std::function<void(const QString& text)> tell;     // OK
    std::function<void(const QString& folder)> openFolder;
};

class CDlgCalibrate : public QDialog {
    Q_OBJECT

public:
    static constexpr int kLinkCheckMs = 1000;

    // `choices` outlive the dialog (they are kept between openings);
    // `programFolder` receives the report.
    CDlgCalibrate(DeviceSettings& settings, CalibrationChoices& choices, QString programFolder,
                  QWidget* parent = nullptr);
    ~CDlgCalibrate() override;

    void SetPrompts(CalibrationPrompts prompts);
    // A notice of the worker: the calibration command it has just executed.
    // Runs on the interface thread while the worker waits for it: queues the
    // next command, or leaves a question for AskWaitingQuestion, which runs
    // once the notice has returned and the worker is released.
    void OnCalibrationStep(std::uint16_t code);
    // Asks the question a notice left, if any, and queues what follows the
    // answer. Posted by OnCalibrationStep; public for a caller that serves
    // the worker's notices on this thread.
    void AskWaitingQuestion();
    // Closes the dialog and a question it is asking, whatever the run does:
    // the session has ended under it.
    void CloseNow();

    const CalibrationSequence& Sequence() const { return sequence_; }
    QString ReportPath() const;

    void accept() override {}  // Enter
    void reject() override {}  // Escape, the window's close button

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    QPushButton* AddButton(int id, const char* text);
    QSize FromDialogUnits(int width, int height) const;
    void ShowChoices();
    void ApplyRunState();
    void ShowRows();
    void HighlightRow(int row);
    void WriteReport();
    void CheckLink();
    bool Ask(const std::string& question);

    DeviceSettings& settings_;
    CalibrationChoices& choices_;
    const QString folder_;
    CalibrationPrompts prompts_;
    CalibrationSequence sequence_;
    std::optional<CalibrationNext> waiting_;  // a question left by a notice
    bool closing_ = false;

    std::array<QRadioButton*, 2> channels_{};
    QLineEdit* startEdit_ = nullptr;
    QLineEdit* endEdit_ = nullptr;
    QLineEdit* limitEdit_ = nullptr;
    QPushButton* restore_ = nullptr;
    QTableWidget* list_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* exit_ = nullptr;
    QTimer* linkCheck_ = nullptr;
};

}  // namespace zorbel
