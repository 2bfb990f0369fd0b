// CEditEx: the numeric edit of every number the user types in the panel and
// the pages. It lets through only what can make a signed decimal number (a
// decimal comma is the decimal point), brings the text to a fixed number of
// decimals when the field is left, takes the value on Enter while the focus
// stays, is never narrower than the value it shows, and shows grey digits on
// black in 10-point Arial. Up and Down (PageUp and PageDown ten times) and
// the mouse wheel over the focused field step one digit of the number, each
// step taken as if typed and Enter pressed.
#pragma once

#include <QLineEdit>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "zorbel/digit_step.h"

namespace zorbel {

// Whether typing `c` over the selection [selectionStart, selectionEnd) of
// `text` (the caret position twice when nothing is selected) is let through:
// digits; a point ("." or ",") not first, only after a leading digit, and
// only once (or over the selected point); a sign only at the front, only
// once, and "-" only when negatives are allowed. Characters above 'z' and all
// others are refused.
bool AcceptsNumberCharacter(QChar c, const QString& text, int selectionStart, int selectionEnd, bool negativesAllowed);

// Whether `text` holds only characters a number field lets in (digits,
// signs, "." and ","), wherever they stand.
bool HasOnlyNumberCharacters(const QString& text);

// The text a field shows once it is left: `decimals` digits after a "."
// (rounded half away from zero on the digits typed; no point at all for 0
// decimals), superfluous leading zeros and a "+" dropped, a zero without a
// sign ("-0.0004" is "0.000"). A "," counts as the point. Text that is not
// a sign, digits and at most one point with digits after it (empty, "-",
// "+", "-0.000", a point first or after the sign, "1e2", "abc") gives
// `lastText` back; without negatives a leading "-" is dropped.
QString NormalizeNumberText(const QString& text, const QString& lastText, int decimals, bool negativesAllowed);

class CEditEx : public QLineEdit {
    Q_OBJECT

public:
    explicit CEditEx(QWidget* parent = nullptr);

    // Digits kept after the point when the field is left (3 until set).
    void SetDecimals(std::uint16_t decimals) { decimals_ = decimals; }
    std::uint16_t Decimals() const { return decimals_; }
    void SetNegativesAllowed(bool allowed) { negativesAllowed_ = allowed; }
    void SetNormalize(bool normalize) { normalize_ = normalize; }

    // Shows `value` with the field's decimals ("%.*f", always with a ".")
    // and makes it the text the field returns to.
    void SetValue(double value);
    // The same with "%d".
    void SetInteger(long long value);
    const QString& LastText() const { return lastText_; }

    // Takes the value as leaving the field does, the focus staying here:
    // what Enter does.
    void TakeValue();

    // What a stepped number is held within; nothing: the field cannot be
    // stepped now (no model). Until set, any number the field lets in.
    using StepLimitsSource = std::function<std::optional<StepLimits>()>;
    void SetStepLimits(StepLimitsSource source) { stepLimits_ = std::move(source); }
    // Adds `steps` units of the digit left of the caret (StepDigit), then
    // takes the value as Enter does; the caret stays on that digit.
    void Step(int steps);

    // At least as wide as the value it shows: a layout never cuts its text.
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

signals:
    // The field was left (or Enter pressed): first with the text as typed,
    // then with the text it now shows. Owners take the value from the second.
    void LeftAsTyped(const QString& text);
    void LeftNormalized(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Leave();
    void CaretToEnd();
    void SetLastText(const QString& text);

    QString lastText_;
    QString allowedText_;  // the text before a change that brought other characters in
    bool negativesAllowed_ = true;
    std::uint16_t decimals_ = 3;
    bool normalize_ = true;
    bool leaving_ = false;  // a message shown while leaving takes the focus: not a second leave
    StepLimitsSource stepLimits_;
    int wheelTurn_ = 0;  // eighths of a degree not yet stepped (fine-grained wheels and touchpads)
};

}  // namespace zorbel
