// The calibration dialog's run without its window: the user's choices, the
// result list's texts, each step's state and tally, and the reaction to each
// notice of the worker: what to queue next, or which question to ask and
// what follows each answer. CDlgCalibrate shows it and carries the reactions
// out.
//
// Interface thread only; OnStep runs while the worker waits for it, so it
// only decides: a question is asked once the worker has been released.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "zorbel/model/command_queue.h"
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

// A calibration command as the sequence wants it queued: kCalSetStep with
// the zero-based row in `argument`, kCalStop with 1 (discard what was
// calibrated) or 0 (keep it), kCalGetReference, kCalMeasure, kCalGetState.
struct CalibrationSend {
    std::uint16_t code = code::kNone;
    int argument = 0;
    friend bool operator==(const CalibrationSend&, const CalibrationSend&) = default;
};

// What follows a notice of the worker or a click: nothing, a command to
// queue, or a question (Yes/No) and the command that follows each answer.
// A question is asked only once the worker has been released.
struct CalibrationNext {
    enum class Kind { Nothing, Send, Ask };
    Kind kind = Kind::Nothing;
    CalibrationSend send{};  // Send
    std::string question{};  // Ask
    CalibrationSend ifYes{}, ifNo{};
};

// Queues `send` on the model (nothing for code::kNone).
void QueueCalibration(DeviceSettings& settings, const CalibrationSend& send);
// Queues what `next` sends, asking its question first through `ask` (true
// for Yes).
void CarryOut(DeviceSettings& settings, const CalibrationNext& next,
              const std::function<bool(const std::string& question)>& ask);

// A step's place in the run: not reached yet, selected for its first try,
// failed at least once and selected again, passed (it may still run again
// as the step before the current one).
enum class StepState { Waiting, Running, Retrying, Passed };
// Passes and failures of a step in this run, as its result shows them.
struct StepTally {
    int successes = 0;
    int failures = 0;
    friend bool operator==(const StepTally&, const StepTally&) = default;
};
struct StepRecord {
    StepState state = StepState::Waiting;
    StepTally tally;
    friend bool operator==(const StepRecord&, const StepRecord&) = default;
};

// The generator's verdict on a measured step (its step state).
enum class StepVerdict { Passed, Failed, NeedsPrevious, Unknown };
StepVerdict VerdictOf(std::int16_t stepState);  // 0, -1, -2; others Unknown

class CalibrationSequence {
public:
    CalibrationSequence(DeviceSettings& settings, CalibrationChoices& choices);

    // "开始": clears the calibration values and queues the start.
    void Start();
    // "停止": whether to discard what was calibrated, then the stop.
    CalibrationNext Stop() const;
    // One notice of the worker: the command it has just executed.
    CalibrationNext OnStep(std::uint16_t code);

    // From "开始" to the notice of the stop: the choices are locked.
    bool Running() const { return running_; }
    // How the last run ended, as the calibration job's end: NotRun before
    // any "开始"; Completed once the stop that followed the end question
    // has run; StoppedShort for any other run (a step at its repeat limit,
    // the user's "停止", a generator that vanished before the stop).
    DeviceSettings::CalibrationEnd Outcome() const { return outcome_; }
    const std::vector<CalibrationRow>& Rows() const { return rows_; }
    const std::vector<StepRecord>& Steps() const { return steps_; }
    // The row under calibration (the steps before it in the run have passed).
    int CurrentRow() const { return current_; }
    // The row the list highlights, -1 none.
    int HighlightedRow() const { return highlighted_; }

private:
    CalibrationNext StepCountRead();
    CalibrationNext StepSelected();
    CalibrationNext Measured();
    CalibrationNext Verdict();
    // The current step passed: it becomes the previous one.
    void PassCurrent();
    // One more failure of `row`; then it runs `retry` again, or the run asks
    // whether to keep the data when `row` has reached the repeat limit.
    CalibrationNext Fail(int row, int retry);
    CalibrationNext EndTest();
    CalibrationNext AskRepeatLimit(int row) const;
    static CalibrationNext Select(int row);
    void ShowTally(int row);
    void SetCell(int row, int column, std::string text);
    void SetUnavailable(int row);
    bool Inside(int row) const { return row >= 0 && row < static_cast<int>(steps_.size()); }
    // The step selected last; -1 outside the list.
    int SelectedStep() const;

    DeviceSettings& settings_;
    CalibrationChoices& choices_;
    std::vector<CalibrationRow> rows_;
    std::vector<StepRecord> steps_;
    bool running_ = false;
    bool reachedEnd_ = false;  // the run asked the end question
    DeviceSettings::CalibrationEnd outcome_ = DeviceSettings::CalibrationEnd::NotRun;
    int highlighted_ = -1;
    int runStart_ = 0;  // first row of this run
    int current_ = 0;   // the row under calibration; the one before it is "the previous step"
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
