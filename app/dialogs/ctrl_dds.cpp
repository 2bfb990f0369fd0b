// CDlgCtrlDDS: building the panel, and its handlers.
#include "zorbel/dialogs/ctrl_dds.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>
#include <algorithm>

#include "zorbel/dialogs/accessible_texts.h"
#include "zorbel/dialogs/choice_group.h"
#include "zorbel/dialogs/edit_ex.h"
#include "zorbel/dialogs/program_texts.h"
#include "zorbel/dialogs/value_fields.h"
#include "zorbel/dialogs/wave_parameter_pages.h"
#include "zorbel/model/session_observer.h"

namespace zorbel {
namespace {

// Per wave type 1..6: template caption and button id.
struct WaveTypeControl {
    const char* caption;
    int buttonId;
};
constexpr std::array<WaveTypeControl, 6> kWaveTypeControls = {{
    {"Sine", 1006},
    {"Square", 1008},
    {"Ramp", 1010},
    {"Pulse", 1012},
    {"Noise", 1014},
    {"Arb", 1016},
}};

constexpr std::array<const char*, 3> kUnitCaptions = {" Hz", " KHz", " MHz"};
constexpr std::array<int, 3> kUnitIds = {1059, 1060, 1061};

// A wave type's button with its indicator radio to its left, one control:
// checked while its type is chosen, which the indicator shows; the button
// itself is drawn raised as a plain button would be.
class WaveTypeButton final : public QPushButton {
public:
    WaveTypeButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) { setCheckable(true); }

    // QPushButton's least size is this size too.
    QSize sizeHint() const override { return QPushButton::sizeHint() + QSize(IndicatorRoom(), 0); }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton indicator;
        indicator.initFrom(this);
        indicator.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        indicator.state |= isChecked() ? QStyle::State_On : QStyle::State_Off;
        const QSize box(style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, this),
                        style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, nullptr, this));
        indicator.rect = QRect(QPoint(0, (height() - box.height()) / 2), box);
        painter.drawPrimitive(QStyle::PE_IndicatorRadioButton, indicator);

        QStyleOptionButton bevel;
        initStyleOption(&bevel);
        bevel.rect = rect().adjusted(IndicatorRoom(), 0, 0, 0);
        bevel.state &= ~QStyle::State_On;
        if (!(bevel.state & QStyle::State_Sunken)) bevel.state |= QStyle::State_Raised;
        painter.drawControl(QStyle::CE_PushButton, bevel);
    }
    // The indicator answers a click as the button does.
    bool hitButton(const QPoint& at) const override { return rect().contains(at); }

private:
    int IndicatorRoom() const {
        const int gap = style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, this);
        return style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, this) + (gap >= 0 ? gap : 6) + 4;
    }
};

template <class W>
W* WithId(W* control, int id) {
    SetControlId(control, id);
    return control;
}

}  // namespace

CDlgCtrlDDS::CDlgCtrlDDS(QWidget* parent) : CScrollDialog(parent) {
    QWidget* body = Body();
    QPalette colours = body->palette();
    colours.setColor(QPalette::Window, kPanelColour);
    colours.setColor(QPalette::WindowText, Qt::black);
    body->setPalette(colours);
    body->setAutoFillBackground(true);
    QFont arial = body->font();
    arial.setFamily(QStringLiteral("Arial"));
    body->setFont(arial);

    // Created top to bottom: that is also the order Tab moves in.
    auto* column = new QVBoxLayout(body);
    column->addLayout(BuildTop(body));
    column->addWidget(BuildWaveTypes(body));
    column->addWidget(BuildPages(body));
    column->addWidget(BuildFrequency(body));
    column->addStretch(1);
}

