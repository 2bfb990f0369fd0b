// The Sweep dialog and its rules.
#include "zorbel/dialogs/sweep_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

#include "zorbel/dialogs/program_texts.h"
#include "zorbel/model/sweep.h"
#include "zorbel/numbers.h"

namespace zorbel {
namespace {

// How often the dialog shows the run's progress.
constexpr int kUpdatePeriodMs = 100;

Text ProblemItem(SweepProblem problem) {
    switch (problem) {
    case SweepProblem::SameEnds:
        return Text::SweepSameEnds;
    case SweepProblem::TooFewValues:
        return Text::SweepTooFewValues;
    case SweepProblem::TooManyValues:
        return Text::SweepTooManyValues;
    case SweepProblem::LogNotPositive:
        return Text::SweepLogNotPositive;
    case SweepProblem::DwellOutOfRange:
        return Text::SweepDwellRange;
    case SweepProblem::RepeatOutOfRange:
        return Text::SweepRepeatRange;
    default:  // a step of 0; the form never gives both or neither, nor another parameter
        return Text::SweepStepZero;
    }
}

std::optional<double> Number(const DeviceSettings& settings, QString text) {
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    return settings.TryParseNumberText(std::u16string_view(text.toStdU16String()));
}

// A whole number from the field, or nothing (also for 2.5).
std::optional<long long> Whole(const DeviceSettings& settings, const QString& text) {
    const auto value = Number(settings, text);
    if (!value || *value != std::floor(*value) || std::fabs(*value) > 1e12) return std::nullopt;
    return static_cast<long long>(*value);
}

}  // namespace

SweepFormResult SweepPlanOfForm(const SweepForm& form, const DeviceSettings& settings, std::uint16_t channel) {
    SweepPlan plan;
    plan.parameter = form.parameter;
    plan.scale = form.logarithmic ? SweepScale::Logarithmic : SweepScale::Linear;
    plan.upDown = form.upDown;
    const auto notNumber = [](const QString& text) {
        return SweepFormResult{std::nullopt, ProgramText(Text::SweepNotNumber, {text.trimmed()})};
    };
    const auto start = Number(settings, form.start);
    if (!start) return notNumber(form.start);
    const auto stop = Number(settings, form.stop);
    if (!stop) return notNumber(form.stop);
    plan.start = *start;
    plan.stop = *stop;
    if (form.byStep) {
        const auto step = Number(settings, form.countOrStep);
        if (!step) return notNumber(form.countOrStep);
        if (*step == 0.0) return {std::nullopt, ProgramText(Text::SweepStepZero)};
        plan.step = *step;
    } else {
        const auto count = Whole(settings, form.countOrStep);
        if (!count) return notNumber(form.countOrStep);
        if (*count < 2) return {std::nullopt, ProgramText(Text::SweepTooFewValues)};
        if (*count > kMaximumSweepValues) return {std::nullopt, ProgramText(Text::SweepTooManyValues)};
        plan.count = static_cast<std::uint32_t>(*count);
    }
    const auto dwell = Number(settings, form.dwellSeconds);
    if (!dwell) return notNumber(form.dwellSeconds);
    if (!(*dwell * 1000 >= static_cast<double>(kMinimumSweepDwell.count()) &&
          *dwell * 1000 <= static_cast<double>(kMaximumSweepDwell.count())))
        return {std::nullopt, ProgramText(Text::SweepDwellRange)};
    plan.dwell = std::chrono::milliseconds(std::llround(*dwell * 1000));
    const auto repeat = Whole(settings, form.repeat);
    if (!repeat) return notNumber(form.repeat);
    if (*repeat < 1 || *repeat > kMaximumSweepRepeats) return {std::nullopt, ProgramText(Text::SweepRepeatRange)};
    plan.repeat = static_cast<std::uint32_t>(*repeat);

    SweepProblem problem = SweepProblem::None;
    if (!SweepSteps::Of(plan, &problem)) return {std::nullopt, ProgramText(ProblemItem(problem))};
    if (auto message = SweepLimitsMessage(plan, channel, settings.CopyLimits(channel)))
        return {std::nullopt, TranslateFileText(*message)};
    return {plan, {}};
}

QString SweepStatusText(const SweepRun* run) {
    if (!run) return {};
    const SweepRun::Progress p = run->Now();
    if (p.state != SweepState::Running) return {};
    return ProgramText(Text::SweepStatus, {QString::number(run->Channel() + 1),
                                           QString::fromStdString(SweepValueText(run->Plan().parameter, p.value)),
                                           QString::number(p.written), QString::number(p.total)});
}

CDlgSweep::CDlgSweep(DeviceSettings& settings, std::function<void()> changed, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      changed_(std::move(changed)),
      quantity_(new QComboBox(this)),
      start_(new QLineEdit(this)),
      stop_(new QLineEdit(this)),
      logarithmic_(new QCheckBox(this)),
      byCount_(new QRadioButton(this)),
      byStep_(new QRadioButton(this)),
      countOrStep_(new QLineEdit(this)),
      dwell_(new QLineEdit(this)),
      repeat_(new QLineEdit(this)),
      upDown_(new QCheckBox(this)),
      keepLast_(new QCheckBox(this)),
      message_(new QLabel(this)),
      startButton_(new QPushButton(this)),
      stopButton_(new QPushButton(this)),
      timer_(new QTimer(this)) {
    quantity_->addItem(QString());
    quantity_->addItem(QString());
    auto* form = new QFormLayout;
    const auto row = [&](Text label, QWidget* field) {
        auto* text = new QLabel(this);
        texts_.emplace_back(text, label);
        text->setBuddy(field);
        form->addRow(text, field);
    };
    row(Text::SweepQuantity, quantity_);
    row(Text::SweepStart, start_);
    row(Text::SweepStop, stop_);
    form->addRow(logarithmic_);
    auto* byWhat = new QHBoxLayout;
    byWhat->addWidget(byCount_);
    byWhat->addWidget(byStep_);
    form->addRow(byWhat);
    form->addRow(QString(), countOrStep_);
    row(Text::SweepDwell, dwell_);
    row(Text::SweepRepeat, repeat_);
    form->addRow(upDown_);
    form->addRow(keepLast_);
    message_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(startButton_, QDialogButtonBox::ActionRole);
    buttons->addButton(stopButton_, QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    for (const auto& [widget, item] :
         std::initializer_list<std::pair<QWidget*, Text>>{{logarithmic_, Text::SweepLogarithmic},
                                                          {byCount_, Text::SweepByCount},
                                                          {byStep_, Text::SweepByStep},
                                                          {upDown_, Text::SweepUpDown},
                                                          {keepLast_, Text::SweepKeepLast},
                                                          {startButton_, Text::SweepRun},
                                                          {stopButton_, Text::SweepHalt},
                                                          {close, Text::SweepClose}})
        texts_.emplace_back(widget, item);
    Retranslate();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(message_);
    layout->addWidget(buttons);

    // The channel's present value to ten times it, eleven values of 0.1 s.
    const std::uint16_t channel = settings_.CurrentChannel();
    const double frequency = settings_.Record(channel).Value(Parameter::Frequency);
    SetForm({Parameter::Frequency, QString::fromStdString(FormatWindowsG(frequency)),
             QString::fromStdString(FormatWindowsG(frequency * 10)), false, false, QStringLiteral("11"),
             QStringLiteral("0.1"), QStringLiteral("1"), false});
    keepLast_->setChecked(true);
    connect(byCount_, &QRadioButton::toggled, this, [this](bool on) {
        countOrStep_->setAccessibleName(ProgramText(on ? Text::SweepByCount : Text::SweepByStep));
    });
    countOrStep_->setAccessibleName(ProgramText(byCount_->isChecked() ? Text::SweepByCount : Text::SweepByStep));
    connect(startButton_, &QPushButton::clicked, this, [this] { StartSweep(); });
    connect(stopButton_, &QPushButton::clicked, this, [this] { StopSweep(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(timer_, &QTimer::timeout, this, [this] { Update(); });
    timer_->start(kUpdatePeriodMs);
    Update();
}

void CDlgSweep::Retranslate() {
    setWindowTitle(ProgramText(Text::SweepTitle));
    quantity_->setItemText(0, ProgramText(Text::SweepFrequency));
    quantity_->setItemText(1, ProgramText(Text::SweepAmplitude));
    for (const auto& [widget, item] : texts_) {
        if (auto* label = qobject_cast<QLabel*>(widget))
            label->setText(ProgramText(item));
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            button->setText(ProgramText(item));
    }
    countOrStep_->setAccessibleName(ProgramText(byCount_->isChecked() ? Text::SweepByCount : Text::SweepByStep));
    Update();
}

SweepForm CDlgSweep::Form() const {
    return {quantity_->currentIndex() == 1 ? Parameter::Amplitude : Parameter::Frequency,
            start_->text(),
            stop_->text(),
            logarithmic_->isChecked(),
            byStep_->isChecked(),
            countOrStep_->text(),
            dwell_->text(),
            repeat_->text(),
            upDown_->isChecked()};
}

void CDlgSweep::SetForm(const SweepForm& form) {
    quantity_->setCurrentIndex(form.parameter == Parameter::Amplitude ? 1 : 0);
    start_->setText(form.start);
    stop_->setText(form.stop);
    logarithmic_->setChecked(form.logarithmic);
    (form.byStep ? byStep_ : byCount_)->setChecked(true);
    countOrStep_->setText(form.countOrStep);
    dwell_->setText(form.dwellSeconds);
    repeat_->setText(form.repeat);
    upDown_->setChecked(form.upDown);
}

QString CDlgSweep::Message() const { return message_->text(); }

bool CDlgSweep::StartSweep() {
    const std::uint16_t channel = settings_.CurrentChannel();
    const SweepFormResult result = SweepPlanOfForm(Form(), settings_, channel);
    if (!result.plan) {
        message_->setText(result.message);
        return false;
    }
    if (!settings_.StartSweep(channel, *result.plan, *SweepSteps::Of(*result.plan))) {
        message_->setText(ProgramText(Text::SweepNotOnline));
        return false;
    }
    message_->clear();
    shownSteps_ = 0;
    Update();
    return true;
}

void CDlgSweep::StopSweep() {
    if (const auto run = settings_.Sweep())
        run->RequestStop(keepLast_->isChecked() ? SweepStopChoice::KeepLast : SweepStopChoice::RestoreOriginal);
}

void CDlgSweep::Update() {
    const std::shared_ptr<SweepRun> run = settings_.Sweep();
    const bool running = run && run->Now().state == SweepState::Running;
    startButton_->setEnabled(!running);
    stopButton_->setEnabled(running);
    if (!run) return;
    const SweepRun::Progress p = run->Now();
    if (running) {
        message_->setText(SweepStatusText(run.get()));
    } else if (running_) {
        message_->setText(
            ProgramText(Text::SweepEnded,
                        {QString::number(run->Channel() + 1),
                         QString::fromStdString(SweepValueText(
                             run->Plan().parameter, settings_.Record(run->Channel()).Value(run->Plan().parameter))),
                         QString::number(p.written), QString::number(p.total)}));
    }
    if ((p.written != shownSteps_ || running != running_) && changed_) changed_();
    shownSteps_ = p.written;
    running_ = running;
}

}  // namespace zorbel
