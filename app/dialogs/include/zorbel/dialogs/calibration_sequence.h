// The calibration dialog's run without its window: the user's choices, the
// result list's texts and the reaction to each notice of the worker, which
// queues the next calibration command, counts passes and failures, and asks
// the user the questions at the end of a run. CDlgCalibrate shows it.
//
// Interface thread only; OnStep runs while the worker waits for it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "zorbel/model/device_settings.h"

namespace zorbel {

// What the user chose; kept between openings of the dialog within one run of
// the program.
struct CalibrationChoices {
    static constexpr int kDefaultRepeatLimit = 5;
    static constexpr int kMaxValue = 65535;  // the step numbers and limits are 16-bit

    std::uint16_t channel = 0;              // 0 = CH1, 1 = CH2
    int startStep = 0;                      // zero-based row where a run begins (shown one-based)
    int endStep = 0;                        // the run covers rows up to but not including this (the last step's number)
    int repeatLimit = kDefaultRepeatLimit;  // failures of one step that end the run

    void RestoreDefaults() { *this = CalibrationChoices{channel}; }
    // The edits' numbers (the program's number rules, 0 for no number),
    // truncated towards zero and held to 0..kMaxValue.
    void SetStartFromText(double shown);  // one-based, as shown
    void SetEndFromText(double shown);
    void SetRepeatLimitFromText(double shown);
};

// Column texts of the result list and of the report (UTF-8).
inline constexpr int kCalibrationColumns = 7;
using CalibrationRow = std::array<std::string, kCalibrationColumns>;

class CalibrationSequence {
public:
    // Asks a question with Yes and No; true for Yes.
    using Question = std::function<bool(const std::string& text)>;

    CalibrationSequence(DeviceSettings& settings, CalibrationChoices& choices, Question ask);

    // "开始": clears the calibration values and queues the start.
    void Start();
    // "停止": asks whether to discard what was calibrated, then queues the stop.
    void Stop();
    // One notice of the worker: the command it has just executed.
    void OnStep(std::uint16_t code);

    // From "开始" to the notice of the stop: the choices are locked.
    bool Running() const { return running_; }
    const std::vector<CalibrationRow>& Rows() const { return rows_; }
    // The row the list highlights, -1 none.
    int HighlightedRow() const { return highlighted_; }

private:
    void StepCountRead();
    void StepSelected();
    void Verdict();
    void Passed(int selected);
    void Failed();
    void NeedsPrevious(int selected);
    void EndTest();
    void AskRepeatLimit(int row);
    void Select(int row);
    void SetCell(int row, int column, std::string text);
    void SetUnavailable(int row, int lastColumn);
    // The step selected last; -1 outside the list.
    int SelectedStep() const;

    DeviceSettings& settings_;
    CalibrationChoices& choices_;
    Question ask_;
    std::vector<CalibrationRow> rows_;
    bool running_ = false;
    int highlighted_ = -1;

    // The run's counters.
    int runStart_ = 0;      // first row of this run
    int currentRow_ = 0;    // the row under calibration
    int previousRow_ = -1;  // the row calibrated before it
    int failCount_ = 0;     // failures of the current row in this series
    int previousSuccess_ = 0;
    int previousFail_ = 0;
    bool retrying_ = false;  // the current row has failed and not yet passed
};

// The result texts, for the list and the tests.
namespace calibration_text {
std::string StepLabel(int row);                   // "步骤%d", one-based
std::string Counts(int successes, int failures);  // "成(%d)败(%d)"
inline constexpr char kMean[] = "平均值";
inline constexpr char kPeakToPeak[] = "峰峰值";
inline constexpr char kUnavailable[] = "不可用";
}  // namespace calibration_text

}  // namespace zorbel
