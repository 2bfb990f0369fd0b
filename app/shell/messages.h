// Message boxes and file dialogs of the program, behind one replaceable
// function each, so that tests run the commands without a modal window. The
// message box is the dialogs' (ShowMessage, SetMessageHandler), so that the
// frame, the panel and the dialogs tell the user in one way.
#pragma once

#include <QString>

#include <functional>

#include "zorbel/dialogs/dialog_links.h"

class QWidget;

namespace zorbel {

struct FileDialogRequest {
    bool save = false;
    QString title;
    QString filter;         // "Arb Data File(*.arb)"
    QString defaultSuffix;  // "arb", added to a name typed without one
};
// The chosen path; empty when the user cancelled.
QString ChooseFile(QWidget* parent, const FileDialogRequest& request);

// Tests replace this; an empty function restores the real dialog.
using FileChooser = std::function<QString(const FileDialogRequest& request)>;
void SetFileChooser(FileChooser chooser);

}  // namespace zorbel
