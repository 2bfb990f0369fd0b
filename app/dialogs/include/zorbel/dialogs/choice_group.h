// ChoiceGroup: buttons of which one is chosen (radio buttons, or checkable
// buttons that act as radios), as keyboard users expect them: the group is
// one Tab stop in either direction, entered at the chosen button (the first
// usable one while none is chosen); the arrow keys move to the previous or
// next usable button and choose it (a click), round at the ends, and never
// leave the group.
//
// Qt's own radio grouping takes every auto-exclusive radio below the same
// parent, grandchildren included, as one group: focusing one radio took the
// other groups' radios out of the Tab order and let the arrows wander into
// them. A ChoiceGroup keeps its buttons in a button group of their own.
#pragma once

#include <QObject>

#include <vector>

class QAbstractButton;
class QButtonGroup;
class QWidget;

namespace zorbel {

class ChoiceGroup final : public QObject {
public:
    // The buttons become checkable and exclusive among themselves; `parent`
    // (usually their dialog) owns the group.
    ChoiceGroup(std::vector<QAbstractButton*> buttons, QObject* parent);

    // Chooses the button at `index` and no other; none for an index out of
    // range (which an exclusive group alone would not allow).
    void Check(int index);
    // The chosen button's index, -1 when none is.
    int Checked() const;
    const std::vector<QAbstractButton*>& Buttons() const { return buttons_; }

    // One group per set of auto-exclusive radio buttons with the same parent
    // below `root` that no group holds yet (dialogs with plain radio groups).
    static void GroupRadios(QWidget* root);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Only the chosen (or first usable) button is a Tab stop.
    void KeepTabStop();
    bool Usable(const QAbstractButton* button) const;

    std::vector<QAbstractButton*> buttons_;
    QButtonGroup* group_;
};

}  // namespace zorbel
