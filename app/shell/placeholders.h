// Stand-in for the waveform view until it exists: it shows what will be
// there and keeps what the frame hands it (redraw requests, display style).
#pragma once

#include <QWidget>

#include <atomic>

#include "shell_interfaces.h"

namespace zorbel {

class PlaceholderView final : public QWidget, public ShellView {
public:
    explicit PlaceholderView(QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void RequestRedraw(RefreshMask mask) override;
    int DisplayStyle() const override { return displayStyle_; }
    void SetDisplayStyle(int style) override { displayStyle_ = style; }
    QImage CompositeImage() const override;
    // The mask asked for since the last call, then 0.
    RefreshMask TakeRefreshMask() { return static_cast<RefreshMask>(refreshMask_.exchange(0)); }

private:
    std::atomic<std::uint32_t> refreshMask_{0};
    int displayStyle_ = 1;
};

}  // namespace zorbel
