// What the panel and the pages need from the program around them: the view,
// to be asked for redraws, and a way to show the user a message.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class QWidget;

namespace zorbel {

// Refresh mask of a changed waveform (grid, waveform and annotations are
// redrawn); amplitude and offset changes ask for kRefreshAnnotations (0xFF).
inline constexpr std::uint32_t kRefreshWaveform = 0x8FF;

// The waveform view as the dialogs see it. Called on the user-interface thread.
class ViewRedraw {
public:
    virtual ~ViewRedraw() = default;
    // The view's refresh mask is to become `mask` (0xFF, 0x8FF or 0xFFF).
    virtual void RequestRedraw(std::uint32_t mask) = 0;
};

// Shows one message to the user and returns when it has been seen. The
// program shows a message box; tests record the texts.
using MessageSink = std::function<void(const QString& text)>;

// The program's message box: title "Zorbel", the text, one OK button, no
// icon, modal over `parent`'s window.
void ShowMessageBox(QWidget* parent, const QString& text);

}  // namespace zorbel
