// What the frame needs of the parts that fill it: the channel control panel
// in the docked pane and the waveform view in the client area.
#pragma once

#include <cstdint>

#include "zorbel/model/session_state.h"

class QImage;
class QWidget;

namespace zorbel {

class LanguageTable;

// The control pane's content: the channel control panel with its pages.
class ShellPanel {
public:
    virtual ~ShellPanel() = default;
    virtual QWidget* Widget() = 0;
    // Shows the model's present values (after a load, a read-back, a
    // language switch). Interface thread only.
    virtual void RefreshPanel() = 0;
    // Applies the current language to the panel and its pages (TranslateDialog).
    virtual void Retranslate(const LanguageTable& languages) = 0;
};

// The waveform view in the client area.
class ShellView {
public:
    virtual ~ShellView() = default;
    virtual QWidget* Widget() = 0;
    // Layers to redraw. May be called from any thread.
    virtual void RequestRedraw(RefreshMask mask) = 0;
    // Points first..last of `channel` were edited in place. Any thread; call
    // it before asking for the redraw.
    virtual void ArbitraryPointsChanged(std::uint16_t channel, std::uint32_t first, std::uint32_t last) = 0;
    // 1 = vectors, 0 = dots.
    virtual int DisplayStyle() const = 0;
    virtual void SetDisplayStyle(int style) = 0;
    // The view's own picture (what Save Image writes), never a copy of the
    // screen, so a window lying over the view does not end up in it.
    // Interface thread only.
    virtual QImage CompositeImage() const = 0;
};

}  // namespace zorbel
