// Message boxes and file dialogs.
#include "messages.h"

#include <QFileDialog>
#include <QMessageBox>

namespace zorbel {
namespace {

MessageHandler& Handler() {
    static MessageHandler handler;
    return handler;
}

FileChooser& Chooser() {
    static FileChooser chooser;
    return chooser;
}

}  // namespace

void SetMessageHandler(MessageHandler handler) { Handler() = std::move(handler); }
void SetFileChooser(FileChooser chooser) { Chooser() = std::move(chooser); }

void ShowMessage(QWidget* parent, const QString& text) {
    if (Handler()) {
        Handler()(text);
        return;
    }
    QMessageBox box(QMessageBox::Information, QString::fromLatin1(kMessageTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

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