QLayout* CDlgCtrlDDS::BuildTop(QWidget* body) {
    auto* grid = new QGridLayout;
    auto* enabled = WithId(new QLabel(QStringLiteral("Enabled :"), body), 1056);
    // Checked while the output is on: screen readers tell the state, not only the flipping caption.
    outputSwitch_ = WithId(new QPushButton(QStringLiteral("On"), body), 1001);
    outputSwitch_->setCheckable(true);
    enabled->setBuddy(outputSwitch_);
    auto* channel = WithId(new QLabel(QStringLiteral("Channel :"), body), 1057);
    channelRadios_[0] = WithId(new QRadioButton(QStringLiteral("CH1"), body), 1002);
    channelRadios_[1] = WithId(new QRadioButton(QStringLiteral("CH2"), body), 1003);
    channel->setBuddy(channelRadios_[0]);
    channelGroup_ = new ChoiceGroup({channelRadios_[0], channelRadios_[1]}, this);
    grid->addWidget(enabled, 0, 0);
    grid->addWidget(outputSwitch_, 0, 1, 1, 2);
    grid->addWidget(channel, 1, 0);
    grid->addWidget(channelRadios_[0], 1, 1);
    grid->addWidget(channelRadios_[1], 1, 2);

    connect(outputSwitch_, &QPushButton::clicked, this, [this] {
        ToggleOutput();
        ShowOutputCaption();  // a click the model did not take leaves the switch as it was
    });
    for (std::uint16_t ch = 0; ch < 2; ++ch)
        connect(channelRadios_[ch], &QRadioButton::clicked, this, [this, ch] { ChooseChannel(ch); });
    return grid;
}

QGroupBox* CDlgCtrlDDS::BuildWaveTypes(QWidget* body) {
    auto* group = WithId(new QGroupBox(QStringLiteral("Type"), body), 1004);
    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    for (std::uint16_t i = 0; i < kWaveTypeControls.size(); ++i) {
        const WaveTypeControl& control = kWaveTypeControls[i];
        auto* button = WithId(new WaveTypeButton(QString::fromLatin1(control.caption), group), control.buttonId);
        grid->addWidget(button, i / 2, i % 2);
        waveTypeButtons_[i] = button;
        const std::uint16_t type = i + 1;
        connect(button, &QPushButton::clicked, this, [this, type] { SelectWaveType(type); });
    }
    waveTypeGroup_ = new ChoiceGroup({waveTypeButtons_.begin(), waveTypeButtons_.end()}, this);
    return group;
}

QGroupBox* CDlgCtrlDDS::BuildPages(QWidget* body) {
    auto* group = WithId(new QGroupBox(QStringLiteral("Parameter"), body), 1041);
    auto* layout = new QVBoxLayout(group);
    pageFrame_ = WithId(new QWidget(group), 1017);
    layout->addWidget(pageFrame_);
    for (std::uint16_t type = kWaveSine; type <= kWaveNoise; ++type)
        pages_[type - 1] = new CDlgWaveParameter(type, pageFrame_);
    pages_[kWaveArbitrary - 1] = new CDlgWaveParameterArbitrary(pageFrame_);
    // All six on the same place; the frame is as large as the largest, so
    // that the panel keeps its size whichever page is shown (hidden pages
    // keep their room), in every language.
    auto* place = new QGridLayout(pageFrame_);
    place->setContentsMargins(0, 0, 0, 0);
    for (CDlgWaveParameter* page : pages_) {
        QSizePolicy policy = page->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        page->setSizePolicy(policy);
        place->addWidget(page, 0, 0);
        page->SetPanelUpdate([this] { UpdatePanel(); });
        page->hide();
    }
    pages_[0]->show();
    return group;
}

