// What the panel and the pages need from the program around them: the view,
// to be asked for redraws, and a way to show the user a message.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "zorbel/model/session_state.h"

class QWidget;

namespace zorbel {

// The waveform view as the dialogs see it. Called on the user-interface thread.
class ViewRedraw {
public:
    virtual ~ViewRedraw() = default;
    // The view is to redraw `mask`: Waveform after a change of the waveform,
    // Annotations after amplitude and offset, Everything after a new channel.
    virtual void RequestRedraw(RefreshMask mask) = 0;
    // Points first..last of `channel` were edited in place; called before
    // the redraw is asked for, so that a big waveform's outline follows.
    virtual void ArbitraryPointsChanged(std::uint16_t /*channel*/, std::uint32_t /*first*/, std::uint32_t /*last*/) {}
};

// Shows one message to the user and returns when it has been seen. The
// program shows a message box; tests record the texts.
using MessageSink = std::function<void(const QString& text)>;

// The program's message box: title "Zorbel", the text, one OK button, no
// icon, modal over `parent`'s window.
void ShowMessageBox(QWidget* parent, const QString& text);

}  // namespace zorbel
