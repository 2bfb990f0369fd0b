// The arbitrary page: the waveform's frequency (which chooses sample clock
// divider and points per period), its point count and divider, and "Write",
// which queues the download.
#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "zorbel/dialogs/arbitrary_tools.h"
#include "zorbel/dialogs/edit_ex.h"
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

    // A new frequency may choose a new sample clock: points and divider
    // follow; a new count or divider plays at a new frequency.
    const auto showClock = [this](FieldEntry entry) {
        if (entry != FieldEntry::Written) return;
        UpdatePage();
        RequestPanelUpdate();
    };
    Bind(frequency_, ArbitraryFrequencyRule, showClock);
    Bind(pointCount_, PointCountRule, showClock);
    Bind(divider_, DividerRule, showClock);
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

void CDlgWaveParameterArbitrary::ShowArbitraryControls() {
    if (!Settings()) return;
    const double frequency =
        Settings()->ReadRecord(Channel(), [](const ChannelRecord& r) { return r.arbitraryFrequency; });
    const auto controls = ListArbitraryControls(frequency);
    if (!controls) return;
    CDlgArbitraryControl list(*controls, this);
    if (list.exec() != QDialog::Accepted || !list.Chosen() || !Settings()) return;
    // The chosen clock as a typed frequency's: the waveform resampled, the
    // divider set, the frequency kept; a large waveform ends later, and the
    // panel shows it then.
    if (!ApplyArbitraryControl(*Settings(), Channel(), *list.Chosen(), frequency, Site().View())) {
        QApplication::beep();  // a clock of no points or more than the memory holds
        return;
    }
    UpdatePage();
    RequestPanelUpdate();
    Site().RequestRedraw(RefreshMask::Everything);  // the annotations name the clock
}

void CDlgWaveParameterArbitrary::Write() {
    if (Settings()) Settings()->StartArbitraryDownload(Channel());
}

}  // namespace zorbel
