// The formula dialog.
#include "zorbel/dialogs/formula_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "zorbel/dialogs/program_texts.h"
#include "zorbel/model/formula.h"
#include "zorbel/numbers.h"

namespace zorbel {
namespace {

// Points the preview evaluates at most: a long waveform is previewed by
// every k-th point, so that typing stays quick.
constexpr std::uint32_t kFormulaPreviewPoints = 1000;
constexpr auto kFirstFormula = "sin(2*pi*x)";

}  // namespace

CFormulaPreview::CFormulaPreview(QWidget* parent) : QWidget(parent) {
    setMinimumSize(240, 100);
    setAccessibleName(ProgramText(Text::FormulaPreview));
}

void CFormulaPreview::SetPoints(std::vector<double> points, double limit) {
    points_ = std::move(points);
    limit_ = limit > 0 ? limit : 1.0;
    update();
}

void CFormulaPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area = QRectF(rect()).adjusted(4, 4, -4, -4);
    painter.fillRect(rect(), Qt::black);
    painter.setPen(QColor(0x3C, 0x3C, 0x3C));
    painter.drawLine(QPointF(area.left(), area.center().y()), QPointF(area.right(), area.center().y()));
    if (points_.empty()) return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::yellow, 1.5));
    QPainterPath path;
    const double last = std::max<double>(static_cast<double>(points_.size()) - 1, 1.0);
    for (std::size_t i = 0; i < points_.size(); ++i) {
        const QPointF p(area.left() + area.width() * static_cast<double>(i) / last,
                        area.center().y() - area.height() / 2 * points_[i] / limit_);
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    painter.drawPath(path);
}

CDlgFormula::CDlgFormula(DeviceSettings& settings, RedrawSink* view, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      view_(view),
      channel_(settings.CurrentChannel()),
      pointCount_(settings.ReadRecord(channel_,
                                      [](const ChannelRecord& r) {
                                          return static_cast<std::uint32_t>(
                                              std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size()));
                                      })),
      limit_(ArbitraryVoltageLimit(settings.CopyLimits(channel_))),
      formula_(new QLineEdit(QString::fromLatin1(kFirstFormula), this)),
      preview_(new CFormulaPreview(this)),
      status_(new QLabel(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    buttons_->button(QDialogButtonBox::Ok)->setText(ProgramText(Text::Ok));
    buttons_->button(QDialogButtonBox::Cancel)->setText(ProgramText(Text::Cancel));
    setWindowTitle(ProgramText(Text::FormulaTitle));
    auto* label = new QLabel(ProgramText(Text::FormulaLabel), this);
    label->setBuddy(formula_);
    formula_->setAccessibleName(windowTitle());
    const QString limit = QString::fromStdString(FormatWindowsG(limit_));
    auto* hint = new QLabel(ProgramText(Text::FormulaHint, {QString::number(pointCount_), limit}), this);
    hint->setWordWrap(true);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(formula_);
    layout->addWidget(hint);
    layout->addWidget(preview_, 1);
    layout->addWidget(status_);
    layout->addWidget(buttons_);

    connect(formula_, &QLineEdit::textChanged, this, [this] { UpdatePreview(); });
    connect(buttons_, &QDialogButtonBox::accepted, this, &CDlgFormula::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &CDlgFormula::reject);
    UpdatePreview();
}

void CDlgFormula::UpdatePreview() {
    const std::uint32_t step =
        std::max<std::uint32_t>(1, (pointCount_ + kFormulaPreviewPoints - 1) / kFormulaPreviewPoints);
    FormulaResult result = EvaluateFormula(formula_->text().toStdString(), pointCount_, limit_, step);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(!result.error);
    if (result.error) {
        preview_->SetPoints({}, limit_);
        ShowError(TranslateFileText(result.error->message), result.error->position);
        return;
    }
    status_->setText(result.clamped == 0
                         ? QString()
                         : ProgramText(Text::FormulaClamped, {QString::fromStdString(FormatWindowsG(limit_))}));
    preview_->SetPoints(std::move(result.samples), limit_);
}

void CDlgFormula::ShowError(const QString& message, int position) {
    // The position is zero-based, as the caret counts.
    QString text = message;
    if (position >= 0) text = ProgramText(Text::FormulaErrorAt, {text, QString::number(position)});
    status_->setText(text);
}

void CDlgFormula::accept() {
    // Millions of points are computed on a worker under the progress
    // dialog; this dialog stays open until they are in (or shows why not).
    const QPointer<CDlgFormula> self(this);
    RunLongJob(FormulaJob(settings_, channel_, formula_->text().toStdString(), view_,
                          [self](std::optional<FormulaError> error) {
                              if (self) self->Applied(error);
                          }));
}

void CDlgFormula::Applied(const std::optional<FormulaError>& error) {
    if (error) {
        ShowError(TranslateFileText(error->message), error->position);
        if (error->position >= 0) formula_->setCursorPosition(error->position);
        formula_->setFocus();
        return;
    }
    QDialog::accept();
}

}  // namespace zorbel
