// Message boxes and file dialogs of the program, behind one replaceable
// function each, so that tests run the commands without a modal window.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace zorbel {

// Title of every message box.
inline constexpr char kMessageTitle[] = "Zorbel";

// A plain information box with an OK button and the exact text.
void ShowMessage(QWidget* parent, const QString& text);

struct FileDialogRequest {
    bool save = false;
    QString title;
    QString filter;         // "Arb Data File(*.arb)"
    QString defaultSuffix;  // "arb", added to a name typed without one
};
// The chosen path; empty when the user cancelled.
QString ChooseFile(QWidget* parent, const FileDialogRequest& request);

// Tests replace these; an empty function restores the real dialogs.
using MessageHandler = std::function<void(const QString& text)>;
using FileChooser = std::function<QString(const FileDialogRequest& request)>;
void SetMessageHandler(MessageHandler handler);
void SetFileChooser(FileChooser chooser);

}  // namespace zorbel
