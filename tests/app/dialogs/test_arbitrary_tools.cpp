// The arbitrary waveform's dialogs on the real model, headless: the order of
// the sample-clock list and the page button that shows it, and the point
// editor's index and voltage rules with what leaving it keeps.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <cmath>

#include "dialog_helpers.h"
#include "zorbel/dialogs/arbitrary_tools.h"
#include "zorbel/dialogs/edit_ex.h"
#include "zorbel/dialogs/wave_parameter_pages.h"
#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/resample.h"

namespace zorbel {
namespace {

using test::RecordingView;

ArbitraryControl Candidate(double error, std::uint32_t points) {
    return {static_cast<std::int16_t>(points / 16), 1000.0, 1000.0 * (1 + error), points, error};
}

TEST(ArbitraryList, OrdersByErrorThenFewerPointsWithinABand) {
    const struct {
        const char* what;
        std::vector<ArbitraryControl> given;
        std::vector<std::uint32_t> pointsInOrder;
    } rows[] = {
        {"one band: fewer points first", {Candidate(0.0011, 400), Candidate(0.0019, 200)}, {200, 400}},
        {"one record", {Candidate(0.5, 16)}, {16}},
        {"the sign does not count; the next band keeps its place",
         {Candidate(0.0025, 100), Candidate(-0.0005, 300), Candidate(0.001, 200)},
         {200, 300, 100}},
        {"no points (infinite error) stay last", {Candidate(INFINITY, 0), Candidate(-0.003, 32)}, {32, 0}},
    };
    for (const auto& row : rows) {
        std::vector<ArbitraryControl> list = row.given;
        OrderArbitraryControls(list);
        std::vector<std::uint32_t> points;
        for (const ArbitraryControl& a : list) points.push_back(a.points);
        EXPECT_EQ(points, row.pointsInOrder) << row.what;
    }
}

TEST(ArbitraryList, OtherOnThePageShowsEveryClockOfTheFrequencyInListOrder) {
    DeviceSettings settings;
    settings.ModifyRecord(0, [](ChannelRecord& r) { r.arbitraryFrequency = 2500.0; });
    const auto expected = ListArbitraryControls(2500.0);
    ASSERT_TRUE(expected && !expected->empty());

    CDlgWaveParameterArbitrary page;
    page.Attach(&settings, nullptr);
    auto* other = FindControl<QPushButton>(&page, 1049);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(other->isHidden());
    QStringList firstRow;
    int rows = -1;
    QTimer::singleShot(0, [&] {
        auto* list = qobject_cast<CDlgArbitraryControl*>(QApplication::activeModalWidget());
        if (!list) return;
        rows = list->List()->rowCount();
        for (int c = 0; c < list->List()->columnCount(); ++c) firstRow << list->List()->item(0, c)->text();
        list->close();
    });
    other->click();
    EXPECT_EQ(rows, static_cast<int>(expected->size()));
    const ArbitraryControl& best = expected->front();
    EXPECT_EQ(firstRow, QStringList({"0", QString::number(best.divider), QString::number(best.points),
                                     QString::number(best.resultingFrequency, 'f', 6),
                                     QString::number(best.error * 100, 'f', 3) + "%"}));
}

// A typed frequency and a row chosen in the list (Enter or a double click)
// both play the waveform on their clock's points: resampled, not cut or
// padded, as one undo step that brings the old waveform back.
TEST(ArbitraryList, ATypedFrequencyOrAChosenRowResamplesTheWaveformInOneUndoStep) {
    DeviceSettings settings;  // the generator library's own clock choice
    std::vector<double> triangle(5680);
    for (std::size_t i = 0; i < triangle.size(); ++i) triangle[i] = 1.0 - std::fabs(2.0 * i / 5679.0 - 1.0);
    const auto controls = ListArbitraryControls(1000.0);
    ASSERT_TRUE(controls && controls->size() > 4);
    ArbitraryControl best{};
    ASSERT_EQ(qmkHDGetBestArbitraryControlFromFreq(&best, 2500.0, 2, 6000), 1);

    CDlgWaveParameterArbitrary page;
    RecordingView view;
    page.Attach(&settings, &view);
    page.show();
    const auto chooseInList = [&](bool doubleClick, int row) {
        QTimer::singleShot(0, [&, doubleClick, row] {
            auto* list = qobject_cast<CDlgArbitraryControl*>(QApplication::activeModalWidget());
            if (!list) return;
            QTableWidget* table = list->List();
            table->setCurrentCell(row, 1);
            if (doubleClick) {
                const QPoint at = table->visualRect(table->model()->index(row, 1)).center();
                // The view takes a double click on the cell it saw pressed.
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
            } else {
                QTest::keyClick(table, Qt::Key_Return);
            }
            if (list->isVisible()) list->reject();
        });
        FindControl<QPushButton>(&page, 1049)->click();
    };
    const struct {
        const char* what;
        std::function<void()> act;
        ArbitraryControl clock;
        double frequency;  // kept as the arbitrary frequency
    } rows[] = {
        {"2500 Hz typed",
         [&] {
             auto* field = FindControl<CEditEx>(&page, 1055);
             field->setFocus();
             field->selectAll();
             QTest::keyClicks(field, "2500");
             QTest::keyClick(field, Qt::Key_Return);
         },
         best, 2500.0},
        {"row 3 with Enter", [&] { chooseInList(false, 3); }, (*controls)[3], 1000.0},
        {"row 1 double-clicked", [&] { chooseInList(true, 1); }, (*controls)[1], 1000.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        settings.History().Forget(0);
        settings.ModifyRecord(0, [&](ChannelRecord& r) {
            r.arbitrarySamples = triangle;
            r.arbitraryPointCount = 5680;
            r.arbitraryDivider = 11;
            r.arbitraryFrequency = 1000.0;
        });
        page.UpdatePage();
        row.act();
        ChannelRecord r = settings.Record(0);
        EXPECT_EQ(r.arbitraryPointCount, row.clock.points);
        EXPECT_EQ(r.arbitraryDivider, row.clock.divider);
        EXPECT_EQ(r.arbitraryFrequency, row.frequency);
        EXPECT_TRUE(r.arbitrarySamples == Resample(triangle, row.clock.points));
        EXPECT_EQ(FindControl<CEditEx>(&page, 1051)->text().toStdString(), std::to_string(row.clock.points));

        ASSERT_EQ(settings.History().UndoSteps(0), 1u);
        ASSERT_TRUE(EditArbitrary(settings, 0, ArbitraryEdit::Undo()));
        r = settings.Record(0);
        ASSERT_EQ(r.arbitraryPointCount, 5680u);
        EXPECT_TRUE(std::equal(triangle.begin(), triangle.end(), r.arbitrarySamples.begin()));
    }
}

class PointEditor : public ::testing::Test {
protected:
    PointEditor() {
        settings_.SetCurrentChannel(1);
        settings_.ResizeArbitrary(1, 64);
        settings_.ModifyRecord(1, [](ChannelRecord& r) {
            for (std::uint32_t i = 0; i < 64; ++i) r.arbitrarySamples[i] = 0.25;
        });
    }
    double Sample(std::uint32_t i) { return settings_.Record(1).arbitrarySamples[i]; }
    static void Type(CEditEx* field, const QString& text) {
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }
    // As an assistive tool sets a field's text, then the field is left.
    static void SetWithoutKeystrokes(CEditEx* field, const QString& text) {
        QAccessible::queryAccessibleInterface(field)->setText(QAccessible::Value, text);
        field->TakeValue();
    }

    DeviceSettings settings_;  // amplitude maximum 20 V: points within +-10 V
    RecordingView view_;
};

TEST_F(PointEditor, IndexAndVoltageRules) {
    const struct {
        const char* what;
        std::uint32_t start;
        const char* action;  // "previous", "next", "index", "volt", "set index", "set volt"
        const char* typed;
        std::uint32_t index;
        const char* shownVoltage;
        double stored;  // the point's value afterwards
        bool redrawn;
    } rows[] = {
        {"Previous at 0 stays", 0, "previous", "", 0, "0.2500", 0.25, false},
        {"Next at the last point stays", 63, "next", "", 63, "0.2500", 0.25, false},
        {"Next", 5, "next", "", 6, "0.2500", 0.25, false},
        {"-1 selects the last point", 3, "index", "-1", 63, "0.2500", 0.25, false},
        {"past the end selects the last point", 3, "index", "64", 63, "0.2500", 0.25, false},
        {"a voltage above half the maximum is stored as half", 7, "volt", "25", 7, "10.0000", 10.0, true},
        {"and below minus half as minus half", 7, "volt", "-10.5", 7, "-10.0000", -10.0, true},
        {"a voltage within", 8, "volt", "1.5", 8, "1.5000", 1.5, true},
        {"the same voltage asks for no redraw", 9, "volt", "0.25", 9, "0.2500", 0.25, false},
        {"a comma is the point", 8, "volt", "1,5", 8, "1.5000", 1.5, true},
        {"rounded to the four decimals shown", 8, "volt", "-0,12345", 8, "-0.1235", -0.1235, true},
        {"a zero has no sign", 8, "volt", "-0.00004", 8, "0.0000", 0.0, true},
        {"an index with a comma, rounded", 3, "index", "4,5", 5, "0.2500", 0.25, false},
        // Text that arrives without keystrokes is taken only when it is a number.
        {"letters set by an assistive tool", 8, "set volt", "abc", 8, "0.2500", 0.25, false},
        {"an exponent set by an assistive tool", 8, "set volt", "1e2", 8, "0.2500", 0.25, false},
        {"two points set by an assistive tool", 8, "set volt", "1.2.3", 8, "0.2500", 0.25, false},
        {"a lone sign set by an assistive tool", 8, "set volt", "-", 8, "0.2500", 0.25, false},
        {"a number set by an assistive tool", 8, "set volt", "0,75", 8, "0.7500", 0.75, true},
        {"letters as the index", 3, "set index", "x", 3, "0.2500", 0.25, false},
    };
    for (const auto& row : rows) {
        settings_.ModifyRecord(1, [&](ChannelRecord& r) {
            r.editPointIndex = row.start;
            r.arbitrarySamples[row.index] = 0.25;
        });
        view_.masks.clear();
        view_.changed.clear();
        CDlgEditPoints editor(settings_, &view_, test::BuiltInLanguage());
        ASSERT_EQ(editor.CurrentIndex(), row.start) << row.what;
        const std::string action = row.action;
        if (action == "previous") editor.PreviousButton()->click();
        if (action == "next") editor.NextButton()->click();
        if (action == "index") Type(editor.IndexField(), row.typed);
        if (action == "volt") Type(editor.VoltageField(), row.typed);
        if (action == "set volt") SetWithoutKeystrokes(editor.VoltageField(), row.typed);
        if (action == "set index") SetWithoutKeystrokes(editor.IndexField(), row.typed);
        EXPECT_EQ(editor.CurrentIndex(), row.index) << row.what;
        EXPECT_EQ(editor.IndexField()->text(), QString::number(row.index)) << row.what;
        EXPECT_EQ(editor.VoltageField()->text(), row.shownVoltage) << row.what;
        EXPECT_EQ(Sample(row.index), row.stored) << row.what;
        EXPECT_FALSE(row.stored == 0 && std::signbit(Sample(row.index))) << row.what;
        EXPECT_EQ(view_.masks, row.redrawn ? std::vector<std::uint32_t>{ToNumber(RefreshMask::Waveform)}
                                           : std::vector<std::uint32_t>{})
            << row.what;
        // The view's envelope of a large waveform follows only edits it is told of.
        using Changed = std::vector<std::array<std::uint32_t, 3>>;
        EXPECT_EQ(view_.changed, (row.redrawn ? Changed{{1, row.index, row.index}} : Changed{})) << row.what;
    }
}

TEST_F(PointEditor, LeavingKeepsTheIndexAndSetsTheGainForTheEditedPoints) {
    settings_.ModifyRecord(1, [](ChannelRecord& r) { r.arbitraryZoom = 1; });
    {
        CDlgEditPoints editor(settings_, &view_, test::BuiltInLanguage());
        EXPECT_EQ(editor.windowTitle(), "Edit Points");
        Type(editor.IndexField(), "12");
        Type(editor.VoltageField(), "3");                 // above the 2.5 V of gain 4
        EXPECT_EQ(settings_.Record(1).arbitraryZoom, 1);  // only when leaving
        QTest::keyClick(&editor, Qt::Key_Escape);
    }
    EXPECT_EQ(settings_.Record(1).editPointIndex, 12u);
    EXPECT_EQ(settings_.Record(1).arbitraryZoom, 20);
    CDlgEditPoints again(settings_, &view_, test::BuiltInLanguage());
    EXPECT_EQ(again.CurrentIndex(), 12u);
    EXPECT_EQ(again.VoltageField()->text(), "3.0000");
}

}  // namespace
}  // namespace zorbel
