// The program's message box and question.
#include "zorbel/dialogs/dialog_links.h"

#include <QMessageBox>

namespace zorbel {
namespace {

constexpr char kMessageTitle[] = "Zorbel";

MessageSink& Handler() {
    static MessageSink handler;
    return handler;
}

}  // namespace

void SetMessageHandler(MessageSink handler) { Handler() = std::move(handler); }

void ShowMessage(QWidget* parent, const QString& text) {
    if (Handler()) {
        Handler()(text);
        return;
    }
    QMessageBox box(QMessageBox::Information, QString::fromLatin1(kMessageTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

bool AskYesNo(QWidget* parent, const QString& question) {
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kMessageTitle), question,
                    QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace zorbel
