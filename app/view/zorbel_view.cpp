// The waveform view widget: geometry, the display thread's render step,
// painting, progress dialog, context menu and the calibration shortcut.
#include "zorbel/view/zorbel_view.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>

#include <cmath>
#include <memory>
#include <new>

#include "zorbel/dialogs/accessible_texts.h"
#include "zorbel/dialogs/dialog_links.h"
#include "zorbel/dialogs/program_texts.h"
#include "zorbel/model/device_settings.h"

namespace zorbel {
namespace {

// A frequency in the largest unit that keeps it at 1 or more ("1 kHz", "0.5 Hz").
QString FrequencyText(double hertz) {
    int unit = 0;
    double shown = hertz;
    while (unit < 2 && std::abs(shown) >= 1000.0) {
        shown /= 1000.0;
        ++unit;
    }
    return QString::number(shown, 'g', 6) + u' ' + QString::fromLatin1(accessible_texts::kFrequencyUnits[unit]);
}

}  // namespace

QString ViewDescription(std::uint16_t channel, const ChannelRecord& r) {
    namespace t = accessible_texts;
    const QString name = QString::fromLatin1(t::kChannel).arg(channel + 1);
    if (r.waveType == kWaveArbitrary)
        return ProgramText(Text::ViewArbitrary,
                           {name, QString::number(r.arbitraryViewFirst), QString::number(r.arbitraryViewLast),
                            QString::number(r.arbitraryPointCount), QString::number(r.arbitraryViewLower, 'g', 6),
                            QString::number(r.arbitraryViewUpper, 'g', 6)});
    if (r.waveType < kWaveSine || r.waveType > kWaveNoise) return name;
    constexpr Text kTypes[] = {Text::WaveSine, Text::WaveSquare, Text::WaveRamp, Text::WavePulse, Text::WaveNoise};
    const QString type = ProgramText(kTypes[r.waveType - kWaveSine]);
    if (r.waveType == kWaveNoise) return ProgramText(Text::ViewNoFrequency, {name, type});
    return ProgramText(Text::ViewPeriodic, {name, type, FrequencyText(r.Value(Parameter::Frequency)),
                                            QString::number(r.previewPeriods, 'g', 6)});
}

CZorbelView::CZorbelView(DeviceSettings& settings, const QString& programFolder, QWidget* parent)
    : QWidget(parent),
      settings_(settings),
      layers_(LoadBackground(programFolder)),
      display_([this](RefreshMask mask) { RenderStep(mask); }) {
    // The whole area is painted from the composite: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);  // the readout follows the mouse without a button held
    setAccessibleName(ProgramText(Text::ViewName));
    setMinimumSize(kGridMargins.left + kGridMargins.right + 40, kGridMargins.top + kGridMargins.bottom + 40);

    for (const QKeySequence& keys : CalibrationShortcuts()) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (calibrationHook_) calibrationHook_();
        });
    }
}

std::array<QKeySequence, 2> CalibrationShortcuts() {
    // Linux desktops take Ctrl+Alt+F1..F12 for the consoles; Ctrl+Shift+F12 reaches the program.
    return {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F12), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F12)};
}

CZorbelView::~CZorbelView() { Shutdown(); }

void CZorbelView::Start() {
    if (shutDown_) return;
    NoteGeometry();
    display_.Request(RefreshMask::Everything);
    display_.Start();
}

void CZorbelView::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    if (progress_) progress_->Dismiss();
    if (longProgress_) longProgress_->Dismiss();
    longStop_.request_stop();
    if (longWorker_.joinable()) longWorker_.join();  // its finish, posted to this view, is dropped with it
    display_.Stop();
}

void CZorbelView::RequestRedraw(RefreshMask mask) {
    requested_.fetch_or(ToNumber(mask));
    display_.Request(mask);
}

void CZorbelView::ShowProgress(Job jobFlags, const QString& label, CDlgProgressBar::CancelCallback cancel) {
    // A job that ended before its notice arrived needs no dialog.
    if (shutDown_ || jobFlags == Job::None || settings_.JobFlags() != jobFlags) return;
    if (progress_) {
        progress_->Follow(jobFlags, label);
        return;
    }
    progress_ = new CDlgProgressBar(settings_, jobFlags, label, this, std::move(cancel));
    progress_->setAttribute(Qt::WA_DeleteOnClose);
    // Gone for the next notice at once, not only when it is deleted later.
    connect(progress_, &QDialog::finished, this, [this] { progress_ = nullptr; });
    // Modal without a nested event loop: the worker's notices keep arriving
    // in the program's own loop while the dialog is up.
    progress_->open();
}

