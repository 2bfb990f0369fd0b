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

void QueueCalibration(DeviceSettings& settings, const CalibrationSend& send) {
    switch (send.code) {
    case code::kNone:
        break;
    case code::kCalSetStep:
        settings.QueueCalibrationStep(static_cast<std::uint16_t>(send.argument));
        break;
    case code::kCalStop:
        settings.QueueCalibrationStop(send.argument);
        break;
    default:
        settings.QueueCalibrationCommand(send.code);
        break;
    }
}

void CarryOut(DeviceSettings& settings, const CalibrationNext& next,
              const std::function<bool(const std::string& question)>& ask) {
    switch (next.kind) {
    case CalibrationNext::Kind::Nothing:
        break;
    case CalibrationNext::Kind::Send:
        QueueCalibration(settings, next.send);
        break;
    case CalibrationNext::Kind::Ask:
        QueueCalibration(settings, ask(next.question) ? next.ifYes : next.ifNo);
        break;
    }
}

StepVerdict VerdictOf(std::int16_t stepState) {
    switch (stepState) {
    case 0:
        return StepVerdict::Passed;
    case -1:
        return StepVerdict::Failed;
    case -2:
        return StepVerdict::NeedsPrevious;
    default:
        return StepVerdict::Unknown;
    }
}

namespace {

CalibrationNext Send(std::uint16_t code, int argument = 0) {
    return {.kind = CalibrationNext::Kind::Send, .send = {code, argument}};
}

// A question whose Yes keeps the calibrated data (or discards it, `yesDiscards`).
CalibrationNext AskThenStop(std::string question, bool yesDiscards) {
    return {.kind = CalibrationNext::Kind::Ask,
            .question = std::move(question),
            .ifYes = {code::kCalStop, yesDiscards ? 1 : 0},
            .ifNo = {code::kCalStop, yesDiscards ? 0 : 1}};
}

}  // namespace

CalibrationSequence::CalibrationSequence(DeviceSettings& settings, CalibrationChoices& choices)
    : settings_(settings), choices_(choices) {}

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
    reachedEnd_ = false;
    outcome_ = DeviceSettings::CalibrationEnd::StoppedShort;  // until its stop says otherwise
}

CalibrationNext CalibrationSequence::Stop() const {
    return AskThenStop("需要强制退出校准,是否忽略仪器中已完成的数据", true);
}

CalibrationNext CalibrationSequence::OnStep(std::uint16_t code) {
    switch (code) {
    case code::kCalStart:
        running_ = true;
        return {};
    case code::kCalStop:
        running_ = false;
        outcome_ =
            reachedEnd_ ? DeviceSettings::CalibrationEnd::Completed : DeviceSettings::CalibrationEnd::StoppedShort;
        return {};
    case code::kCalGetStepCount:
        return StepCountRead();
    case code::kCalSetStep:
        return StepSelected();
    case code::kCalGetReference:
        return Send(code::kCalMeasure);
    case code::kCalMeasure:
        return Measured();
    case code::kCalGetState:
        return Verdict();
    default:
        return {};
    }
}

// The list gets one row per step of the generator; the run's range is held
// inside it: a start at or beyond the total restarts at step 1, an end not
// above the start runs to the last step, and an end beyond the total stops at
// the last step (rather than selecting steps the generator does not have).
CalibrationNext CalibrationSequence::StepCountRead() {
    const int total = settings_.Calibration().stepTotal;
    rows_.assign(static_cast<std::size_t>(std::max(total, 0)), CalibrationRow{});
    steps_.assign(rows_.size(), StepRecord{});
    for (int row = 0; row < total; ++row) rows_[static_cast<std::size_t>(row)][kLabel] = StepLabel(row);
    const bool startBeyond = choices_.startStep >= total;
    if (startBeyond) choices_.startStep = 0;
    if (startBeyond || choices_.endStep <= choices_.startStep || choices_.endStep > total) choices_.endStep = total;
    runStart_ = choices_.startStep;
    current_ = runStart_;
    highlighted_ = -1;
    return EndTest();  // selects the first row; a generator without steps ends at once
}

CalibrationNext CalibrationSequence::StepSelected() {
    highlighted_ = current_;
    const CalibrationValues c = settings_.Calibration();
    const int selected = SelectedStep();
    if (c.measurementKind != kKindNoMeasurement) {
        // Into the row of the step just selected, which is the previous row
        // while that one runs again.
        SetCell(selected, kKind, c.measurementKind == kKindMean ? kMean : kPeakToPeak);
        return Send(code::kCalGetReference);
    }
    // A step without a measurement counts as passed at once.
    const bool retrying = Inside(current_) && steps_[current_].state == StepState::Retrying;
    if (!retrying || selected == current_) {
        SetUnavailable(current_);
        PassCurrent();
    } else if (selected == current_ - 1) {
        ++steps_[current_ - 1].tally.successes;
        SetUnavailable(current_ - 1);
        ShowTally(current_ - 1);
    }
    return EndTest();
}

