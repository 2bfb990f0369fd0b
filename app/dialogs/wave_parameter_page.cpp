// A wave parameter page built from the field table, and the handling of a
// value field that is left.
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
        connect(edit, &CEditEx::LeftNormalized, this, [this, p, edit] { ValueFieldLeft(p, edit); });
    }
}

CEditEx* CDlgWaveParameter::AddField(int labelId, int editId, const char* label, std::uint16_t decimals) {
    const int row = grid_->rowCount();
    auto* caption = new QLabel(QString::fromLatin1(label), this);
    auto* edit = new CEditEx(this);
    edit->SetDecimals(decimals);
    // The label names the field for screen readers.
    caption->setBuddy(edit);
    SetControlId(caption, labelId);
    SetControlId(edit, editId);
    grid_->addWidget(caption, row, 0);
    grid_->addWidget(edit, row, 1);
    return edit;
}

void CDlgWaveParameter::AddWide(QWidget* control) { grid_->addWidget(control, grid_->rowCount(), 0, 1, 2); }

void CDlgWaveParameter::Attach(DeviceSettings* settings, ViewRedraw* view) {
    settings_ = settings;
    view_ = view;
}

void CDlgWaveParameter::UpdatePage() {
    if (!settings_) return;
    const auto values = settings_->ReadRecord(Channel(), [](const ChannelRecord& r) { return r.values; });
    for (const auto& [p, edit] : valueEdits_) edit->SetValue(values[Index(p)]);
}

double CDlgWaveParameter::ParseField(const CEditEx* edit) const {
    return settings_->ParseNumberText(std::u16string_view(edit->text().toStdU16String()));
}

void CDlgWaveParameter::Refuse(const std::string& message) {
    const QString text = QString::fromStdString(message);
    if (messages_)
        messages_(text);
    else
        ShowMessageBox(this, text);
}

void CDlgWaveParameter::RequestRedraw(RefreshMask mask) {
    if (view_) view_->RequestRedraw(mask);
}

void CDlgWaveParameter::RequestPanelUpdate() {
    if (panelUpdate_) panelUpdate_();
}

void CDlgWaveParameter::ValueFieldLeft(Parameter p, CEditEx* edit) {
    if (!settings_) return;
    const std::uint16_t channel = Channel();
    const auto current = [&] {
        return settings_->ReadRecord(channel, [p](const ChannelRecord& r) { return r.Value(p); });
    };
    const double typed = ParseField(edit);
    const CheckedValue checked = CheckTypedValue(p, channel, typed, settings_->CopyLimits(channel));
    if (checked.refusal) {
        Refuse(*checked.refusal);
        // The program may have detached the model while the message was up.
        if (settings_) edit->SetValue(current());
        return;
    }
    // The field shows what the instrument will hold.
    if (checked.sent != typed) edit->SetValue(checked.sent);
    if (checked.sent == current()) return;
    settings_->SetParameter(channel, p, checked.sent);
    RequestRedraw(FieldOf(p).refreshMask);
    if (p == Parameter::Frequency) RequestPanelUpdate();
}

}  // namespace zorbel