bool CZorbelView::RunLongJob(LongJob job, std::function<void()> after) {
    if (shutDown_ || longRunning_ || !job.work) return false;
    if (job.small) {
        RunJobAtOnce(job);
        return true;
    }
    longRunning_ = true;
    if (longWorker_.joinable()) longWorker_.join();  // the last job's, already ended
    longStop_ = std::stop_source();
    auto progress = std::make_shared<JobProgress>(longStop_.get_token());
    longProgress_ = new CDlgProgressBar(
        LongJobName(job.name), [progress] { return progress->Fraction(); },
        [stop = longStop_]() mutable { stop.request_stop(); }, this);
    longProgress_->setAttribute(Qt::WA_DeleteOnClose);
    // Modal without a nested event loop, as the instrument jobs' dialog.
    longProgress_->open();
    longWorker_ = std::jthread([this, work = std::move(job.work), progress, after = std::move(after)] {
        JobFinish finish;
        try {
            finish = work(*progress);
        } catch (const std::bad_alloc&) {
            finish = [this] {
                ShowMessage(this, QStringLiteral("Not enough memory for the waveform; nothing changed."));
            };
        }
        // Run by this view's event loop; dropped when the view is gone.
        handOver_->Post([this, finish = std::move(finish), after] {
            if (longProgress_) longProgress_->Finish();
            longRunning_ = false;
            if (shutDown_) return;  // the program is closing: nothing more changes
            // Cancel pressed after the work's end but before its result
            // arrived still means nothing changes.
            if (finish && !longStop_.stop_requested()) finish();
            if (after) after();
        });
    });
    return true;
}

QImage CZorbelView::CompositeImage() const {
    std::lock_guard lock(sceneMutex_);
    return composite_;
}

GridRect CZorbelView::Grid() const {
    std::lock_guard lock(sceneMutex_);
    return grid_;
}

CZorbelView::Window CZorbelView::VisibleWindow() const {
    return settings_.ReadRecord(settings_.CurrentChannel(), [](const ChannelRecord& r) {
        if (r.waveType == kWaveArbitrary)
            return Window{r.arbitraryViewFirst, r.arbitraryViewLast, r.arbitraryViewLower, r.arbitraryViewUpper};
        const std::uint32_t n = std::min<std::uint32_t>(r.previewPointCount, r.previewSamples.size());
        return Window{0, n > 0 ? n - 1 : 0, r.previewLower, r.previewUpper};
    });
}

std::uint32_t CZorbelView::IndexAtX(std::int32_t x) const {
    const Window w = VisibleWindow();
    return zorbel::IndexAtX(x, Grid(), w.first, w.last);
}

double CZorbelView::VoltageAtY(std::int32_t y) const {
    const Window w = VisibleWindow();
    return zorbel::VoltageAtY(y, Grid(), w.lower, w.upper);
}

double CZorbelView::XOfIndex(double index) const {
    const Window w = VisibleWindow();
    return zorbel::XOfIndex(index, Grid(), w.first, w.last);
}

double CZorbelView::YOfVoltage(double volts) const {
    const Window w = VisibleWindow();
    return zorbel::YOfVoltage(volts, Grid(), w.lower, w.upper);
}

void CZorbelView::ArbitraryPointsChanged(std::uint16_t channel, std::uint32_t first, std::uint32_t last) {
    traces_.PointsChanged(channel, first, last);
}

void CZorbelView::SetCursorPoints(QPoint press, QPoint current) {
    std::lock_guard lock(sceneMutex_);
    press_ = press;
    current_ = current;
}

GridStyle CZorbelView::Style() const {
    std::lock_guard lock(sceneMutex_);
    return style_;
}

void CZorbelView::SetStyle(const GridStyle& style) {
    std::lock_guard lock(sceneMutex_);
    style_ = style;
}

void CZorbelView::NoteGeometry() {
    std::lock_guard lock(sceneMutex_);
    size_ = size();
    ratio_ = devicePixelRatioF();
    grid_ = GridOf(size_.width(), size_.height());
}

// The display thread's step: read the scene, redraw the layers the mask
// selects, hand out the picture and ask the interface thread to show it.
void CZorbelView::RenderStep(RefreshMask mask) {
    QSize size;
    qreal ratio = 1.0;
    {
        std::lock_guard lock(sceneMutex_);
        size = size_;
        ratio = ratio_;
        scene_.style = style_;
        scene_.press = press_;
        scene_.current = current_;
    }
    if (layers_.Resize(size, ratio)) mask |= RefreshMask::Everything;
    if (size.isEmpty()) return;
    // The grid in the colours chosen in the colour dialog, as the printed page draws it.
    scene_.style = WithColours(scene_.style, settings_.Grid());
    scene_.displayStyle = displayStyle_;
    traces_.Read(settings_, layers_.GridColumns(), scene_.trace);
    layers_.Render(mask, scene_);
    {
        std::lock_guard lock(sceneMutex_);
        composite_ = layers_.Composite();
    }
    ++renders_;
    // One repaint waits in the queue at a time, however fast the steps come.
    if (!repaintPosted_.exchange(true)) {
        handOver_->Post([this] {
            repaintPosted_ = false;
            update();
            RefreshDescription();
        });
    }
}

