// The numeric edit's rules as plain functions of the text: which character
// may be typed where, and the form a field's text takes when it is left.
#include "zorbel/dialogs/edit_ex.h"

namespace zorbel {
namespace {

bool IsAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

bool IsSign(QChar c) { return c == QLatin1Char('+') || c == QLatin1Char('-'); }

// A decimal comma is the decimal point, whatever the locale.
bool IsPoint(QChar c) { return c == QLatin1Char('.') || c == QLatin1Char(','); }

qsizetype PointIndex(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i)
        if (IsPoint(text.at(i))) return i;
    return -1;
}

// An optional sign, at least one digit, then at most one point followed by
// digits ("5." is one; ".5", "+", "1e2" and "1.2.3" are not).
bool IsFieldNumber(const QString& text) {
    qsizetype i = !text.isEmpty() && IsSign(text.at(0)) ? 1 : 0;
    const qsizetype firstDigit = i;
    while (i < text.size() && IsAsciiDigit(text.at(i))) ++i;
    if (i == firstDigit) return false;
    if (i < text.size() && IsPoint(text.at(i))) ++i;
    while (i < text.size() && IsAsciiDigit(text.at(i))) ++i;
    return i == text.size();
}

// Adds one to the last digit of a run of ASCII digits, carrying to the left.
void IncrementDigits(QString& digits) {
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits.at(i) != QLatin1Char('9')) {
            digits[i] = QChar(digits.at(i).unicode() + 1);
            return;
        }
        digits[i] = QLatin1Char('0');
    }
    digits.prepend(QLatin1Char('1'));
}

}  // namespace

bool AcceptsNumberCharacter(QChar c, const QString& text, int selectionStart, int selectionEnd, bool negativesAllowed) {
    if (c.unicode() > 'z') return false;
    if (IsAsciiDigit(c) || c == QLatin1Char('\b')) return true;
    // A character the typed one replaces may be typed again (a selected "."
    // over itself, "-" over a selected "+").
    const auto replaced = [&](qsizetype index) { return index >= selectionStart && index < selectionEnd; };
    if (IsPoint(c)) {
        if (selectionStart <= 0) return false;
        if (selectionStart == 1 && !IsAsciiDigit(text.at(0))) return false;
        const qsizetype point = PointIndex(text);
        return point < 0 || replaced(point);
    }
    if (IsSign(c)) {
        if (c == QLatin1Char('-') && !negativesAllowed) return false;
        if (selectionStart > 0) return false;
        const int same = text.indexOf(c);
        if (same >= 0) return replaced(same);
        const int other = text.indexOf(c == QLatin1Char('-') ? QLatin1Char('+') : QLatin1Char('-'));
        return other < 0 || replaced(other);
    }
    return false;
}

bool HasOnlyNumberCharacters(const QString& text) {
    for (const QChar c : text)
        if (!IsAsciiDigit(c) && !IsSign(c) && !IsPoint(c)) return false;
    return true;
}

QString NormalizeNumberText(const QString& text, const QString& lastText, int decimals, bool negativesAllowed) {
    if (text == lastText) return lastText;
    QString number = text;
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    if (number == QLatin1String("-0.000") || !IsFieldNumber(number)) return lastText;

    const bool negative = number.at(0) == QLatin1Char('-');
    if (IsSign(number.at(0))) number.remove(0, 1);
    const qsizetype point = number.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? number : number.left(point);
    const QString fraction = point < 0 ? QString() : number.mid(point + 1);

    // The digits kept, without the point; rounded half away from zero on the
    // text as typed, so that 1.2345 is 1.235 (its double is just below).
    QString kept = whole + fraction.left(decimals).leftJustified(decimals, QLatin1Char('0'));
    if (fraction.size() > decimals && fraction.at(decimals) >= QLatin1Char('5')) IncrementDigits(kept);
    qsizetype first = 0;
    while (first < kept.size() - decimals - 1 && kept.at(first) == QLatin1Char('0')) ++first;
    kept.remove(0, first);

    const bool zero = kept.count(QLatin1Char('0')) == kept.size();  // a zero has no sign
    QString result = negative && negativesAllowed && !zero ? QStringLiteral("-") : QString();
    result += kept.left(kept.size() - decimals);
    if (decimals > 0) result += QLatin1Char('.') + kept.right(decimals);
    return result;
}

}  // namespace zorbel
