// CEditEx: key filter, leaving the field, Enter, right click and colours.
#include "zorbel/dialogs/edit_ex.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyleOptionFrame>

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

}  // namespace zorbel
