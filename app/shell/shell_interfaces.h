// What the frame needs of the channel control panel in the docked pane. (The
// waveform view in the client area it holds as CZorbelView.)
#pragma once

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

}  // namespace zorbel
