// CZorbelView: the waveform view in the main window's client area. It shows
// the current channel's waveform in a scaled grid; a display thread of its own
// renders the layers whenever a redraw is requested (at most every 5 ms) and
// the widget only copies the finished picture to the screen. It shows the
// progress dialog of instrument jobs and keeps Ctrl+Alt+F12 (and
// Ctrl+Shift+F12, which Linux desktops leave to programs) for calibration.
//
// Threads: RequestRedraw and ArbitraryPointsChanged may be called from any
// thread; everything else is the interface thread's. The display thread reads
// the model under its records lock and the view's settings under a mutex of
// the view; the interface thread never waits for a render step.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "zorbel/model/long_job.h"
#include "zorbel/view/display_thread.h"
#include "zorbel/view/hand_over.h"
#include "zorbel/view/mouse_tools.h"
#include "zorbel/view/progress_bar.h"
#include "zorbel/view/trace_source.h"
#include "zorbel/view/view_geometry.h"
#include "zorbel/view/view_layers.h"

class QAction;

namespace zorbel {

class DeviceSettings;

// The keys of the calibration command (it has no menu entry), window-wide.
std::array<QKeySequence, 2> CalibrationShortcuts();

// What the view shows of channel `channel` (0 or 1), for screen readers: "CH1,
// Sine, 1 kHz, 2 periods"; "CH2, arbitrary, points 0 to 16383 of 16384, -5 V
// to 5 V".
QString ViewDescription(std::uint16_t channel, const ChannelRecord& record);

// The frame holds it as it is; dialogs, the panel and the session reach it
// as their RedrawSink.
class CZorbelView final : public QWidget, public MouseToolsView {
public:
    // `settings` must outlive the view. The background is "Bitmap/View.bmp"
    // in `programFolder`, else a built-in picture.
    CZorbelView(DeviceSettings& settings, const QString& programFolder, QWidget* parent = nullptr);
    ~CZorbelView() override;  // Shutdown()

    // ---- RedrawSink: layers to redraw; points changed in place behind the
    // model's edit operation. Any thread.
    void RequestRedraw(RefreshMask mask) override;
    void ArbitraryPointsChanged(std::uint16_t channel, std::uint32_t first, std::uint32_t last) override;

    QWidget* Widget() { return this; }
    // 1 = vectors, 0 = dots.
    int DisplayStyle() const { return displayStyle_; }
    void SetDisplayStyle(int style) { displayStyle_ = style; }

    // Starts the display thread (the view's first update), everything to be drawn.
    void Start();
    // Closes the progress dialog and stops the display thread; the step under
    // way finishes first. Interface thread; later calls do nothing.
    void Shutdown();

    // A job was queued (WM_SHOW_PROGRESS): shows the progress dialog with
    // `label` until the job flags differ from `jobFlags`. Nothing when the
    // session has already moved on; an open dialog follows the new job.
    // `cancel`, when set, gives the dialog a Cancel button (and Escape) that
    // calls it; the dialog closes when the job has ended.
    void ShowProgress(Job jobFlags, const QString& label, CDlgProgressBar::CancelCallback cancel = {});
    CDlgProgressBar* ProgressDialog() const { return progress_; }

    // Runs `job` on the view's worker under the progress dialog (a small job
    // at once, without either, and without `after`); its finish step, then
    // `after`, run on the interface thread once it has ended, also when it
    // was cancelled (no finish step then). False, nothing run, while another runs or after
    // Shutdown. Shutdown cancels a running job and waits for its worker.
    bool RunLongJob(LongJob job, std::function<void()> after = {});
    bool LongJobRunning() const { return longRunning_; }
    CDlgProgressBar* LongJobDialog() const { return longProgress_; }

    // Ctrl+Alt+F12 / Ctrl+Shift+F12.
    void SetCalibrationHook(std::function<void()> hook) { calibrationHook_ = std::move(hook); }
    // Receives the point and voltage under the mouse ("Point 1234  0.5123 V")
    // while it is over an arbitrary channel's grid, and an empty text when
    // it leaves.
    void SetReadoutHook(std::function<void(const QString&)> hook) { readoutHook_ = std::move(hook); }
    // The readout again at the last mouse point: the channel, its wave type
    // or its window may have changed under a mouse that did not move.
    void RefreshReadout();
    // The accessible description (ViewDescription) of what the view shows
    // now, renewed (and announced) when it changed; after every render step
    // too.
    void RefreshDescription();
    // Commands of the frame shown first in the keyboard's popup menu (Undo, Redo).
    void SetPopupActions(QList<QAction*> actions) { popupActions_ = std::move(actions); }

    // ---- For the mouse tools, image saving and printing
    // The view's own picture (what Save Image writes), never a copy of the
    // screen, so a window lying over the view does not end up in it: the last
    // finished picture, at the device pixel ratio of the screen. Interface thread.
    QImage CompositeImage() const;
    GridRect Grid() const override;
    // Mapping of the current channel's visible window (ViewGeometry's rules).
    std::uint32_t IndexAtX(std::int32_t x) const;
    double VoltageAtY(std::int32_t y) const;
    double XOfIndex(double index) const;
    double YOfVoltage(double volts) const;
    // The zoom rubber band from the press point to the current mouse point,
    // drawn by a Cursor redraw.
    void SetCursorPoints(QPoint press, QPoint current);
    GridStyle Style() const;
    // Divisions and ticks; the colours are the model's (DeviceSettings::Grid).
    void SetStyle(const GridStyle& style);  // then ask for RefreshMask::Everything

    // The masks requested since the last call, ORed (for the frame's tests).
    RefreshMask TakeRequestedMask() { return static_cast<RefreshMask>(requested_.exchange(0)); }
    // Render steps that produced a picture so far.
    std::uint64_t RenderCount() const { return renders_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    static constexpr int kFocusMarkWidth = 3;  // pixels

    // MouseToolsView
    void SetRubberBand(PixelPoint press, PixelPoint current) override;
    void ShowReadout(std::optional<PixelPoint> at);

    struct Window {
        std::uint32_t first = 0, last = 0;
        double lower = 0.0, upper = 0.0;
    };
    Window VisibleWindow() const;
    void NoteGeometry();
    void RenderStep(RefreshMask mask);

    DeviceSettings& settings_;
    std::atomic<int> displayStyle_{1};
    std::function<void()> calibrationHook_;
    std::function<void(const QString&)> readoutHook_;
    QList<QAction*> popupActions_;
    ArbitraryMouseTools tools_{settings_, *this};
    std::optional<PixelPoint> hover_;  // the last mouse point over the view
    QString readout_;
    QPointer<CDlgProgressBar> progress_;
    bool shutDown_ = false;
    // The long job under way: its dialog, its stop and its worker.
    bool longRunning_ = false;
    QPointer<CDlgProgressBar> longProgress_;
    std::stop_source longStop_;
    std::jthread longWorker_;
    std::atomic<std::uint32_t> requested_{0};
    std::atomic<std::uint64_t> renders_{0};
    std::atomic<bool> repaintPosted_{false};
    // Where the long job's worker and the display thread hand their results
    // to the interface thread.
    HandOver* handOver_ = new HandOver(this);

    // Shared with the display thread.
    mutable std::mutex sceneMutex_;
    GridStyle style_;
    QPoint press_, current_;
    QSize size_;
    qreal ratio_ = 1.0;
    GridRect grid_;
    QImage composite_;  // the last finished picture

    // The display thread's own.
    ViewLayers layers_;
    TraceSource traces_;
    ViewScene scene_;

    DisplayThread display_;  // last: stopped before the rest goes
};

}  // namespace zorbel
