// File dialogs.
#include "messages.h"

#include <QFileDialog>

namespace zorbel {
namespace {

FileChooser& Chooser() {
    static FileChooser chooser;
    return chooser;
}

}  // namespace

void SetFileChooser(FileChooser chooser) { Chooser() = std::move(chooser); }

QString ChooseFile(QWidget* parent, const FileDialogRequest& request) {
    if (Chooser()) return Chooser()(request);
    QFileDialog dialog(parent, request.title, QString(), request.filter);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace zorbel
