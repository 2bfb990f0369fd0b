// The arbitrary page: the waveform's frequency (which chooses sample clock
// divider and points per period), its point count and divider, and "Write",
// which queues the download.
#include <QLabel>
#include <QPushButton>
#include <new>

#include "zorbel/dialogs/arbitrary_tools.h"
#include "zorbel/dialogs/edit_ex.h"
#include "zorbel/dialogs/value_fields.h"
#include "zorbel/dialogs/wave_parameter_pages.h"
#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/session_observer.h"

namespace zorbel {
namespace {

QLabel* Instruction(int id, const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setWordWrap(true);
    SetControlId(label, id);
    return label;
}

}  // namespace

CDlgWaveParameterArbitrary::CDlgWaveParameterArbitrary(QWidget* parent) : CDlgWaveParameter(kWaveArbitrary, parent) {
    AddWide(Instruction(1045, "First, please set the Frequency.", this));
    frequency_ = AddField(1054, 1055, "Frequency:", 6);
    AddWide(Instruction(1046, "Second, select other controls.", this));
    // Opens the list of every sample clock for the frequency. The instrument
    // software drew this button invisible; here it is shown, since a list
    // that no user can reach is of no use.
    auto* other = new QPushButton(QStringLiteral("Other"), this);
    SetControlId(other, 1049);
    AddWide(other);
    pointCount_ = AddField(1050, 1051, "Counter:", 0);
    divider_ = AddField(1052, 1053, "Sample:", 0);
    AddWide(Instruction(1047, "Third, create arb data.", this));
    auto* write = new QPushButton(QStringLiteral("Write"), this);
    SetControlId(write, 1042);
    AddWide(write);
    AddWide(Instruction(1048, "Final, Send to Device.", this));

    connect(frequency_, &CEditEx::LeftNormalized, this, [this] { FrequencyLeft(); });
    connect(pointCount_, &CEditEx::LeftNormalized, this, [this] { PointCountLeft(); });
    connect(divider_, &CEditEx::LeftNormalized, this, [this] { DividerLeft(); });
    connect(write, &QPushButton::clicked, this, [this] { Write(); });
    connect(other, &QPushButton::clicked, this, [this] { ShowArbitraryControls(); });
}

void CDlgWaveParameterArbitrary::UpdatePage() {
    if (!Settings()) return;
    const auto [frequency, points, divider] = Settings()->ReadRecord(Channel(), [](const ChannelRecord& r) {
        return std::tuple{r.arbitraryFrequency, r.arbitraryPointCount, r.arbitraryDivider};
    });
    frequency_->SetValue(frequency);
    pointCount_->SetInteger(points);
    divider_->SetInteger(divider);
}

void CDlgWaveParameterArbitrary::FrequencyLeft() {
    if (!Settings()) return;
    const std::uint16_t channel = Channel();
    const auto current = [&] {
        return Settings()->ReadRecord(channel, [](const ChannelRecord& r) { return r.arbitraryFrequency; });
    };
    const double typed = ParseField(frequency_);
    if (const auto refusal = ArbitraryFrequencyRefusal(channel, typed, Settings()->CopyLimits(channel))) {
        Refuse(*refusal);
        if (Settings()) frequency_->SetValue(current());
        return;
    }
    if (typed == current()) return;
    if (ChooseArbitraryControl(*Settings(), channel, typed)) {
        const auto [points, divider] = Settings()->ReadRecord(channel, [](const ChannelRecord& r) {
            return std::pair{r.arbitraryPointCount, r.arbitraryDivider};
        });
        pointCount_->SetInteger(points);
        divider_->SetInteger(divider);
        RequestRedraw(RefreshMask::Annotations);
    }
    RequestPanelUpdate();
}

void CDlgWaveParameterArbitrary::PointCountLeft() {
    if (!Settings()) return;
    const std::uint16_t channel = Channel();
    const auto current = [&] {
        return Settings()->ReadRecord(channel, [](const ChannelRecord& r) { return r.arbitraryPointCount; });
    };
    long long count = TruncatedInteger(ParseField(pointCount_));
    // The instrument plays whole blocks of 16 points.
    if (count >= 0 && (count & 15) != 0) {
        count &= ~15LL;
        pointCount_->SetInteger(count);
    }
    if (const auto refusal = PointCountRefusal(channel, count)) {
        Refuse(*refusal);
        if (Settings()) pointCount_->SetInteger(current());
        return;
    }
    if (count == current()) return;
    try {
        EditArbitrary(*Settings(), channel, ArbitraryEdit::Resize(static_cast<std::uint32_t>(count)));
    } catch (const std::bad_alloc&) {
        // Up to 2^26 points are allowed; a machine without the memory for
        // them keeps the waveform it has.
        pointCount_->SetInteger(current());
        return;
    }
    RequestRedraw(RefreshMask::Annotations);
}

void CDlgWaveParameterArbitrary::DividerLeft() {
    if (!Settings()) return;
    const std::uint16_t channel = Channel();
    const auto current = [&] {
        return Settings()->ReadRecord(channel, [](const ChannelRecord& r) { return r.arbitraryDivider; });
    };
    // Checked as typed: keeping only 16 bits first would take 65636 as 100.
    const long long divider = TruncatedInteger(ParseField(divider_));
    if (const auto refusal = DividerRefusal(channel, divider)) {
        Refuse(*refusal);
        if (Settings()) divider_->SetInteger(current());
        return;
    }
    if (divider != current()) Settings()->SetArbitraryDivider(channel, static_cast<std::uint16_t>(divider));
}

void CDlgWaveParameterArbitrary::ShowArbitraryControls() {
    if (!Settings()) return;
    const double frequency =
        Settings()->ReadRecord(Channel(), [](const ChannelRecord& r) { return r.arbitraryFrequency; });
    const auto controls = ListArbitraryControls(frequency);
    if (!controls) return;
    CDlgArbitraryControl list(*controls, this);
    list.exec();
}

void CDlgWaveParameterArbitrary::Write() {
    if (Settings()) Settings()->StartArbitraryDownload(Channel());
}

}  // namespace zorbel