void CZorbelView::paintEvent(QPaintEvent*) {
    // Moved to a screen of another pixel density: the layers follow.
    if (devicePixelRatioF() != ratio_) {
        NoteGeometry();
        display_.Request(RefreshMask::Everything);
    }
    QPainter painter(this);
    const QImage picture = CompositeImage();
    const QSize shown = picture.isNull() ? QSize() : picture.deviceIndependentSize().toSize();
    if (!picture.isNull()) painter.drawImage(QPoint(0, 0), picture);
    // Grown and not yet redrawn (within 5 ms): black, not what was there before.
    const QRegion uncovered = QRegion(rect()) - QRegion(QRect(QPoint(0, 0), shown));
    for (const QRect& r : uncovered) painter.fillRect(r, Qt::black);
    // Where the keyboard is: a frame inside the edge, in the colour of selections.
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), kFocusMarkWidth));
        painter.setBrush(Qt::NoBrush);
        const int inset = kFocusMarkWidth / 2;
        painter.drawRect(rect().adjusted(inset, inset, -inset - 1, -inset - 1));
    }
}

void CZorbelView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void CZorbelView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void CZorbelView::RefreshDescription() {
    const std::uint16_t channel = settings_.CurrentChannel();
    const QString text =
        settings_.ReadRecord(channel, [channel](const ChannelRecord& r) { return ViewDescription(channel, r); });
    if (text == accessibleDescription()) return;
    setAccessibleDescription(text);
    // Screen readers hear of it (this Qt does not tell them by itself).
    QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

void CZorbelView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    NoteGeometry();
    display_.Request(RefreshMask::Everything);
}

void CZorbelView::SetRubberBand(PixelPoint press, PixelPoint current) {
    SetCursorPoints(QPoint(press.x, press.y), QPoint(current.x, current.y));
}

namespace {

PixelPoint PixelOf(const QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    return {p.x(), p.y()};
}

}  // namespace

void CZorbelView::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) tools_.LeftDown(PixelOf(event));
    if (event->button() == Qt::RightButton) tools_.RightDown();
    ShowReadout(PixelOf(event));
}

void CZorbelView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const bool leftAlone = event->buttons() == Qt::LeftButton && event->modifiers() == Qt::NoModifier;
    tools_.Move(PixelOf(event), leftAlone);
    ShowReadout(PixelOf(event));
}

void CZorbelView::mouseReleaseEvent(QMouseEvent* event) {
    // A right click opens no menu: it only puts the tools away (on the press).
    event->accept();
    if (event->button() == Qt::LeftButton) tools_.LeftUp();
    ShowReadout(PixelOf(event));
}

void CZorbelView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is this event alone, as the tools expect.
    event->accept();
    if (event->button() == Qt::LeftButton) tools_.LeftDoubleClick(PixelOf(event));
    if (event->button() == Qt::RightButton) tools_.RightDown();
    ShowReadout(PixelOf(event));
}

void CZorbelView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    ShowReadout(std::nullopt);
}

void CZorbelView::RefreshReadout() { ShowReadout(hover_); }

void CZorbelView::ShowReadout(std::optional<PixelPoint> at) {
    hover_ = at;
    const std::optional<PointReadout> readout = at ? tools_.Readout(*at) : std::nullopt;
    QString text = readout ? ProgramText(Text::PointReadout, {QString::number(readout->index),
                                                              QString::fromStdString(ReadoutVolts(*readout))})
                           : QString();
    if (text == readout_) return;
    readout_ = std::move(text);
    if (readoutHook_) readoutHook_(readout_);
}

void CZorbelView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (event->reason() == QContextMenuEvent::Mouse) return;
    // The keyboard's menu key: the "Edit" popup. Undo and Redo are the
    // frame's commands; the others the view does not handle.
    // Menu item texts: the shortcut after "#" is shown in the accelerator column.
    const auto caption = [](Text item) { return ProgramText(item).replace(u'#', u'\t'); };
    QMenu menu(caption(Text::EditMenu), this);
    menu.addActions(popupActions_);
    if (!popupActions_.isEmpty()) menu.addSeparator();
    for (const Text item : {Text::Cut, Text::Copy, Text::Paste}) menu.addAction(caption(item))->setEnabled(false);
    menu.exec(event->globalPos());
}

}  // namespace zorbel
