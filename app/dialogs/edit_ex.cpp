// CEditEx: key filter, leaving the field, Enter, digit stepping, right click
// and colours.
#include "zorbel/dialogs/edit_ex.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

#include "zorbel/numbers.h"

namespace zorbel {

CEditEx::CEditEx(QWidget* parent) : QLineEdit(parent) {
    setFont(QFont(QStringLiteral("Arial"), 10));
    QPalette colours = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        colours.setColor(group, QPalette::Text, QColor(155, 155, 155));
        colours.setColor(group, QPalette::Base, Qt::black);
    }
    // A disabled field (the frequency group under Noise) must look greyed.
    colours.setColor(QPalette::Disabled, QPalette::Text, QColor(90, 90, 90));
    colours.setColor(QPalette::Disabled, QPalette::Base, QColor(48, 48, 48));
    setPalette(colours);
    // Text that bypasses the key filter (an input method, a drop, the
    // selection pasted with the middle button) is not let in at all.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAcceptDrops(false);
    // Text set without keystrokes (an assistive tool, a program) is refused
    // as a keystroke would be when it brings in what no number holds.
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (HasOnlyNumberCharacters(text))
            allowedText_ = text;
        else
            setText(allowedText_);
    });
}

void CEditEx::SetValue(double value) {
    setText(QString::fromStdString(FormatFixed(value, decimals_)));
    SetLastText(text());
}

void CEditEx::SetInteger(long long value) {
    setText(QString::fromStdString(FormatInt(value)));
    SetLastText(text());
}

void CEditEx::SetLastText(const QString& text) {
    if (text == lastText_) return;
    lastText_ = text;
    updateGeometry();  // the width it needs follows the value shown
}

QSize CEditEx::minimumSizeHint() const {
    const QSize least = QLineEdit::minimumSizeHint();
    // As QLineEdit measures its contents: the text, its two-pixel margins
    // and the cursor, then the frame the style draws around them.
    const QMargins text = textMargins();
    const QMargins contents = contentsMargins();
    const int width = fontMetrics().horizontalAdvance(lastText_) + 2 * 2 + 1 + text.left() + text.right() +
                      contents.left() + contents.right();
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QSize needed = style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, least.height()), this);
    return least.expandedTo(QSize(needed.width(), least.height()));
}

QSize CEditEx::sizeHint() const { return QLineEdit::sizeHint().expandedTo(minimumSizeHint()); }

void CEditEx::TakeValue() {
    if (leaving_) return;
    Leave();
    CaretToEnd();
}

void CEditEx::Leave() {
    const QScopedValueRollback guard(leaving_, true);
    emit LeftAsTyped(text());
    if (normalize_) {
        const QString shown = NormalizeNumberText(text(), lastText_, decimals_, negativesAllowed_);
        if (shown != text()) setText(shown);
    }
    emit LeftNormalized(text());
    SetLastText(text());
}

void CEditEx::Step(int steps) {
    if (isReadOnly() || !isEnabled() || leaving_) return;
    const std::optional<StepLimits> limits =
        stepLimits_ ? stepLimits_() : StepLimits{negativesAllowed_ ? -HUGE_VAL : 0.0, HUGE_VAL};
    if (!limits) return;
    const std::optional<SteppedText> stepped =
        StepDigit(text().toStdString(), cursorPosition(), steps, decimals_, *limits);
    if (!stepped) return;
    // The owner may show the value otherwise (as the instrument holds it),
    // but with the same decimals: the caret keeps its distance from the end.
    const auto fromEnd = static_cast<int>(stepped->text.size()) - stepped->caret;
    setText(QString::fromStdString(stepped->text));
    Leave();
    setCursorPosition(std::max(0, static_cast<int>(text().size()) - fromEnd));
}

void CEditEx::CaretToEnd() {
    deselect();
    setCursorPosition(static_cast<int>(text().size()));
}

void CEditEx::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        TakeValue();
        event->accept();
        return;
    }
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        constexpr std::pair<int, int> kStepKeys[] = {
            {Qt::Key_Up, 1}, {Qt::Key_Down, -1}, {Qt::Key_PageUp, 10}, {Qt::Key_PageDown, -10}};
        for (const auto& [key, steps] : kStepKeys) {
            if (event->key() == key) {
                Step(steps);
                event->accept();
                return;
            }
        }
    }
    if (event->matches(QKeySequence::Paste)) {
        event->accept();
        return;
    }
    // Every key that would insert text goes through the filter. Only Ctrl and
    // Ctrl+Shift never insert (they are the edit's shortcuts); AltGr and
    // formatting characters do.
    const QString typed = event->text();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool shortcut = modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
    if (!shortcut && !typed.isEmpty() && typed.at(0).category() != QChar::Other_Control) {
        const int start = hasSelectedText() ? selectionStart() : cursorPosition();
        const int end = hasSelectedText() ? selectionEnd() : start;
        if (typed.size() != 1 || !AcceptsNumberCharacter(typed.at(0), text(), start, end, negativesAllowed_)) {
            event->accept();
            return;
        }
        if (typed.at(0) == QLatin1Char(',')) {  // the decimal point of a comma keyboard
            insert(QStringLiteral("."));
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void CEditEx::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    CaretToEnd();
}

void CEditEx::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A menu opening leaves nothing. A window being closed or a program
    // ending is not leaving the field either: what it would apply may
    // already be gone, and nobody is there to read a message. (A closing
    // window is marked hidden before it takes the focus away.)
    const QWidget* window = this->window();
    if (leaving_ || event->reason() == Qt::PopupFocusReason || window->isHidden() || !window->isVisible() ||
        QCoreApplication::closingDown())
        return;
    Leave();
}

void CEditEx::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        selectAll();
        event->accept();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

void CEditEx::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void CEditEx::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

void CEditEx::wheelEvent(QWheelEvent* event) {
    // Only the field being edited steps: a wheel turned to scroll the panel
    // past a field changes nothing.
    if (!hasFocus()) {
        QLineEdit::wheelEvent(event);
        return;
    }
    event->accept();
    constexpr int kNotch = 120;  // one step of an ordinary wheel
    wheelTurn_ += event->angleDelta().y();
    const int steps = wheelTurn_ / kNotch;
    wheelTurn_ -= steps * kNotch;
    if (steps == 0) return;
    // The digit under the mouse: the caret goes right of it (digits are all
    // about as wide as a "0").
    const int halfDigit = fontMetrics().horizontalAdvance(QLatin1Char('0')) / 2;
    setCursorPosition(cursorPositionAt(event->position().toPoint() + QPoint(halfDigit, 0)));
    Step(steps);
}

}  // namespace zorbel
