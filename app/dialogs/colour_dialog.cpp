// The colour dialog and its colour bar.
#include <QColorDialog>
#include <QGroupBox>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include "zorbel/dialogs/accessible_texts.h"
#include "zorbel/dialogs/program_texts.h"
#include "zorbel/dialogs/small_dialogs.h"
#include "zorbel/model/session_observer.h"
#include "zorbel/report/colour_ref.h"

namespace zorbel {
namespace {

CColorButton::Chooser& ColourChooser() {
    static CColorButton::Chooser chooser;
    return chooser;
}

// Caption item of each target, from 1 on, and its text without a language.
constexpr int kFirstCaptionItem = 10101;
constexpr const char* kTargetCaptions[] = {"CH1", "CH2", "Grid Scale", "Grid Main", "Grid Sub"};

}  // namespace

CColorButton::CColorButton(QWidget* parent) : QPushButton(parent) {
    setMinimumHeight(28);
    setAccessibleDescription(ProgramText(Text::ColourBarDescription));
    connect(this, &QPushButton::clicked, this, [this] { Choose(); });
}

void CColorButton::SetSubject(const QString& subject) {
    subject_ = subject;
    Rename();
}

// Named by the colour it shows, which is all a screen reader can tell of it.
void CColorButton::Rename() {
    setAccessibleName(
        ProgramText(Text::ColourBarName, {subject_, QString::number(colour_.red()), QString::number(colour_.green()),
                                          QString::number(colour_.blue())})
            .trimmed());  // no subject yet: no leading blank
}

void CColorButton::SetChooser(Chooser chooser) { ColourChooser() = std::move(chooser); }

void CColorButton::SetColour(const QColor& colour) {
    colour_ = colour;
    Rename();
    update();
}

void CColorButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colour_);
    if (hasFocus()) {  // keyboard users see where they are
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::DotLine));
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

void CColorButton::Choose() {
    const QColor chosen = ColourChooser() ? ColourChooser()(colour_, this) : QColorDialog::getColor(colour_, this);
    if (chosen.isValid()) SetColour(chosen);
}

CDlgColor::CDlgColor(std::uint16_t target, DeviceSettings& settings, RedrawSink* view,
                     const LanguageLookup& languageText, QWidget* parent)
    : QDialog(parent),
      target_(target),
      settings_(settings),
      view_(view),
      bar_(new CColorButton),
      timer_(new QTimer(this)) {
    auto* group = new QGroupBox(QStringLiteral("Click color bar to set new color"), this);
    SetControlId(group, 1301);
    auto* inside = new QVBoxLayout(group);
    inside->addWidget(bar_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    resize(280, 110);

    TranslateControls(this, languageText);
    if (target_ >= kColourChannel1 && target_ <= kColourGridSub) {
        if (languageText) setWindowTitle(languageText(kFirstCaptionItem + target_ - kColourChannel1));
        bar_->SetSubject(windowTitle().isEmpty() ? QString::fromLatin1(kTargetCaptions[target_ - kColourChannel1])
                                                 : windowTitle());
    }
    if (windowTitle().isEmpty()) setWindowTitle(QStringLiteral("Color Dialog"));

    if (target_ < kColourChannel1 || target_ > kColourGridSub) {
        QTimer::singleShot(0, this, &QDialog::reject);
        return;
    }
    bar_->SetColour(ColourOf(TargetColour()));
    // The colour is taken while the dialog stays open, so the user sees it
    // in the view and can choose again.
    connect(timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_->start(kPollMs);
}

std::uint32_t CDlgColor::TargetColour() const {
    if (target_ == kColourChannel1 || target_ == kColourChannel2)
        return settings_.ReadRecord(target_ - kColourChannel1, [](const ChannelRecord& r) { return r.traceColour; });
    const GridColours grid = settings_.Grid();
    return target_ == kColourGridScale ? grid.scale : target_ == kColourGridMain ? grid.mainLine : grid.subLine;
}

void CDlgColor::StoreColour(std::uint32_t colour) {
    if (target_ == kColourChannel1 || target_ == kColourChannel2) {
        settings_.ModifyRecord(target_ - kColourChannel1, [colour](ChannelRecord& r) { r.traceColour = colour; });
        if (view_) view_->RequestRedraw(RefreshMask::Waveform);
        return;
    }
    GridColours grid = settings_.Grid();
    (target_ == kColourGridScale ? grid.scale : target_ == kColourGridMain ? grid.mainLine : grid.subLine) = colour;
    settings_.SetGrid(grid);
    if (view_) view_->RequestRedraw(RefreshMask::Everything);
}

void CDlgColor::Poll() {
    const std::uint32_t chosen = ColorRefOf(bar_->Colour());
    if (chosen != TargetColour()) StoreColour(chosen);
}

}  // namespace zorbel
