// ChoiceGroup: one Tab stop per group and arrow keys that stay in it.
#include "zorbel/dialogs/choice_group.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QRadioButton>

#include <algorithm>
#include <map>

namespace zorbel {

ChoiceGroup::ChoiceGroup(std::vector<QAbstractButton*> buttons, QObject* parent)
    : QObject(parent), buttons_(std::move(buttons)), group_(new QButtonGroup(this)) {
    for (QAbstractButton* button : buttons_) {
        button->setCheckable(true);
        group_->addButton(button);
        button->installEventFilter(this);
        connect(button, &QAbstractButton::toggled, this, [this] { KeepTabStop(); });
    }
    // Qt gives the focused button of a group the only Tab stop when it takes
    // the focus; the chosen one takes it back.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (std::find(buttons_.begin(), buttons_.end(), now) != buttons_.end()) KeepTabStop();
    });
    KeepTabStop();
}

void ChoiceGroup::Check(int index) {
    group_->setExclusive(false);
    for (int i = 0; i < static_cast<int>(buttons_.size()); ++i) buttons_[i]->setChecked(i == index);
    group_->setExclusive(true);
    KeepTabStop();
}

int ChoiceGroup::Checked() const {
    for (int i = 0; i < static_cast<int>(buttons_.size()); ++i)
        if (buttons_[i]->isChecked()) return i;
    return -1;
}

bool ChoiceGroup::Usable(const QAbstractButton* button) const { return button->isEnabled() && !button->isHidden(); }

void ChoiceGroup::KeepTabStop() {
    const auto chosen = std::find_if(buttons_.begin(), buttons_.end(),
                                     [this](QAbstractButton* b) { return b->isChecked() && Usable(b); });
    const auto stop = chosen != buttons_.end() ? chosen
                                               : std::find_if(buttons_.begin(), buttons_.end(),
                                                              [this](QAbstractButton* b) { return Usable(b); });
    for (auto it = buttons_.begin(); it != buttons_.end(); ++it) {
        const Qt::FocusPolicy policy = (*it)->focusPolicy();
        (*it)->setFocusPolicy(it == stop ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                         : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
}

bool ChoiceGroup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::EnabledChange) KeepTabStop();
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    int step = 0;
    switch (key->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        step = -1;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        step = 1;
        break;
    default:
        return false;
    }
    const auto at = std::find(buttons_.begin(), buttons_.end(), watched);
    if (at == buttons_.end()) return false;
    const int count = static_cast<int>(buttons_.size());
    const int from = static_cast<int>(at - buttons_.begin());
    for (int i = 1; i < count; ++i) {
        QAbstractButton* next = buttons_[((from + step * i) % count + count) % count];
        if (!Usable(next)) continue;
        next->setFocus(step < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        next->click();
        break;
    }
    return true;  // handled, or the group's only usable button: the key stays here
}

void ChoiceGroup::GroupRadios(QWidget* root) {
    std::map<QObject*, std::vector<QAbstractButton*>> byParent;
    for (QRadioButton* radio : root->findChildren<QRadioButton*>())
        if (radio->autoExclusive() && !radio->group()) byParent[radio->parent()].push_back(radio);
    for (auto& [parent, radios] : byParent) new ChoiceGroup(std::move(radios), root);
}

}  // namespace zorbel
