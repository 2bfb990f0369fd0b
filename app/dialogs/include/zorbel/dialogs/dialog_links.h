// What the panel and the pages need from the program around them: the view,
// to be asked for redraws, and a way to show the user a message.
#pragma once

#include <QString>
#include <functional>

#include "zorbel/model/redraw_sink.h"

class QWidget;

namespace zorbel {

// The waveform view as the dialogs see it: the model's redraw sink. Called
// on the user-interface thread.
using ViewRedraw = RedrawSink;

// Shows one message to the user and returns when it has been seen. The
// program shows a message box; tests record the texts.
using MessageSink = std::function<void(const QString& text)>;

// The program's message box: title "Zorbel", the text, one OK button, no
// icon, modal over `parent`'s window.
void ShowMessageBox(QWidget* parent, const QString& text);

}  // namespace zorbel
