// The waveform view widget: geometry, the display thread's render step,
// painting, progress dialog, context menu and the calibration shortcut.
#include "zorbel/view/zorbel_view.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>

#include <memory>
#include <new>

#include "zorbel/dialogs/dialog_links.h"
#include "zorbel/model/device_settings.h"

namespace zorbel {

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
    setAccessibleName(QStringLiteral("Waveform view"));
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
        QString::fromStdString(job.name), [progress] { return progress->Fraction(); },
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
        QMetaObject::invokeMethod(
            this,
            [this, finish = std::move(finish), after] {
                if (longProgress_) longProgress_->Finish();
                longRunning_ = false;
                if (shutDown_) return;  // the program is closing: nothing more changes
                // Cancel pressed after the work's end but before its result
                // arrived still means nothing changes.
                if (finish && !longStop_.stop_requested()) finish();
                if (after) after();
            },
            Qt::QueuedConnection);
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
        QMetaObject::invokeMethod(
            this,
            [this] {
                repaintPosted_ = false;
                update();
            },
            Qt::QueuedConnection);
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
    QString text = readout ? QString::fromStdString(ReadoutText(*readout)) : QString();
    if (text == readout_) return;
    readout_ = std::move(text);
    if (readoutHook_) readoutHook_(readout_);
}

void CZorbelView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (event->reason() == QContextMenuEvent::Mouse) return;
    // The keyboard's menu key: the "Edit" popup. Undo and Redo are the
    // frame's commands; the others the view does not handle.
    QMenu menu(QStringLiteral("Edit"), this);
    menu.addActions(popupActions_);
    if (!popupActions_.isEmpty()) menu.addSeparator();
    for (const auto& caption :
         {QStringLiteral("Cu&t\tCtrl+X"), QStringLiteral("&Copy\tCtrl+C"), QStringLiteral("&Paste\tCtrl+V")})
        menu.addAction(caption)->setEnabled(false);
    menu.exec(event->globalPos());
}

}  // namespace zorbel
