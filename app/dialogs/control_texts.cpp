// Control ids, template captions and relabelling by language texts.
#include "zorbel/dialogs/control_texts.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace zorbel {
namespace {

constexpr char kTemplateCaptionProperty[] = "templateCaption";

void SetCaption(QWidget* control, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        group->setTitle(text);
    } else if (!qobject_cast<QLineEdit*>(control)) {
        // A frame without a caption of its own (the page area): screen
        // readers still announce what it holds.
        control->setAccessibleName(text);
    }
}

}  // namespace

QString Caption(const QWidget* control) {
    if (auto* label = qobject_cast<const QLabel*>(control)) return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(control)) return group->title();
    return {};
}

void SetControlId(QWidget* control, int id) {
    control->setProperty(kControlIdProperty, id);
    control->setProperty(kTemplateCaptionProperty, Caption(control));
}

int ControlId(const QWidget* control) {
    const QVariant id = control->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : 0;
}

QWidget* FindControl(const QWidget* root, int id) {
    const auto children = root->findChildren<QWidget*>();
    for (QWidget* child : children)
        if (ControlId(child) == id) return child;
    return nullptr;
}

void TranslateControls(QWidget* root, const LanguageLookup& languageText) {
    const auto children = root->findChildren<QWidget*>();
    for (QWidget* child : children) {
        const int id = ControlId(child);
        if (id == 0) continue;
        const QString text = languageText ? languageText(id) : QString();
        SetCaption(child, text.isEmpty() ? child->property(kTemplateCaptionProperty).toString() : text);
    }
}

}  // namespace zorbel