CalibrationNext CalibrationSequence::Measured() {
    const CalibrationValues c = settings_.Calibration();
    const int row = SelectedStep();
    SetCell(row, kReferenceFrequency, FormatFixed(c.referenceFrequency, 3));
    SetCell(row, kReferenceVoltage, FormatFixed(c.referenceVoltage, 4));
    SetCell(row, kMeasuredFrequency, FormatFixed(c.measuredFrequency, 3));
    SetCell(row, kMeasuredVoltage, FormatFixed(c.measuredVoltage, 4));
    return Send(code::kCalGetState);
}

CalibrationNext CalibrationSequence::Verdict() {
    const int selected = SelectedStep();
    const int previous = current_ - 1;
    const bool retrying = Inside(current_) && steps_[current_].state == StepState::Retrying;
    switch (VerdictOf(settings_.Calibration().stepState)) {
    case StepVerdict::Passed:
        if (!retrying || selected == current_) {
            PassCurrent();
        } else if (selected == previous) {
            // The previous step passed again: the current one runs again.
            ++steps_[previous].tally.successes;
            ShowTally(previous);
        }
        return EndTest();
    case StepVerdict::Failed:
        // Counted against the current step, whichever of the two ran.
        return Fail(current_, current_);
    case StepVerdict::NeedsPrevious:
        // The run's first row has no previous step inside the run (before
        // step 1 there is none at all): it fails and runs again instead.
        if (current_ == runStart_) return Fail(current_, current_);
        if (!retrying || selected == current_) return Fail(current_, previous);
        // The previous step itself needs its own previous one: it counts
        // against the limit by its own failures, so that it cannot loop.
        if (selected == previous) return Fail(previous, previous);
        return {};
    case StepVerdict::Unknown:
        break;
    }
    return {};  // a verdict the procedure does not know: the run waits for "停止"
}

void CalibrationSequence::PassCurrent() {
    if (Inside(current_)) {
        StepRecord& step = steps_[current_];
        step.state = StepState::Passed;
        step.tally.successes = 1;
        ShowTally(current_);
    }
    ++current_;
}

CalibrationNext CalibrationSequence::Fail(int row, int retry) {
    if (!Inside(row)) return {};
    StepRecord& step = steps_[row];
    ++step.tally.failures;
    if (row == current_) step.state = StepState::Retrying;
    ShowTally(row);
    if (step.tally.failures < choices_.repeatLimit) return Select(retry);
    return AskRepeatLimit(row);
}

CalibrationNext CalibrationSequence::EndTest() {
    if (current_ < choices_.endStep) {
        if (Inside(current_) && steps_[current_].state == StepState::Waiting)
            steps_[current_].state = StepState::Running;
        return Select(current_);
    }
    reachedEnd_ = true;
    const int total = settings_.Calibration().stepTotal;
    return AskThenStop("已完成总步骤数" + FormatInt(total) + "中的步骤" + FormatInt(choices_.startStep + 1) + "到步骤" +
                           FormatInt(choices_.endStep) + ",是否更新仪器中的校准数据",
                       false);
}

CalibrationNext CalibrationSequence::AskRepeatLimit(int row) const {
    return AskThenStop("校准过程中第" + FormatInt(row + 1) + "步骤碰到错误且重复次数达到上限" +
                           FormatInt(choices_.repeatLimit) + ",是否保存之前校准的数据",
                       false);
}

CalibrationNext CalibrationSequence::Select(int row) { return Send(code::kCalSetStep, row); }

int CalibrationSequence::SelectedStep() const {
    const int step = settings_.Calibration().currentStep;
    return step < static_cast<int>(rows_.size()) ? step : -1;
}

void CalibrationSequence::ShowTally(int row) {
    if (!Inside(row)) return;
    const StepTally& tally = steps_[static_cast<std::size_t>(row)].tally;
    SetCell(row, kResult, Counts(tally.successes, tally.failures));
}

void CalibrationSequence::SetCell(int row, int column, std::string text) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::move(text);
}

void CalibrationSequence::SetUnavailable(int row) {
    for (int column = kReferenceFrequency; column <= kMeasuredVoltage; ++column) SetCell(row, column, kUnavailable);
}

}  // namespace zorbel
