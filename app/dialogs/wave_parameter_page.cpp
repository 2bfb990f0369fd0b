// A wave parameter page built from the field table, its fields bound to
// their rules.
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "zorbel/dialogs/edit_ex.h"
#include "zorbel/dialogs/value_fields.h"
#include "zorbel/dialogs/wave_parameter_pages.h"

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
                if (entry == FieldEntry::Written && p == Parameter::Frequency) RequestPanelUpdate();
            });
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
