// The program's plain message box.
#include "zorbel/dialogs/dialog_links.h"

#include <QMessageBox>

namespace zorbel {

void ShowMessageBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Zorbel"), text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace zorbel
