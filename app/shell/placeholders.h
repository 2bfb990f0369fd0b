// Stand-ins for the channel control panel and the waveform view until those
// parts of the program exist: they show what will be there and keep what the
// frame hands them (redraw requests, display style).
#pragma once

#include <QLabel>
#include <QWidget>

#include <atomic>

#include "shell_interfaces.h"

namespace zorbel {

class PlaceholderPanel final : public QWidget, public ShellPanel {
public:
    explicit PlaceholderPanel(QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void RefreshPanel() override { ++refreshCount_; }
    void Retranslate(const LanguageTable& languages) override;
    int RefreshCount() const { return refreshCount_; }

private:
    QLabel* note_;
    int refreshCount_ = 0;
};

class PlaceholderView final : public QWidget, public ShellView {
public:
    explicit PlaceholderView(QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void RequestRedraw(std::uint32_t mask) override;
    int DisplayStyle() const override { return displayStyle_; }
    void SetDisplayStyle(int style) override { displayStyle_ = style; }
    // The mask asked for since the last call, then 0.
    std::uint32_t TakeRefreshMask() { return refreshMask_.exchange(0); }

private:
    std::atomic<std::uint32_t> refreshMask_{0};
    int displayStyle_ = 1;
};

}  // namespace zorbel