QGroupBox* CDlgCtrlDDS::BuildFrequency(QWidget* body) {
    auto* group = WithId(new QGroupBox(QStringLiteral("Frequncy"), body), 1058);
    auto* grid = new QGridLayout(group);
    for (std::uint16_t unit = 0; unit < 3; ++unit) {
        unitRadios_[unit] = WithId(new QRadioButton(QString::fromLatin1(kUnitCaptions[unit]), group), kUnitIds[unit]);
        grid->addWidget(unitRadios_[unit], 0, unit);
        connect(unitRadios_[unit], &QRadioButton::clicked, this, [this, unit] { ApplyFrequencyUnit(unit); });
    }
    unitGroup_ = new ChoiceGroup({unitRadios_.begin(), unitRadios_.end()}, this);
    // No label of its own: screen readers name it by the group's caption.
    frequencyEdit_ = WithId(new CEditEx(group), 1062);
    frequencyEdit_->SetDecimals(6);
    formatButton_ = WithId(new QPushButton(QStringLiteral("Format"), group), 1063);
    grid->addWidget(frequencyEdit_, 1, 0, 1, 2);
    grid->addWidget(formatButton_, 1, 2);
    connect(frequencyEdit_, &CEditEx::LeftNormalized, this, [this] {
        if (!Settings()) return;
        if (const std::optional<double> typed = FieldNumber(*Settings(), frequencyEdit_))
            EnterFrequency(JoinFrequency(*typed, shown_.unit), shown_.unit, false);
    });
    // Stepped within the channel's frequency limits, in the unit shown.
    frequencyEdit_->SetStepLimits([this]() -> std::optional<StepLimits> {
        if (!Settings()) return std::nullopt;
        const FieldRule rule = PanelFrequencyRule(*Settings(), Settings()->CurrentChannel());
        StepLimits limits = rule.limits();
        const double unit = JoinFrequency(1, shown_.unit);
        limits.minimum /= unit;
        limits.maximum /= unit;
        return limits;
    });
    connect(formatButton_, &QPushButton::clicked, this, [this] {
        if (Settings()) ShowChannelFrequency();
    });
    return group;
}

void CDlgCtrlDDS::Attach(DeviceSettings* settings, RedrawSink* view) {
    site_.Attach(settings, view);
    for (CDlgWaveParameter* page : pages_) page->Attach(settings, view);
}

void CDlgCtrlDDS::SetMessageSink(MessageSink sink) {
    site_.SetMessageSink(sink);
    for (CDlgWaveParameter* page : pages_) page->SetMessageSink(sink);
}

void CDlgCtrlDDS::Retranslate(const LanguageLookup& languageText) {
    TranslateControls(this, languageText);
    // A hidden page's labels do not tell the frame that they changed size.
    for (CDlgWaveParameter* page : pages_) {
        page->updateGeometry();
        page->ShowPulseWarning();  // a text of the program's own, not a control's caption
    }
    const auto text = [&](int item, const char* fallback) {
        const QString found = languageText ? languageText(item) : QString();
        return found.isEmpty() ? QString::fromLatin1(fallback) : found;
    };
    onText_ = text(10000, "ON");
    offText_ = text(10001, "OFF");
    ShowOutputCaption();
    TrimAccessibleNames(this);
}

CDlgWaveParameter* CDlgCtrlDDS::Page(std::uint16_t type) const {
    return type >= 1 && type <= pages_.size() ? pages_[type - 1] : nullptr;
}

void CDlgCtrlDDS::UpdatePanel() {
    if (!Settings()) return;
    const auto [output, type] = Settings()->ReadRecord(Settings()->CurrentChannel(), [](const ChannelRecord& r) {
        return std::pair{r.outputState, r.waveType};
    });
    CheckChannelRadios();
    outputOn_ = output == 1;
    ShowOutputCaption();
    SelectWaveType(type);
}

void CDlgCtrlDDS::SelectWaveType(std::uint16_t type) {
    CheckChannelRadios();
    CheckWaveTypeRadio(type);
    // The page that stays is never hidden on the way: a field of it may have
    // the focus (a frequency taken there updates the whole panel).
    CDlgWaveParameter* shown = Page(type);
    for (CDlgWaveParameter* page : pages_)
        if (page != shown) page->hide();
    if (shown) {
        shown->UpdatePage();
        shown->show();
    }
    // Noise has no frequency.
    const bool hasFrequency = type != kWaveNoise;
    for (QWidget* control :
         std::initializer_list<QWidget*>{unitRadios_[0], unitRadios_[1], unitRadios_[2], frequencyEdit_, formatButton_})
        control->setEnabled(hasFrequency);
    if (!Settings()) return;

    const std::uint16_t channel = Settings()->CurrentChannel();
    const auto [waveType, frequency, arbitraryFrequency] = Settings()->ReadRecord(channel, [](const ChannelRecord& r) {
        return std::tuple{r.waveType, r.Value(Parameter::Frequency), r.arbitraryFrequency};
    });
    ShowFrequency(type == kWaveArbitrary ? arbitraryFrequency : frequency);
    if (type != waveType && IsValidWaveType(type)) {
        Settings()->SetWaveType(channel, type);
        RequestRedraw(RefreshMask::Annotations);
    }
}

