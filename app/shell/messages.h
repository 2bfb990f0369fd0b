// Message boxes and file dialogs of the program, behind one replaceable
// function each, so that tests run the commands without a modal window. The
// message box is the dialogs' (ShowMessage, SetMessageHandler), so that the
// frame, the panel and the dialogs tell the user in one way.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "zorbel/dialogs/dialog_links.h"

class QWidget;

namespace zorbel {

struct FileDialogRequest {
    bool save = false;
    QString title;
    QString filter;         // "Arb Data File(*.arb)", several with ";;" between
    QString defaultSuffix;  // "arb": for a name typed without one when the filter names none
    // The kind of file, whose folder the profile keeps ("Setup"); empty:
    // none kept, the dialog opens in the user's home folder.
    QString kind{};
    QString folder{};  // where the dialog opens: filled in by ChooseFile
};
// The chosen path; empty when the user cancelled. The dialog opens in the
// folder last used for the request's kind (never the process's working
// folder) and keeps the chosen file's folder for the next time; a name
// without an extension gets the chosen filter's (CompleteExtension).
QString ChooseFile(QWidget* parent, FileDialogRequest request);

// Tests replace this; an empty function restores the real dialog. It gets
// the request with its folder filled in; what it returns is taken as chosen
// with the first filter.
using FileChooser = std::function<QString(const FileDialogRequest& request)>;
void SetFileChooser(FileChooser chooser);

// ---- The file dialogs' rules ------------------------------------------------
// The extensions of one filter's patterns, in order: "Sound File(*.wav *.aiff)"
// gives wav and aiff. Patterns without one ("*", "*.*", "data") give none.
QStringList FilterExtensions(const QString& filter);
// One filter named `name` for every extension of `filters`, in their order,
// each once: "All supported files(*.qwf *.wav ...)".
QString CombinedFilter(const QString& name, const QStringList& filters);
// The folder a file dialog opens in: the one kept for its kind while it is
// still a folder, else `home`.
QString StartFolder(const QString& kept, const QString& home, const std::function<bool(const QString&)>& isFolder);
// `path` as chosen with `filter`: a name without an extension (no "." in its
// last part) gets one of the filter's. To open, the first whose file
// `exists`, else the first (the name as it is when its own file exists); to
// save, the first. A name with an extension, or a filter without any, leaves
// the path as it is.
QString CompleteExtension(const QString& path, const QString& filter, bool open,
                          const std::function<bool(const QString&)>& exists);

}  // namespace zorbel
