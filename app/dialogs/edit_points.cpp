// The point editor.
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

#include "zorbel/dialogs/arbitrary_tools.h"
#include "zorbel/dialogs/edit_ex.h"
#include "zorbel/dialogs/field_binding.h"
#include "zorbel/model/arbitrary_edit.h"

namespace zorbel {
namespace {

constexpr int kCaptionItem = 317;

}  // namespace

CDlgEditPoints::CDlgEditPoints(DeviceSettings& settings, RedrawSink* view, const LanguageLookup& languageText,
                               QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      view_(view),
      channel_(settings.CurrentChannel()),
      index_(new CEditEx(this)),
      voltage_(new CEditEx(this)),
      previous_(new QPushButton(QStringLiteral("Previous"), this)),
      next_(new QPushButton(QStringLiteral("Next"), this)) {
    auto* indexLabel = new QLabel(QStringLiteral("Index:"), this);
    auto* voltageLabel = new QLabel(QStringLiteral("Volt:"), this);
    indexLabel->setBuddy(index_);
    voltageLabel->setBuddy(voltage_);
    index_->SetDecimals(0);
    voltage_->SetDecimals(4);
    SetControlId(indexLabel, 1101);
    SetControlId(voltageLabel, 1102);
    SetControlId(index_, 1103);
    SetControlId(voltage_, 1104);
    SetControlId(previous_, 1105);
    SetControlId(next_, 1106);

    auto* grid = new QGridLayout(this);
    grid->addWidget(indexLabel, 0, 0);
    grid->addWidget(index_, 0, 1);
    grid->addWidget(voltageLabel, 1, 0);
    grid->addWidget(voltage_, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(previous_);
    buttons->addWidget(next_);
    grid->addLayout(buttons, 2, 0, 1, 2);

    const QString caption = languageText ? languageText(kCaptionItem) : QString();
    setWindowTitle(caption.isEmpty() ? QStringLiteral("Edit Points") : caption);
    TranslateControls(this, languageText);

    connect(previous_, &QPushButton::clicked, this, [this] { Step(-1); });
    connect(next_, &QPushButton::clicked, this, [this] { Step(1); });
    site_.Attach(&settings_, view_);
    BindField(index_, site_, [this](DeviceSettings&) { return IndexRule(); });
    BindField(voltage_, site_, [this](DeviceSettings&) { return VoltageRule(); });

    // The point edited last time, unless the waveform has become shorter since.
    const std::uint32_t kept = settings_.ReadRecord(channel_, [](const ChannelRecord& r) { return r.editPointIndex; });
    const std::uint32_t count = PointCount();
    current_ = count == 0 ? 0 : std::min(kept, count - 1);
    ShowPoint();
}

std::uint32_t CDlgEditPoints::PointCount() const {
    return settings_.ReadRecord(channel_, [](const ChannelRecord& r) {
        return static_cast<std::uint32_t>(std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size()));
    });
}

double CDlgEditPoints::PointVoltage() const {
    return settings_.ReadRecord(channel_, [this](const ChannelRecord& r) {
        return current_ < r.arbitrarySamples.size() ? r.arbitrarySamples[current_] : 0.0;
    });
}

void CDlgEditPoints::ShowPoint() {
    index_->SetInteger(current_);
    voltage_->SetValue(PointVoltage());
}

void CDlgEditPoints::Step(int direction) {
    if (direction < 0 && current_ > 0) --current_;
    if (direction > 0 && current_ + 1 < PointCount()) ++current_;
    ShowPoint();
}

FieldRule CDlgEditPoints::IndexRule() {
    return {
        // Anything that is not a point (-1 among them) means the last one.
        .take =
            [this](double typed) {
                const std::uint32_t count = PointCount();
                const long long index = TruncatedInteger(typed);
                const bool point = index >= 0 && index < static_cast<long long>(count);
                return static_cast<double>(point ? index : count == 0 ? 0 : count - 1);
            },
        .current = [this] { return static_cast<double>(current_); },
        .commit =
            [this](double index) {
                current_ = static_cast<std::uint32_t>(index);
                voltage_->SetValue(PointVoltage());
                return false;
            },
        .limits =
            [this] {
                return StepLimits{0, std::max(1.0, double(PointCount())) - 1};
            },
    };
}

FieldRule CDlgEditPoints::VoltageRule() {
    return {
        // Clamped silently, as the instrument could not play more.
        .take = [this](double typed) { return ClampArbitraryVoltage(typed, settings_.CopyLimits(channel_)); },
        .current = [this] { return PointVoltage(); },
        .commit = [this](double volts) { return WritePoint(volts); },
        .limits =
            [this] {
                const double limit = ArbitraryVoltageLimit(settings_.CopyLimits(channel_));
                return StepLimits{-limit, limit};
            },
    };
}

bool CDlgEditPoints::WritePoint(double volts) {
    const bool inside = settings_.ReadRecord(channel_, [&](const ChannelRecord& r) {
        return current_ < r.arbitraryPointCount && current_ < r.arbitrarySamples.size();
    });
    if (!inside) return false;
    // Each accepted entry is one step of the undo history.
    const std::uint32_t index = current_;
    EditArbitrary(settings_, channel_,
                  ArbitraryEdit::Points(index, index,
                                        [index, volts](std::vector<double>& samples, std::uint32_t) {
                                            samples[index] = volts;
                                            return std::optional<std::uint32_t>(index);
                                        }),
                  view_);
    return false;  // the edit has asked the view for its redraw
}

void CDlgEditPoints::reject() {
    // A value typed into a field that still has the focus counts, as if the
    // field had been left first, so that the gain below covers it.
    if (auto* field = qobject_cast<CEditEx*>(QApplication::focusWidget()); field && isAncestorOf(field))
        field->TakeValue();
    settings_.ModifyRecord(channel_, [this](ChannelRecord& r) { r.editPointIndex = current_; });
    settings_.ZoomFromData(channel_);
    QDialog::reject();
}

}  // namespace zorbel
