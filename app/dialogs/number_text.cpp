// The numeric edit's rules as plain functions of the text: which character
// may be typed where, and the form a field's text takes when it is left.
#include "zorbel/dialogs/edit_ex.h"

namespace zorbel {
namespace {

bool IsAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

bool IsSign(QChar c) { return c == QLatin1Char('+') || c == QLatin1Char('-'); }

}  // namespace

bool AcceptsNumberCharacter(QChar c, const QString& text, int selectionStart, int selectionEnd, bool negativesAllowed) {
    if (c.unicode() > 'z') return false;
    if (IsAsciiDigit(c) || c == QLatin1Char('\b')) return true;
    // A character the typed one replaces may be typed again (a selected "."
    // over itself, "-" over a selected "+").
    const auto replaced = [&](int index) { return index >= selectionStart && index < selectionEnd; };
    if (c == QLatin1Char('.')) {
        if (selectionStart <= 0) return false;
        if (selectionStart == 1 && !IsAsciiDigit(text.at(0))) return false;
        const int point = text.indexOf(QLatin1Char('.'));
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

QString NormalizeNumberText(const QString& text, const QString& lastText, int decimals, bool negativesAllowed) {
    if (text == lastText) return lastText;
    const bool hasSign = !text.isEmpty() && IsSign(text.at(0));
    if (text.isEmpty() || text == QLatin1String("-") || text == QLatin1String("-0.000") ||
        text.startsWith(QLatin1Char('.')) || (hasSign && text.size() > 1 && text.at(1) == QLatin1Char('.')))
        return lastText;

    const QString sign = hasSign ? text.left(1) : QString();
    qsizetype first = sign.size();
    while (first < text.size() && text.at(first) == QLatin1Char('0')) ++first;
    const QString rest = text.mid(first);

    QString result;
    if (rest.isEmpty()) {
        result = QStringLiteral("0.");  // only zeros: no sign on zero
    } else if (!rest.contains(QLatin1Char('.'))) {
        result = sign + rest + QLatin1Char('.');
    } else if (rest.startsWith(QLatin1Char('.'))) {
        result = sign + QLatin1Char('0') + rest;
    } else {
        result = sign + rest;  // the leading zeros dropped, the sign kept
    }
    const qsizetype point = result.indexOf(QLatin1Char('.'));
    const qsizetype fraction = result.size() - point - 1;
    if (fraction < decimals) result += QString(decimals - fraction, QLatin1Char('0'));

    if (!negativesAllowed && IsSign(result.at(0))) result.remove(0, 1);
    const qsizetype cut = result.indexOf(QLatin1Char('.'));
    result.truncate(decimals > 0 ? cut + 1 + decimals : cut);
    return result;
}

}  // namespace zorbel
