// The calibration run: each worker notice and the dialog's reaction to it.
#include "zorbel/dialogs/calibration_sequence.h"

#include <algorithm>
#include <cmath>

#include "zorbel/model/calibration_measurement.h"
#include "zorbel/numbers.h"

namespace zorbel {
namespace {

int Held(double shown) {
    if (!std::isfinite(shown)) return 0;
    return static_cast<int>(std::clamp(std::trunc(shown), 0.0, double(CalibrationChoices::kMaxValue)));
}

// Column of each value in the result list.
enum Column {
    kLabel = 0,
    kReferenceFrequency,
    kReferenceVoltage,
    kKind,
    kMeasuredFrequency,
    kMeasuredVoltage,
    kResult
};

}  // namespace

namespace calibration_text {
std::string StepLabel(int row) { return "步骤" + FormatInt(row + 1); }
std::string Counts(int successes, int failures) {
    return "成(" + FormatInt(successes) + ")败(" + FormatInt(failures) + ")";
}
}  // namespace calibration_text

using namespace calibration_text;

// Start "0" in the edit would be row -1: held at the first row.
void CalibrationChoices::SetStartFromText(double shown) { startStep = std::max(Held(shown) - 1, 0); }
void CalibrationChoices::SetEndFromText(double shown) { endStep = Held(shown); }
void CalibrationChoices::SetRepeatLimitFromText(double shown) { repeatLimit = Held(shown); }

CalibrationSequence::CalibrationSequence(DeviceSettings& settings, CalibrationChoices& choices, Question ask)
    : settings_(settings), choices_(choices), ask_(std::move(ask)) {}

void CalibrationSequence::Start() {
    settings_.ModifyCalibration([](CalibrationValues& c) {
        c.stepTotal = 0;
        c.currentStep = 0;
        c.measuredFrequency = 0.0;
        c.measuredVoltage = 0.0;
        c.measurementKind = -1;
        c.stepState = -1;
    });
    settings_.SetCalibrationRunState(CalibrationRun::Running);
    settings_.QueueCalibrationStart(choices_.channel);
    // Locked at once, not only when the start has run (the oscilloscope's
    // set-up takes seconds): a dialog closed meanwhile would leave a run
    // without anyone to answer its notices.
    running_ = true;
}

void CalibrationSequence::Stop() {
    const bool discard = ask_("需要强制退出校准,是否忽略仪器中已完成的数据");
    settings_.QueueCalibrationStop(discard ? 1 : 0);
}

void CalibrationSequence::OnStep(std::uint16_t code) {
    switch (code) {
    case code::kCalStart:
        running_ = true;
        break;
    case code::kCalStop:
        running_ = false;
        break;
    case code::kCalGetStepCount:
        StepCountRead();
        break;
    case code::kCalSetStep:
        StepSelected();
        break;
    case code::kCalGetReference:
        settings_.QueueCalibrationCommand(code::kCalMeasure);
        break;
    case code::kCalMeasure: {
        settings_.QueueCalibrationCommand(code::kCalGetState);
        const CalibrationValues c = settings_.Calibration();
        const int row = SelectedStep();
        SetCell(row, kReferenceFrequency, FormatFixed(c.referenceFrequency, 3));
        SetCell(row, kReferenceVoltage, FormatFixed(c.referenceVoltage, 4));
        SetCell(row, kMeasuredFrequency, FormatFixed(c.measuredFrequency, 3));
        SetCell(row, kMeasuredVoltage, FormatFixed(c.measuredVoltage, 4));
        break;
    }
    case code::kCalGetState:
        Verdict();
        break;
    default:
        break;
    }
}

// The list gets one row per step of the generator; the run's range is held
// inside it: a start at or beyond the total restarts at step 1, an end not
// above the start runs to the last step, and an end beyond the total stops at
// the last step (rather than selecting steps the generator does not have).
void CalibrationSequence::StepCountRead() {
    const int total = settings_.Calibration().stepTotal;
    rows_.assign(static_cast<std::size_t>(total), CalibrationRow{});
    for (int row = 0; row < total; ++row) rows_[static_cast<std::size_t>(row)][kLabel] = StepLabel(row);
    const bool startBeyond = choices_.startStep >= total;
    if (startBeyond) choices_.startStep = 0;
    if (startBeyond || choices_.endStep <= choices_.startStep || choices_.endStep > total) choices_.endStep = total;
    runStart_ = choices_.startStep;
    currentRow_ = runStart_;
    previousRow_ = runStart_ - 1;
    failCount_ = previousSuccess_ = previousFail_ = 0;
    retrying_ = false;
    highlighted_ = -1;
    EndTest();  // selects the first row; a generator without steps ends at once
}

void CalibrationSequence::StepSelected() {
    highlighted_ = currentRow_;
    const CalibrationValues c = settings_.Calibration();
    const int selected = SelectedStep();
    if (c.measurementKind != kKindNoMeasurement) {
        // Into the row of the step just selected, which is the previous row
        // while that one runs again.
        SetCell(selected, kKind, c.measurementKind == kKindMean ? kMean : kPeakToPeak);
        settings_.QueueCalibrationCommand(code::kCalGetReference);
        return;
    }
    // A step without a measurement counts as passed at once.
    if (!retrying_ || selected == currentRow_) {
        SetUnavailable(currentRow_, retrying_ ? kResult : kMeasuredVoltage);
        SetCell(currentRow_, kResult, Counts(1, failCount_));
        previousSuccess_ = 1;
        previousFail_ = failCount_;
        failCount_ = 0;
        previousRow_ = currentRow_;
        retrying_ = false;
        ++currentRow_;
    } else if (selected == previousRow_) {
        ++previousSuccess_;
        SetUnavailable(previousRow_, kMeasuredVoltage);
        SetCell(previousRow_, kResult, Counts(previousSuccess_, previousFail_));
    }
    EndTest();
}

void CalibrationSequence::Verdict() {
    const CalibrationValues c = settings_.Calibration();
    const int selected = SelectedStep();
    switch (c.stepState) {
    case 0:
        Passed(selected);
        break;
    case -1:
        Failed();
        break;
    case -2:
        NeedsPrevious(selected);
        break;
    default:
        break;  // a verdict the procedure does not know: the run waits for "停止"
    }
}

void CalibrationSequence::Passed(int selected) {
    if (!retrying_) {
        previousRow_ = currentRow_;
        previousSuccess_ = 1;
        previousFail_ = 0;
        SetCell(currentRow_, kResult, Counts(1, 0));
        ++currentRow_;
        failCount_ = 0;
    } else if (selected == currentRow_) {
        SetCell(currentRow_, kResult, Counts(1, failCount_));
        previousRow_ = currentRow_;
        ++currentRow_;
        previousSuccess_ = 1;
        previousFail_ = failCount_;
        failCount_ = 0;
        retrying_ = false;
    } else if (selected == previousRow_) {
        // The previous step passed again: the current one runs again.
        ++previousSuccess_;
        SetCell(previousRow_, kResult, Counts(previousSuccess_, previousFail_));
    }
    EndTest();
}

void CalibrationSequence::Failed() {
    ++failCount_;
    retrying_ = true;
    SetCell(currentRow_, kResult, Counts(0, failCount_));
    if (failCount_ < choices_.repeatLimit)
        Select(currentRow_);
    else
        AskRepeatLimit(currentRow_);
}

void CalibrationSequence::NeedsPrevious(int selected) {
    // The run's first row has no previous step inside the run (before step 1
    // there is none at all): it fails and runs again instead.
    if (previousRow_ < runStart_) {
        Failed();
        return;
    }
    if (!retrying_ || selected == currentRow_) {
        ++failCount_;
        retrying_ = true;
        SetCell(currentRow_, kResult, Counts(0, failCount_));
        if (failCount_ < choices_.repeatLimit)
            Select(previousRow_);
        else
            AskRepeatLimit(currentRow_);
    } else if (selected == previousRow_) {
        // The previous step itself needs its own previous one: it counts
        // against the limit by its own failures, so that it cannot loop.
        ++previousFail_;
        SetCell(previousRow_, kResult, Counts(previousSuccess_, previousFail_));
        if (previousFail_ < choices_.repeatLimit)
            Select(previousRow_);
        else
            AskRepeatLimit(previousRow_);
    }
}

void CalibrationSequence::EndTest() {
    if (currentRow_ < choices_.endStep) {
        Select(currentRow_);
        return;
    }
    const int total = settings_.Calibration().stepTotal;
    const bool keep = ask_("已完成总步骤数" + FormatInt(total) + "中的步骤" + FormatInt(choices_.startStep + 1) +
                           "到步骤" + FormatInt(choices_.endStep) + ",是否更新仪器中的校准数据");
    settings_.QueueCalibrationStop(keep ? 0 : 1);
}

void CalibrationSequence::AskRepeatLimit(int row) {
    const bool keep = ask_("校准过程中第" + FormatInt(row + 1) + "步骤碰到错误且重复次数达到上限" +
                           FormatInt(choices_.repeatLimit) + ",是否保存之前校准的数据");
    settings_.QueueCalibrationStop(keep ? 0 : 1);
}

void CalibrationSequence::Select(int row) { settings_.QueueCalibrationStep(static_cast<std::uint16_t>(row)); }

int CalibrationSequence::SelectedStep() const {
    const int step = settings_.Calibration().currentStep;
    return step < static_cast<int>(rows_.size()) ? step : -1;
}

void CalibrationSequence::SetCell(int row, int column, std::string text) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::move(text);
}

void CalibrationSequence::SetUnavailable(int row, int lastColumn) {
    for (int column = kReferenceFrequency; column <= lastColumn; ++column) SetCell(row, column, kUnavailable);
}

}  // namespace zorbel
