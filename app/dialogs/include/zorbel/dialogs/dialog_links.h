// What the panel and the dialogs need from the program around them: the
// view, to be asked for redraws, and the program's message box.
#pragma once

#include <QString>
#include <functional>

#include "zorbel/model/redraw_sink.h"

class QWidget;

namespace zorbel {

// Shows one message to the user and returns when it has been seen.
using MessageSink = std::function<void(const QString& text)>;

// The program's one way to tell the user something (the frame, the panel,
// the dialogs): a message box with title "Zorbel", an information icon, the
// text and one OK button, modal over `parent`'s window. Tests replace it for
// the whole program with SetMessageHandler (an empty one restores the box).
void ShowMessage(QWidget* parent, const QString& text);
void SetMessageHandler(MessageSink handler);

// A question with Yes and No, modal over `parent`'s window; true for Yes.
// Closing the box (or a parent that closes it) answers No.
bool AskYesNo(QWidget* parent, const QString& question);

}  // namespace zorbel
