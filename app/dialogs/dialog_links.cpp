// The program's message box and question.
#include "zorbel/dialogs/dialog_links.h"

#include <QAbstractButton>
#include <QMessageBox>

#include "zorbel/dialogs/program_texts.h"

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
    box.button(QMessageBox::Ok)->setText(ProgramText(Text::Ok));
    box.exec();
}

bool AskYesNo(QWidget* parent, const QString& question) {
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kMessageTitle), question,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(ProgramText(Text::Yes));
    box.button(QMessageBox::No)->setText(ProgramText(Text::No));
    return box.exec() == QMessageBox::Yes;
}

}  // namespace zorbel
