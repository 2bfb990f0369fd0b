// Names without stray blanks.
#include "zorbel/dialogs/accessible_texts.h"

#include <QWidget>

#include "zorbel/dialogs/control_texts.h"

namespace zorbel {
namespace {

// Set on a control whose accessible name TrimAccessibleNames gave it.
constexpr char kTrimmedNameProperty[] = "zorbelTrimmedName";

void TrimName(QWidget* control) {
    const QString caption = Caption(control);
    const QString name = NameOfCaption(caption);
    const bool padded = !caption.isEmpty() && caption.trimmed() != caption;
    if (padded) {
        control->setAccessibleName(name);
        control->setProperty(kTrimmedNameProperty, true);
    } else if (control->property(kTrimmedNameProperty).toBool()) {
        control->setAccessibleName(QString());  // the caption names it again
        control->setProperty(kTrimmedNameProperty, false);
    }
}

}  // namespace

QString NameOfCaption(const QString& caption) {
    QString name;
    name.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size()) ++i;  // "&File" -> "File", "&&" -> "&"
        name += caption[i];
    }
    return name.trimmed();
}

void TrimAccessibleNames(QWidget* root) {
    TrimName(root);
    for (QWidget* child : root->findChildren<QWidget*>()) TrimName(child);
}

}  // namespace zorbel
