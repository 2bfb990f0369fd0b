// The numeric edit on its own: which typed characters get in, and the text
// a field shows once it is left (with what its owner is told).
#include <gtest/gtest.h>

#include <QTest>

#include "zorbel/dialogs/edit_ex.h"

namespace zorbel {
namespace {

struct KeyRow {
    const char* name;
    QString text;
    int selectionStart;  // the caret when selectionEnd equals it
    int selectionEnd;
    QString typed;
    QString expected;
    bool negativesAllowed = true;
};

TEST(EditEx, TypedCharactersGetInOnlyWhereTheyCanMakeANumber) {
    const KeyRow rows[] = {
        {"point first", "", 0, 0, ".", ""},
        {"point after a digit", "5", 1, 1, ".", "5."},
        {"point after a sign", "-", 1, 1, ".", "-"},
        {"second point after the first digit", "5.3", 1, 1, ".", "5.3"},
        {"point over the selected point", "12.5", 1, 3, ".", "1.5"},
        {"minus in front", "12", 0, 0, "-", "-12"},
        {"second minus", "-12", 0, 0, "-", "-12"},
        {"minus over the selected plus", "+12", 0, 1, "-", "-12"},
        {"minus beside a plus", "+12", 0, 0, "-", "+12"},
        {"plus beside a minus", "-12", 0, 0, "+", "-12"},
        {"minus without negatives", "12", 0, 0, "-", "12", false},
        // A comma is the decimal point, by the same rules, shown as ".".
        {"comma after a digit", "5", 1, 1, ",", "5."},
        {"comma first", "", 0, 0, ",", ""},
        {"comma after a sign", "-", 1, 1, ",", "-"},
        {"comma beside a point", "5.3", 3, 3, ",", "5.3"},
        {"point beside a comma", "5,3", 3, 3, ".", "5,3"},
        {"comma over the selected point", "12.5", 2, 3, ",", "12.5"},
        {"letter", "12", 2, 2, "e", "12"},
        {"above z", "12", 2, 2, "{", "12"},
    };
    for (const KeyRow& row : rows) {
        SCOPED_TRACE(row.name);
        CEditEx edit;
        edit.SetNegativesAllowed(row.negativesAllowed);
        edit.setText(row.text);
        if (row.selectionEnd > row.selectionStart)
            edit.setSelection(row.selectionStart, row.selectionEnd - row.selectionStart);
        else
            edit.setCursorPosition(row.selectionStart);
        QTest::keyClicks(&edit, row.typed);
        EXPECT_EQ(edit.text().toStdString(), row.expected.toStdString());
    }
}

struct LeaveRow {
    int decimals;
    QString lastText;
    QString typed;
    QString shown;
};

TEST(EditEx, LeavingShowsTheFieldsDecimalsAndTellsTheOwnerTwice) {
    const LeaveRow rows[] = {
        {6, "1.000000", "12", "12.000000"},
        {6, "1.000000", "0.5", "0.500000"},
        {6, "1.000000", "-0.25", "-0.250000"},
        {6, "1.000000", "1.23456789", "1.234568"},
        {6, "1.000000", "000", "0.000000"},
        {0, "3", "12.7", "13"},
        // A comma is the point.
        {3, "1.500", "0,5", "0.500"},
        {0, "3", "99,9", "100"},
        // Rounded half away from zero on the digits typed.
        {3, "1.500", "1.2345", "1.235"},
        {3, "1.500", "-1.2345", "-1.235"},
        {3, "1.500", "999.9996", "1000.000"},
        {4, "0.5000", "-9.99995", "-10.0000"},
        {9, "0.000100000", "0.0001000004", "0.000100000"},
        {0, "3", "-0.5", "-1"},
        // A zero has no sign.
        {3, "1.500", "-0.0004", "0.000"},
        {3, "1.500", "-0.0009", "-0.001"},
        {4, "0.5000", "-0,00004", "0.0000"},
        {0, "3", "-0.4", "0"},
        {3, "1.500", "+2", "2.000"},
        {3, "1.500", "005.5", "5.500"},
        {3, "1.500", "-005.5", "-5.500"},
        {3, "1.500", "-0", "0.000"},
        // Nothing that makes a number: the field returns to its last text.
        {3, "1.500", "", "1.500"},
        {3, "1.500", "-0.000", "1.500"},
        {3, "1.500", "+", "1.500"},
        {3, "1.500", ",5", "1.500"},
        {3, "1.500", "1.2.3", "1.500"},
        {3, "1.500", "1,2.3", "1.500"},
        {3, "1.500", "1-2", "1.500"},
        {3, "1.500", "--5", "1.500"},
    };
    for (const LeaveRow& row : rows) {
        SCOPED_TRACE(row.typed.toStdString() + " with " + std::to_string(row.decimals) + " decimals");
        CEditEx edit;
        edit.SetDecimals(static_cast<std::uint16_t>(row.decimals));
        edit.setText(row.lastText);
        edit.TakeValue();  // makes it the last text
        std::vector<std::string> told;
        QObject::connect(&edit, &CEditEx::LeftAsTyped,
                         [&](const QString& t) { told.push_back("typed " + t.toStdString()); });
        QObject::connect(&edit, &CEditEx::LeftNormalized,
                         [&](const QString& t) { told.push_back("shown " + t.toStdString()); });
        edit.setText(row.typed);
        edit.TakeValue();
        EXPECT_EQ(edit.text().toStdString(), row.shown.toStdString());
        EXPECT_EQ(told,
                  (std::vector<std::string>{"typed " + row.typed.toStdString(), "shown " + row.shown.toStdString()}));
        EXPECT_EQ(edit.LastText(), row.shown);
    }
}

}  // namespace
}  // namespace zorbel
