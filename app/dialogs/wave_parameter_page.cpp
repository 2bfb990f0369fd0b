// A wave parameter page built from the field table, its fields bound to
// their rules; the pulse page's warning line.
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "zorbel/dialogs/edit_ex.h"
#include "zorbel/dialogs/program_texts.h"
#include "zorbel/dialogs/value_fields.h"
#include "zorbel/dialogs/wave_parameter_pages.h"
#include "zorbel/model/range_check.h"
#include "zorbel/numbers.h"

namespace zorbel {

CDlgWaveParameter::CDlgWaveParameter(std::uint16_t waveType, QWidget* parent)
    : QWidget(parent), waveType_(waveType), grid_(new QGridLayout) {
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kPanelColour);
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);
    setAutoFillBackground(true);
    QFont arial = font();
    arial.setFamily(QStringLiteral("Arial"));
    setFont(arial);

    auto* column = new QVBoxLayout(this);
    column->addLayout(grid_);
    column->addStretch(1);
    grid_->setColumnStretch(1, 1);

    for (const Parameter p : PageFields(waveType)) {
        const ValueField& field = FieldOf(p);
        CEditEx* edit = AddField(field.labelId, field.editId, field.label, field.decimals);
        valueEdits_.emplace_back(p, edit);
        Bind(
            edit, [p](DeviceSettings& settings, std::uint16_t channel) { return ParameterRule(settings, channel, p); },
            [this, p](FieldEntry entry) {
                if (entry != FieldEntry::Written) return;
                if (p == Parameter::Frequency) RequestPanelUpdate();
                ShowPulseWarning();
            });
    }
    if (waveType == kWavePulse) {
        // A line under the fields, no message box: the values are still sent as set.
        pulseWarning_ = new QLabel(this);
        pulseWarning_->setWordWrap(true);
        QPalette warning = pulseWarning_->palette();
        warning.setColor(QPalette::WindowText, QColor(160, 0, 0));
        pulseWarning_->setPalette(warning);
        pulseWarning_->hide();
        AddWide(pulseWarning_);
    }
}

CEditEx* CDlgWaveParameter::AddField(int labelId, int editId, const char* label, std::uint16_t decimals) {
    const int row = grid_->rowCount();
    auto* caption = new QLabel(QString::fromLatin1(label), this);
    auto* edit = new CEditEx(this);
    edit->SetDecimals(decimals);
    // A long translation wraps rather than squeezing the field (which keeps
    // at least the width of its value).
    caption->setWordWrap(true);
    // The label names the field for screen readers.
    caption->setBuddy(edit);
    SetControlId(caption, labelId);
    SetControlId(edit, editId);
    grid_->addWidget(caption, row, 0);
    grid_->addWidget(edit, row, 1);
    return edit;
}

void CDlgWaveParameter::AddWide(QWidget* control) { grid_->addWidget(control, grid_->rowCount(), 0, 1, 2); }

void CDlgWaveParameter::UpdatePage() {
    if (!Settings()) return;
    const auto values = Settings()->ReadRecord(Channel(), [](const ChannelRecord& r) { return r.values; });
    for (const auto& [p, edit] : valueEdits_) edit->SetValue(values[Index(p)]);
    ShowPulseWarning();
}

void CDlgWaveParameter::ShowPulseWarning() {
    if (!pulseWarning_ || !Settings()) return;
    const auto values = Settings()->ReadRecord(Channel(), [](const ChannelRecord& r) { return r.values; });
    const double frequency = values[Index(Parameter::Frequency)];
    const double duty = values[Index(Parameter::PulseDuty)];
    const double width = values[Index(Parameter::PulseWidth)];
    const auto g = [](double value) { return QString::fromStdString(FormatWindowsG(value)); };
    QString text;
    switch (FindPulseConflict(frequency, duty, width)) {
    case PulseConflict::None:
        break;
    case PulseConflict::WidthBeyondPeriod:
        text = ProgramText(Text::PulseWidthBeyondPeriod, {g(width), g(1 / frequency)});
        break;
    case PulseConflict::WidthAgainstDuty:
        text = ProgramText(Text::PulseWidthAgainstDuty, {g(width), g(duty), g(duty / frequency)});
        break;
    }
    if (text == pulseWarning_->text() && pulseWarning_->isHidden() == text.isEmpty()) return;
    pulseWarning_->setText(text);
    // Read with the label, and with the fields it speaks of when they get the focus.
    pulseWarning_->setAccessibleName(text);
    pulseWarning_->setAccessibleDescription(text);
    for (const auto& [p, edit] : valueEdits_)
        if (p == Parameter::Frequency || p == Parameter::PulseDuty || p == Parameter::PulseWidth)
            edit->setAccessibleDescription(text);
    pulseWarning_->setVisible(!text.isEmpty());
}

void CDlgWaveParameter::Bind(CEditEx* edit, std::function<FieldRule(DeviceSettings&, std::uint16_t channel)> make,
                             std::function<void(FieldEntry)> after) {
    BindField(
        edit, site_,
        [make = std::move(make)](DeviceSettings& settings) { return make(settings, settings.CurrentChannel()); },
        std::move(after));
}

void CDlgWaveParameter::RequestPanelUpdate() {
    if (panelUpdate_) panelUpdate_();
}

}  // namespace zorbel
