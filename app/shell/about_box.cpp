// The About box.
#include "about_box.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "language_table.h"
#include "toolbar_icons.h"

namespace zorbel {
namespace {

QLabel* Line(int id, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setProperty(kControlIdProperty, id);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

}  // namespace

CAboutDlg::CAboutDlg(const LanguageTable& languages, const QString& programFileTime, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(languages.LanguageText(10151));
    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* lines = new QVBoxLayout;
    lines->addWidget(Line(1351, languages.LanguageText(10152) + QString::fromLatin1(kProgramVersion), this));
    lines->addWidget(Line(1352, languages.LanguageText(10153), this));
    lines->addWidget(Line(1353, languages.LanguageText(10154) + programFileTime, this));
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(lines, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

}  // namespace zorbel