void CDlgCtrlDDS::ShowFrequency(double frequency, std::uint16_t unit) {
    shown_ = {unit, frequency / JoinFrequency(1, unit)};
    unitGroup_->Check(unit);
    frequencyEdit_->SetValue(shown_.mantissa);
}

void CDlgCtrlDDS::ShowFrequency(double frequency) { ShowFrequency(frequency, SplitFrequency(frequency).unit); }

void CDlgCtrlDDS::ApplyFrequencyUnit(std::uint16_t unit) {
    if (!Settings()) return;
    // The number as last shown or accepted, not as it stands in the field.
    EnterFrequency(JoinFrequency(shown_.mantissa, unit), unit, true);
}

void CDlgCtrlDDS::EnterFrequency(double frequency, std::uint16_t unit, bool unitClicked) {
    const std::uint16_t channel = Settings()->CurrentChannel();
    const std::uint16_t type = Settings()->ReadRecord(channel, [](const ChannelRecord& r) { return r.waveType; });
    const FieldEntry entry = site_.Enter(
        PanelFrequencyRule(*Settings(), channel), frequency,
        [this, unit](double accepted) { ShowFrequency(accepted, unit); }, [this](double held) { ShowFrequency(held); });
    if (!Settings()) return;  // detached while a message was up
    if (entry == FieldEntry::Written) {
        if (CDlgWaveParameter* page = Page(type)) page->UpdatePage();
    }
    // A click on a unit radio must not leave the wave type's radio unchecked.
    if (unitClicked) {
        CheckChannelRadios();
        CheckWaveTypeRadio(type);
    }
}

void CDlgCtrlDDS::ShowChannelFrequency() {
    ShowFrequency(PanelFrequencyRule(*Settings(), Settings()->CurrentChannel()).current());
}

void CDlgCtrlDDS::ToggleOutput() {
    if (!Settings()) return;
    const std::uint16_t channel = Settings()->CurrentChannel();
    const std::uint16_t state = Settings()->ReadRecord(channel, [](const ChannelRecord& r) { return r.outputState; });
    // Switch and model disagree only when the model changed behind the
    // panel's back; the next UpdatePanel realigns them.
    if (outputOn_ != (state == 1)) return;
    outputOn_ = !outputOn_;
    Settings()->SetOutputState(channel, outputOn_ ? 1 : 0);
    ShowOutputCaption();
    RequestRedraw(RefreshMask::Waveform);
}

void CDlgCtrlDDS::ChooseChannel(std::uint16_t channel) {
    if (!Settings()) return;
    if (Settings()->CurrentChannel() != channel) {
        Settings()->SetCurrentChannel(channel);
        RequestRedraw(RefreshMask::Everything);
    }
    UpdatePanel();
}

void CDlgCtrlDDS::CheckChannelRadios() {
    if (!Settings()) return;
    const std::uint16_t channel = Settings()->CurrentChannel();
    channelGroup_->Check(channel);
    // The channel as its radio names it, in the language shown.
    if (channel < channelRadios_.size())
        outputSwitch_->setAccessibleDescription(
            ProgramText(Text::OutputOf, {NameOfCaption(channelRadios_[channel]->text())}));
}

void CDlgCtrlDDS::CheckWaveTypeRadio(std::uint16_t type) { waveTypeGroup_->Check(type - 1); }

void CDlgCtrlDDS::ShowOutputCaption() {
    outputSwitch_->setText(outputOn_ ? onText_ : offText_);
    outputSwitch_->setChecked(outputOn_);  // also after a click the model did not take
}

}  // namespace zorbel
