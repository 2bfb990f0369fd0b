// The main frame as a user meets it, headless: a language switch and back,
// the names assistive tools read, which commands are enabled in arbitrary
// and other modes, the file commands with their messages, and the session
// against zorbel-gensim, closing included.
#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "control_panel_host.h"
#include "language_choice.h"
#include "menu_template.h"
#include "messages.h"
#include "shell_fixture.h"
#include "sim_clients.h"
#include "sim_process.h"
#include "zorbel/dialogs/arbitrary_tools.h"
#include "zorbel/dialogs/calibrate.h"
#include "zorbel/dialogs/formula_dialog.h"
#include "zorbel/dialogs/program_texts.h"
#include "zorbel/dialogs/small_dialogs.h"
#include "zorbel/dialogs/sweep_dialog.h"
#include "zorbel/view/zorbel_view.h"

namespace zorbel::test {
namespace {

QString MenuTitle(CMainFrame& frame, int position) { return frame.menuBar()->actions().at(position)->text(); }

QString AccessibleName(QObject* object) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QString("<no interface>");
}

ControlPanelHost& Panel(CMainFrame& frame) { return static_cast<ControlPanelHost&>(frame.Panel()); }
CZorbelView& View(CMainFrame& frame) { return frame.View(); }

using MainFrame = FrameTest;

TEST_F(MainFrame, LanguageSwitchAndBack) {
    StartFrame({{"shouty.lug", ShoutyLanguageText()}});
    ASSERT_EQ(Languages().LanguageCount(), 1);
    QAction* shouty = Frame().Action(kCmdFirstLanguage);
    ASSERT_NE(shouty, nullptr);
    EXPECT_EQ(shouty->text(), "Shouty");
    EXPECT_EQ(Frame().LanguageMenu()->actions().last(), shouty);

    // What the user reads, in each language.
    const struct {
        const char* what;
        std::function<QString()> text;
        QString builtIn;
        QString other;
    } labels[] = {
        {"File menu", [&] { return MenuTitle(Frame(), 0); }, "&File", "&FILE"},
        {"Help menu", [&] { return MenuTitle(Frame(), MenuBarPosition(7)); }, "&Help", "&HELP"},
        {"Print entry", [&] { return Frame().Action(kCmdPrint)->text(); }, "&Print", "&PRINT"},
        {"Print shortcut", [&] { return Frame().Action(kCmdPrint)->shortcut().toString(); }, "Ctrl+P", "Ctrl+P"},
        {"Vectors (third level)", [&] { return Frame().Action(kCmdVectors)->text(); }, "&Vectors", "&VECTORS"},
        {"Read Operation", [&] { return Frame().Action(kCmdReadOperation)->text(); }, "&Read Operation",
         "&READ OPERATION"},
        {"pane caption", [&] { return Frame().ControlPane()->windowTitle(); }, "Control Bar", "CONTROL BAR"},
        {"Load Data tooltip", [&] { return Frame().Action(kCmdLoadData)->toolTip(); }, "Load Data", "LOAD DATA"},
        {"language entry", [&] { return shouty->text(); }, "Shouty", "Shouty"},
    };
    const auto expectLanguage = [&](bool builtIn) {
        for (const auto& l : labels) EXPECT_EQ(l.text(), builtIn ? l.builtIn : l.other) << l.what;
        EXPECT_EQ(Frame().Action(kCmdDefaultLanguage)->isChecked(), builtIn);
        EXPECT_EQ(shouty->isChecked(), !builtIn);
    };

    expectLanguage(true);
    const int refreshes = Panel(Frame()).RefreshCount();
    shouty->trigger();
    expectLanguage(false);
    EXPECT_EQ(Panel(Frame()).RefreshCount(), refreshes + 1);
    Frame().Action(kCmdDefaultLanguage)->trigger();
    expectLanguage(true);
    shouty->trigger();

    // The choice outlives the run.
    Frame().close();
    EXPECT_EQ(ReadLanguageChoiceFile(LanguageChoicePath(ProgramFolder())), 0);
}

// A partial German file: what it lacks is English, whatever came before it.
const char kPartialGerman[] =
    "[App]\n8888=Deutsch\n800=&Datei\n80010=&Drucken\n8040100=&Lesen\n150=Steuerleiste\n32771=Daten laden\n"
    "1004=Wellenform\n";

TEST_F(MainFrame, EverySwitchStartsFromTheBuiltInTexts) {
    StartFrame({{"shouty.lug", ShoutyLanguageText()}, {"deutsch.lug", kPartialGerman}});
    ASSERT_EQ(Languages().LanguageCount(), 2);
    const auto entry = [&](const QString& name) -> QAction* {
        for (QAction* action : Frame().LanguageMenu()->actions())
            if (action->text() == name) return action;
        return nullptr;
    };
    QAction* const chain[] = {Frame().Action(kCmdDefaultLanguage), entry("Shouty"), entry("Deutsch"),
                              Frame().Action(kCmdDefaultLanguage)};
    ASSERT_TRUE(chain[1] && chain[2]);
    QWidget* panel = Frame().Panel().Widget();
    // What the user reads after each switch of the chain: built-in, Shouty
    // (every item), Deutsch (a few), built-in.
    const struct {
        const char* what;
        std::function<QString()> text;
        QStringList texts;
    } labels[] = {
        {"File menu", [&] { return MenuTitle(Frame(), 0); }, {"&File", "&FILE", "&Datei", "&File"}},
        {"Help menu", [&] { return MenuTitle(Frame(), MenuBarPosition(7)); }, {"&Help", "&HELP", "&Help", "&Help"}},
        {"Print entry", [&] { return Frame().Action(kCmdPrint)->text(); }, {"&Print", "&PRINT", "&Drucken", "&Print"}},
        {"Vectors entry",
         [&] { return Frame().Action(kCmdVectors)->text(); },
         {"&Vectors", "&VECTORS", "&Vectors", "&Vectors"}},
        {"Read Operation",
         [&] { return Frame().Action(kCmdReadOperation)->text(); },
         {"&Read Operation", "&READ OPERATION", "&Lesen", "&Read Operation"}},
        {"pane caption",
         [&] { return Frame().ControlPane()->windowTitle(); },
         {"Control Bar", "CONTROL BAR", "Steuerleiste", "Control Bar"}},
        {"Load Data tooltip",
         [&] { return Frame().Action(kCmdLoadData)->toolTip(); },
         {"Load Data", "LOAD DATA", "Daten laden", "Load Data"}},
        {"Vectors tooltip",
         [&] { return Frame().Action(kCmdVectors)->toolTip(); },
         {"Vectors", "VECTORS", "Vectors", "Vectors"}},
        {"panel's wave type group",
         [&] { return FindControl<QGroupBox>(panel, 1004)->title(); },
         {"Wave Type", "WAVE TYPE", "Wellenform", "Wave Type"}},
        {"panel's channel label",
         [&] { return FindControl<QLabel>(panel, 1057)->text(); },
         {"Current CH:", "CURRENT CH:", "Current CH:", "Current CH:"}},
        {"a message text",
         [&] { return Languages().LanguageText(10052); },
         {"Success: Load arb data", "SUCCESS: LOAD ARB DATA", "Success: Load arb data", "Success: Load arb data"}},
    };
    for (int step = 0; step < 4; ++step) {
        chain[step]->trigger();
        EXPECT_TRUE(chain[step]->isChecked()) << step;
        for (const auto& l : labels) EXPECT_EQ(l.text(), l.texts[step]) << l.what << " after switch " << step;
    }
}

// Every text a user of the window reads, with the names screen readers
// read: menus, toolbar tips, the pane with the panel and its pages, the
// status bar, and the formula, connection and sample clock dialogs.
QStringList ReadableTexts(CMainFrame& frame, DeviceSettings& settings) {
    QStringList texts;
    const auto widgetTexts = [&](QWidget* root) {
        texts << root->windowTitle() << root->accessibleName();
        for (QWidget* w : root->findChildren<QWidget*>()) {
            texts << w->accessibleName() << Caption(w) << w->toolTip();
            if (auto* table = qobject_cast<QTableWidget*>(w))
                for (int c = 0; c < table->columnCount(); ++c) texts << table->horizontalHeaderItem(c)->text();
        }
    };
    const auto menuTexts = [&](const auto& self, const QList<QAction*>& entries) -> void {
        for (QAction* entry : entries) {
            texts << entry->text() << entry->toolTip();
            if (entry->menu()) self(self, entry->menu()->actions());
        }
    };
    menuTexts(menuTexts, frame.menuBar()->actions());
    widgetTexts(frame.ControlPane());
    widgetTexts(frame.statusBar());
    CDlgFormula formula(settings, nullptr, &frame);
    widgetTexts(&formula);
    CDlgConnect connect(kConnectionUsb, 0x7F000001, ProgramLanguage(), &frame);
    widgetTexts(&connect);
    const ArbitraryControl clock{};
    CDlgArbitraryControl clocks({&clock, 1}, &frame);
    widgetTexts(&clocks);
    texts.removeAll(QString());
    return texts;
}

TEST_F(MainFrame, GermanLeavesNoEnglishOfTheProgramsOwn) {
    QFile shipped(ZORBEL_LANGUAGE_DIR "/Deutsch.lug");
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QString german = QString::fromUtf8(shipped.readAll());
    StartFrame({{"Deutsch.lug", german}});
    QAction* deutsch = Frame().Action(kCmdFirstLanguage);
    ASSERT_NE(deutsch, nullptr);

    // The built-in texts that German translates (not "CH1", "OK", "USB", ...),
    // as items and as menu captions.
    const std::map<QString, QString> germanItems = LanguageItems(german);  // every item the program asks for
    std::set<QString> english;
    for (const auto& [item, text] : germanItems) {
        const QString builtIn = Languages().LanguageText(item.toLongLong());
        if (text == builtIn) continue;
        english.insert(builtIn);
        english.insert(SplitMenuText(builtIn).caption);
    }
    ASSERT_GT(english.size(), 200u);

    deutsch->trigger();
    for (const QString& text : ReadableTexts(Frame(), Settings()))
        EXPECT_FALSE(english.contains(text)) << text.toStdString();
    const struct {
        const char* what;
        std::function<QString()> text;
        QString german;
        QString builtIn;
    } labels[] = {
        {"Edit menu", [&] { return MenuTitle(Frame(), 1); }, "&Bearbeiten", "&Edit"},
        {"Undo", [&] { return Frame().Action(kCmdUndo)->text(); }, "&Rückgängig", "&Undo"},
        {"Undo's key", [&] { return Frame().Action(kCmdUndo)->shortcut().toString(); }, "Ctrl+Z", "Ctrl+Z"},
        {"Formula", [&] { return Frame().Action(kCmdFormula)->text(); }, "&Formel...", "&Formula..."},
        {"session state", [&] { return Frame().statusBar()->findChild<QLabel*>(kStateFieldName)->text(); },
         "Demo: es wird nichts gesendet", "Demo: nothing is sent"},
        {"its spoken name", [&] { return AccessibleName(Frame().statusBar()->findChild<QLabel*>(kStateFieldName)); },
         "Sitzungszustand: Demo: es wird nichts gesendet", "Session state: Demo: nothing is sent"},
        // Qt's own dialogs and buttons follow, through Qt's translation.
        {"Qt's Cancel", [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); }, "Abbrechen", "Cancel"},
    };
    for (const auto& l : labels) EXPECT_EQ(l.text(), l.german) << l.what;
    Frame().Action(kCmdDefaultLanguage)->trigger();
    for (const auto& l : labels) EXPECT_EQ(l.text(), l.builtIn) << l.what;
}

TEST_F(MainFrame, StoredLanguageNoLongerListedShowsTheBuiltInOne) {
    StartFrame({{"shouty.lug", ShoutyLanguageText()}}, /*storedLanguage=*/4);
    EXPECT_EQ(MenuTitle(Frame(), 0), "&File");
    EXPECT_EQ(Frame().ControlPane()->windowTitle(), "Control Bar");
    EXPECT_TRUE(Frame().Action(kCmdDefaultLanguage)->isChecked());
    EXPECT_FALSE(Frame().Action(kCmdFirstLanguage)->isChecked());
    // Kept as chosen, should the file come back.
    Frame().close();
    EXPECT_EQ(ReadLanguageChoiceFile(LanguageChoicePath(ProgramFolder())), 4);
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(MainFrame, LanguageChoiceThatCannotBeSavedIsReported) {
    StartFrame();
    QDir(ProgramFolder()).rename("Language", "lan.set");  // a folder where the file should go
    Frame().close();
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].startsWith("Cann't save file: ")) << messages_[0].toStdString();
}

TEST_F(MainFrame, MenusAndToolbarButtonsAreNamedByTheirLanguageTexts) {
    StartFrame({{"shouty.lug", ShoutyLanguageText()}});
    const auto menuNames = [&] {
        QStringList names;
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(Frame().menuBar());
        for (int i = 0; i < bar->childCount(); ++i) names << bar->child(i)->text(QAccessible::Name);
        return names;
    };
    const auto viewEntries = [&] {
        QStringList names;
        QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(
            Frame().menuBar()->actions().at(MenuBarPosition(kViewMenuPosition))->menu());
        for (int i = 0; i < menu->childCount(); ++i) names << menu->child(i)->text(QAccessible::Name);
        return names;
    };
    EXPECT_EQ(menuNames(),
              QStringList({"File", "Edit", "View", "Display", "User", "Initial", "Acquire", "Utility", "Help"}));
    EXPECT_EQ(viewEntries(), QStringList({"Tool Bar", "Status Bar", "Control Bar"}));  // no Application Look
    EXPECT_EQ(AccessibleName(Frame().ControlPane()), "Control Bar");

    const struct {
        int command;
        QString name;
    } buttons[] = {
        {kCmdLoadData, "Load Data"},
        {kCmdLoadSetup, "Load Setup"},
        {kCmdSaveData, "Save Data"},
        {kCmdSaveSetup, "Save Setup"},
        {kCmdVectors, "Vectors"},
        {kCmdDots, "Dots"},
        {kCmdHorizontalZoomIn, "Horizontal Zoom In"},
        {kCmdHorizontalZoomOut, "Horizontal Zoom Out"},
        {kCmdHorizontalMove, "Horizontal Move"},
        {kCmdVerticalZoomIn, "Vertical Zoom In"},
        {kCmdVerticalZoomOut, "Vertical Zoom Out"},
        {kCmdVerticalMove, "Vertical Move"},
        {kCmdEditPoints, "Edit Points"},
        {kCmdPrintPreview, "Print Preview"},
        {kCmdContent, "Help Content"},
    };
    ASSERT_EQ(std::size(buttons), 15u);
    for (const bool builtIn : {true, false}) {
        for (const auto& b : buttons) {
            QWidget* button = Frame().MainToolBar()->widgetForAction(Frame().Action(b.command));
            ASSERT_NE(button, nullptr) << b.command;
            EXPECT_EQ(AccessibleName(button), builtIn ? b.name : b.name.toUpper()) << b.command;
            EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus) << b.command;  // reachable by keyboard
            EXPECT_FALSE(Frame().Action(b.command)->icon().isNull()) << b.command;
        }
        Frame().Action(kCmdFirstLanguage)->trigger();
        EXPECT_EQ(menuNames().first(), "FILE");
    }
}

// The language key of every keyed menu entry, with its command id or its
// submenu's title; a key given twice fails.
std::map<qlonglong, QString> MenuKeys(QMenuBar* bar) {
    std::map<qlonglong, QString> keys;
    const auto walk = [&](const auto& self, const QList<QAction*>& entries) -> void {
        for (QAction* entry : entries) {
            if (const QVariant key = entry->property(kMenuKeyProperty); key.isValid()) {
                const QString what = entry->menu() ? entry->menu()->title() : entry->data().toString();
                EXPECT_TRUE(keys.emplace(key.toLongLong(), what).second) << key.toLongLong();
            }
            if (entry->menu()) self(self, entry->menu()->actions());
        }
    };
    walk(walk, bar->actions());
    return keys;
}

TEST_F(MainFrame, EveryCommandHasAHandlerAStateAndAMenuKeyThatStaysWithIt) {
    std::set<std::string> menus;
    for (const TopMenu& top : MainMenus()) menus.insert(top.caption);
    std::set<int> ids, places;
    for (const CommandRow& c : CMainFrame::Commands()) {
        EXPECT_TRUE(ids.insert(c.id).second) << c.id;
        EXPECT_NE(c.run == nullptr, c.ownAction == nullptr) << c.id;  // one of them acts
        EXPECT_NE(c.state, nullptr) << c.id;
        EXPECT_EQ(c.toolbarPlace != 0, c.icon != nullptr) << c.id;
        EXPECT_TRUE(c.toolbarPlace == 0 || places.insert(c.toolbarPlace).second) << c.id;
        const std::string menu = c.menu ? c.menu : "&File";  // no menu entry: nothing to check
        EXPECT_TRUE(menus.contains(menu.substr(0, menu.find('/')))) << c.id;
    }

    StartFrame({{"shouty.lug", ShoutyLanguageText()}});
    const std::map<qlonglong, QString> keys = MenuKeys(Frame().menuBar());
    EXPECT_EQ(keys.at(80010), QString::number(kCmdPrint));
    EXPECT_EQ(keys.at(8020000), QString::number(kCmdVectors));
    EXPECT_EQ(keys.at(80401), "Real &Time");
    EXPECT_EQ(keys.at(8060001), QString::number(kCmdFirstLanguage));
    // Advance does nothing yet: not shown, but its place keeps Exit's key.
    EXPECT_EQ(keys.at(80014), QString::number(kCmdAdvance));
    EXPECT_EQ(keys.at(80016), QString::number(kCmdExit));
    EXPECT_FALSE(Frame().Action(kCmdAdvance)->isVisible());
    EXPECT_FALSE(Frame().Action(kCmdAdvance)->isEnabled());
    // The language entries made anew, and an entry put before all of File:
    // no key moves, and each text still finds its entry.
    Frame().BuildLanguageMenu();
    QMenu* file = Frame().menuBar()->actions().at(0)->menu();
    auto* added = new QAction("Added", file);
    file->insertAction(file->actions().first(), added);
    EXPECT_EQ(MenuKeys(Frame().menuBar()), keys);
    Frame().Action(kCmdFirstLanguage)->trigger();
    EXPECT_EQ(Frame().Action(kCmdPrint)->text(), "&PRINT");
    EXPECT_EQ(Frame().Action(kCmdLoadData)->text(), "LOAD DATA");
    EXPECT_EQ(added->text(), "Added");
}

QAccessibleInterface* Accessible(QWidget* widget) { return QAccessible::queryAccessibleInterface(widget); }

// Every window, its menus and every dialog, as a keyboard and screen reader
// user meets them: named, reached by Tab and Shift+Tab, toggles that say so.
TEST_F(MainFrame, EveryWindowMenuAndDialogIsNamedAndReachedByTabBothWays) {
    StartFrame();
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    QWidget* panel = Frame().Panel().Widget();
    const std::uint32_t points = Settings().Record(0).arbitraryPointCount;
    const auto chooseWaveType = [&](std::uint16_t type) {
        FindControl<QPushButton>(panel, 1004 + 2 * type)->click();
        Frame().UpdateCommandStates();
        Frame().UpdateStatus();
    };
    const auto inDialog = [&](int command) {
        return [this, command] {
            QStringList problems;
            EXPECT_TRUE(WithModalDialog([&] { Frame().RunCommand(command); },
                                        [&](QDialog* dialog) { problems = AuditWindow(dialog); }))
                << command;
            return problems;
        };
    };
    const auto shown = [](QWidget* dialog) {
        dialog->show();
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
        return AuditWindow(dialog);
    };
    // A wave type's controls: one checkable node each, and no second node for its indicator.
    const auto waveTypeNodes = [&] {
        QString nodes;
        QAccessibleInterface* group = Accessible(FindControl(panel, 1004));
        for (int i = 0; i < group->childCount(); ++i) {
            const QAccessibleInterface* node = group->child(i);
            nodes += node->role() == QAccessible::RadioButton ? 'r'
                     : !node->state().checkable               ? '-'
                     : node->state().checked                  ? '1'
                                                              : '0';
        }
        return nodes;
    };
    const struct {
        const char* what;
        std::uint16_t waveType;
        std::function<QStringList()> audit;
        QString viewDescription;
        const char* waveTypes;  // per wave type control: '1' checked, '0' not, '-' not checkable, 'r' a radio
    } rows[] = {
        {"main window, sine", kWaveSine, [&] { return AuditWindow(&Frame()); }, "CH1, Sine, 1 kHz, 2 periods",
         "100000"},
        {"main window, noise (no frequency)", kWaveNoise, [&] { return AuditWindow(&Frame()); }, "CH1, Noise",
         "000010"},
        {"main window, arbitrary page", kWaveArbitrary, [&] { return AuditWindow(&Frame()); },
         QString("CH1, arbitrary, points 0 to %1 of %2, -10 V to 10 V").arg(points - 1).arg(points), "000001"},
        {"menus, sine", kWaveSine, [&] { return AuditMenus(Frame().menuBar()); }, "", "100000"},
        {"menus, arbitrary", kWaveArbitrary, [&] { return AuditMenus(Frame().menuBar()); }, "", "000001"},
        {"About", kWaveSine, inDialog(kCmdAbout), "", "100000"},
        {"Connect", kWaveSine, inDialog(kCmdConnect), "", "100000"},
        {"Colour", kWaveSine, inDialog(kCmdColourCh2), "", "100000"},
        {"Edit Points", kWaveArbitrary, inDialog(kCmdEditPoints), "", "000001"},
        {"Formula", kWaveArbitrary, inDialog(kCmdFormula), "", "000001"},
        {"arbitrary list", kWaveArbitrary,
         [&] {
             CDlgArbitraryControl list(ListArbitraryControls(1000).value_or(std::vector<ArbitraryControl>{}), &Frame());
             return shown(&list);
         },
         "", "000001"},
        {"calibration", kWaveSine,
         [&] {
             CalibrationChoices choices;
             CDlgCalibrate calibration(Settings(), choices, ProgramFolder(), &Frame());
             return shown(&calibration);
         },
         "", "100000"},
    };
    for (const auto& row : rows) {
        chooseWaveType(row.waveType);
        EXPECT_EQ(row.audit().join('\n').toStdString(), "") << row.what;
        if (!row.viewDescription.isEmpty()) {
            EXPECT_EQ(Accessible(&View(Frame()))->text(QAccessible::Description), row.viewDescription) << row.what;
        }
        EXPECT_EQ(waveTypeNodes(), row.waveTypes) << row.what;
        Frame().activateWindow();
    }

    // The output switch: its state, and which output it switches.
    auto* output = FindControl<QPushButton>(panel, 1001);
    for (const std::uint16_t channel : {1, 0}) {
        FindControl<QAbstractButton>(panel, 1002 + channel)->click();
        for (int click = 0; click < 2; ++click) {
            const QAccessible::State state = Accessible(output)->state();
            const bool on = Settings().Record(channel).outputState == 1;
            EXPECT_TRUE(state.checkable && state.checked == on) << channel << " " << click;
            EXPECT_EQ(Accessible(output)->text(QAccessible::Name), on ? "ON" : "OFF");
            EXPECT_EQ(Accessible(output)->text(QAccessible::Description), QString("Output of CH%1").arg(channel + 1));
            output->click();
        }
    }

    // The colour bar says its colour, and how to change it.
    Settings().ModifyRecord(1, [](ChannelRecord& r) { r.traceColour = 0x80FF80; });  // COLORREF: blue 128
    EXPECT_TRUE(WithModalDialog([&] { Frame().RunCommand(kCmdColourCh2); },
                                [](QDialog* dialog) {
                                    QAccessibleInterface* bar = Accessible(dialog->findChild<CColorButton*>());
                                    EXPECT_EQ(bar->text(QAccessible::Name), "CH2 colour: RGB 128, 255, 128");
                                    EXPECT_FALSE(bar->text(QAccessible::Description).isEmpty());
                                }));
}

// A language of its own keys, given as menu texts with "#": the two load
// commands share Ctrl+L.
const char kOwnKeys[] = "[App]\n8888=Keys\n80000=Load Data#Ctrl+L\n80001=Load Setup#Ctrl+L\n";

TEST_F(MainFrame, KeyboardReachesMenusToolbarAndPane) {
    StartFrame({{"keys.lug", kOwnKeys}});
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));

    // F6 walks the regions: toolbar, control pane, waveform view, and round
    // again, wherever it starts.
    const auto regionOfFocus = [&]() -> QString {
        QWidget* focus = QApplication::focusWidget();
        if (focus && Frame().MainToolBar()->isAncestorOf(focus)) return "toolbar";
        if (focus && Frame().ControlPane()->isAncestorOf(focus)) return "pane";
        if (focus == Frame().View().Widget()) return "view";
        return "elsewhere";
    };
    QStringList visited;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(&Frame(), Qt::Key_F6);
        visited << regionOfFocus();
    }
    const QStringList cycle = {"toolbar", "pane", "view", "toolbar", "pane", "view"};
    EXPECT_TRUE(visited == cycle.mid(0, 4) || visited == cycle.mid(1, 4) || visited == cycle.mid(2, 4))
        << visited.join(", ").toStdString();
    // Shift+F6 walks them back.
    QStringList back;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(&Frame(), Qt::Key_F6, Qt::ShiftModifier);
        back << regionOfFocus();
    }
    QStringList expectedBack = visited.mid(0, 3);
    std::reverse(expectedBack.begin(), expectedBack.end());
    EXPECT_EQ(back, expectedBack);

    // Focus marks: the view's frame, and a focused toolbar button unlike a checked one.
    CZorbelView& view = View(Frame());
    const auto edgeColour = [&] { return view.grab().toImage().pixelColor(1, view.height() / 2); };
    const QColor highlight = view.palette().color(QPalette::Highlight);
    view.setFocus(Qt::ShortcutFocusReason);
    EXPECT_EQ(edgeColour(), highlight);
    QWidget* dots = Frame().MainToolBar()->widgetForAction(Frame().Action(kCmdDots));
    ASSERT_FALSE(Frame().Action(kCmdDots)->isChecked());
    const QImage plainDots = dots->grab().toImage();
    dots->setFocus(Qt::TabFocusReason);
    EXPECT_NE(edgeColour(), highlight);
    const QImage focusedDots = dots->grab().toImage();
    Frame().RunCommand(kCmdDots);
    view.setFocus(Qt::ShortcutFocusReason);
    const QImage checkedDots = dots->grab().toImage();
    EXPECT_NE(focusedDots, plainDots);
    EXPECT_NE(focusedDots, checkedDots);
    Frame().RunCommand(kCmdVectors);

    // The arrows move round each choice group of the pane, choose as they
    // go, and never leave it; the view's description follows the choice.
    QWidget* panel = Frame().Panel().Widget();
    const struct {
        const char* what;
        QList<int> ids;  // in their order
        int start;       // the checked one
    } groups[] = {
        {"channels", {1002, 1003}, 1002},
        {"wave types", {1006, 1008, 1010, 1012, 1014, 1016}, 1006},
        {"units", {1059, 1060, 1061}, 1060},
    };
    for (const auto& group : groups) {
        FindControl(panel, group.start)->setFocus(Qt::TabFocusReason);
        const int from = static_cast<int>(group.ids.indexOf(group.start));
        for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Up}) {
            const int step = key == Qt::Key_Right || key == Qt::Key_Down ? 1 : -1;
            for (int i = 1; i <= group.ids.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), key);
                const int expected =
                    group.ids[((from + step * i) % group.ids.size() + group.ids.size()) % group.ids.size()];
                auto* focus = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
                ASSERT_NE(focus, nullptr) << group.what;
                EXPECT_EQ(ControlId(focus), expected) << group.what << " " << key << " " << i;
                EXPECT_TRUE(focus->isChecked()) << group.what << " " << key << " " << i;
            }
        }
        if (group.start == 1006) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);  // Square
            EXPECT_TRUE(WaitFor([&] { return view.accessibleDescription() == "CH1, Square, 1 kHz, 2 periods"; }))
                << view.accessibleDescription().toStdString();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
        }
    }
    EXPECT_EQ(Settings().CurrentChannel(), 0);
    EXPECT_EQ(Settings().Record(0).waveType, kWaveSine);

    // Ctrl+O, Ctrl+S and Ctrl+Shift+S open what fits the mode, in the
    // built-in language and in one that gives the load commands its own key.
    QStringList asked;
    SetFileChooser([&](const FileDialogRequest& request) {
        asked << request.title;
        return QString();
    });
    const struct {
        std::uint16_t waveType;
        Qt::KeyboardModifiers modifiers;
        Qt::Key key;
        const char* title;  // nothing opened: ""
    } files[] = {
        {kWaveSine, Qt::ControlModifier, Qt::Key_O, "Load Setup"},
        {kWaveSine, Qt::ControlModifier, Qt::Key_S, "Save Setup"},
        {kWaveSine, Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_S, ""},
        {kWaveArbitrary, Qt::ControlModifier, Qt::Key_O, "Load arb data"},
        {kWaveArbitrary, Qt::ControlModifier, Qt::Key_S, "Save arb data"},
        {kWaveArbitrary, Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_S, "Export arb data"},
        {kWaveSine, Qt::ControlModifier, Qt::Key_L, ""},
    };
    const auto press = [&](std::uint16_t waveType, Qt::KeyboardModifiers modifiers, Qt::Key key) {
        Settings().SetWaveType(0, waveType);
        Frame().UpdateCommandStates();  // as the frame's timer would
        asked.clear();
        QTest::keyClick(&Frame(), key, modifiers);
        return asked.join('|');
    };
    for (const auto& f : files) EXPECT_EQ(press(f.waveType, f.modifiers, f.key), f.title) << f.title;
    EXPECT_EQ(Frame().Action(kCmdLoadSetup)->shortcut().toString(), "Ctrl+O");
    EXPECT_TRUE(Frame().Action(kCmdLoadData)->shortcut().isEmpty());  // the menu shows it beside Load Setup only

    Frame().Action(kCmdFirstLanguage)->trigger();
    EXPECT_EQ(press(kWaveSine, Qt::ControlModifier, Qt::Key_L), "Load Setup");
    EXPECT_EQ(AuditMenus(Frame().menuBar()).join('\n').toStdString(), "");
    EXPECT_EQ(press(kWaveArbitrary, Qt::ControlModifier, Qt::Key_L), "Load arb data");
    EXPECT_EQ(AuditMenus(Frame().menuBar()).join('\n').toStdString(), "");
    EXPECT_EQ(press(kWaveArbitrary, Qt::ControlModifier, Qt::Key_O), "");
    Settings().SetWaveType(0, kWaveSine);
    Frame().UpdateCommandStates();

    // Alt and a menu's mnemonic open it; its entries are then a key press away.
    QTest::keyClick(&Frame(), Qt::Key_I, Qt::AltModifier);
    auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->title(), "&Initial");
    QTest::keyClick(open, Qt::Key_D);  // "&Demo"
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(MainFrame, FileEditAndZoomCommandsFollowTheWaveTypeAndTheViewWindow) {
    StartFrame();
    const int commands[] = {kCmdLoadData,          kCmdLoadSetup,      kCmdSaveData,       kCmdSaveSetup,
                            kCmdImportData,        kCmdExportData,     kCmdEditPoints,     kCmdHorizontalZoomIn,
                            kCmdHorizontalZoomOut, kCmdHorizontalMove, kCmdVerticalZoomIn, kCmdVerticalZoomOut,
                            kCmdVerticalMove};
    const std::uint32_t points = Settings().Record(0).arbitraryPointCount;
    ASSERT_GT(points, 100u);
    struct Window {
        std::uint32_t first, last;
        double lower, upper;
    };
    const Window whole{0, points - 1, -10.0, 10.0};  // every point, the full +-10 V of 20 Vpp
    const struct {
        const char* what;
        std::uint16_t waveType;
        Window window;
        ZoomTool bitsBefore;
        // Per command above: enabled, then checked ('1'/'0').
        const char* enabled;
        const char* checked;
        ZoomTool bitsAfter;
    } rows[] = {
        {"sine", kWaveSine, whole, ZoomTool::None, "0101000000000", "0000000000000", ZoomTool::None},
        {"sine keeps a tool bit", kWaveSine, whole, ZoomTool::HorizontalIn, "0101000000000", "0000000000000",
         ZoomTool::HorizontalIn},
        {"arbitrary, all visible", kWaveArbitrary, whole, ZoomTool::None, "1010111100100", "0000000000000",
         ZoomTool::None},
        {"arbitrary, zoomed",
         kWaveArbitrary,
         {10, 100, -5.0, 5.0},
         ZoomTool::HorizontalIn | ZoomTool::VerticalIn,
         "1010111111111",
         "0000000100100",
         ZoomTool::HorizontalIn | ZoomTool::VerticalIn},
        {"13 points visible",
         kWaveArbitrary,
         {0, 12, -5.0, 5.0},
         ZoomTool::HorizontalIn,
         "1010111011111",
         "0000000000000",
         ZoomTool::None},
        {"move with all visible", kWaveArbitrary, whole, ZoomTool::HorizontalMove, "1010111100100", "0000000000000",
         ZoomTool::None},
        {"vertical zoom out at full range",
         kWaveArbitrary,
         {10, 100, -10.0, 10.0},
         ZoomTool::VerticalOut,
         "1010111111100",
         "0000000000000",
         ZoomTool::None},
    };
    for (const auto& row : rows) {
        Settings().SetWaveType(0, row.waveType);
        Settings().ModifyRecord(0, [&](ChannelRecord& r) {
            r.arbitraryViewFirst = row.window.first;
            r.arbitraryViewLast = row.window.last;
            r.arbitraryViewLower = row.window.lower;
            r.arbitraryViewUpper = row.window.upper;
            r.zoomToolBits = row.bitsBefore;
        });
        Frame().UpdateCommandStates();
        QString enabled, checked;
        for (const int c : commands) {
            enabled += Frame().Action(c)->isEnabled() ? '1' : '0';
            checked += Frame().Action(c)->isChecked() ? '1' : '0';
        }
        EXPECT_EQ(enabled, row.enabled) << row.what;
        EXPECT_EQ(checked, row.checked) << row.what;
        EXPECT_EQ(Settings().Record(0).zoomToolBits, row.bitsAfter) << row.what;
    }
}

TEST_F(MainFrame, FileCommandsShowTheDocumentsMessagesAndRefresh) {
    StartFrame();
    const QString folder = ProgramFolder();
    // 20 values, the first beyond the point limit: two remarks on an import that succeeds.
    QString table = "50\n";
    for (int i = 1; i < 20; ++i) table += QString::number(i * 0.25) + '\n';
    WriteLanguageFile(folder + "/remarks.csv", table);
    const struct {
        const char* what;
        std::uint16_t waveType;
        int command;
        QString file;  // "" = the dialog was cancelled
        QStringList messages;
        bool refreshed;
    } rows[] = {
        {"setup as .txt",
         kWaveSine,
         kCmdLoadSetup,
         folder + "/a.txt",
         {"File is not *.set", "Failure: Load Setup"},
         false},
        {"save setup", kWaveSine, kCmdSaveSetup, folder + "/a.set", {"Success: Save Setup"}, false},
        {"load setup", kWaveSine, kCmdLoadSetup, folder + "/a.set", {"Success: Load Setup"}, true},
        {"cancelled", kWaveSine, kCmdLoadSetup, "", {}, false},
        {"data while sine", kWaveSine, kCmdLoadData, folder + "/w.arb", {}, false},  // disabled
        {"save data", kWaveArbitrary, kCmdSaveData, folder + "/w.ARB", {"Success: Save arb data"}, false},
        {"data as .qwf",
         kWaveArbitrary,
         kCmdLoadData,
         folder + "/w.qwf",
         {"File is not *.arb", "Failure: Load arb data"},
         false},
        {"load data", kWaveArbitrary, kCmdLoadData, folder + "/w.ARB", {"Success: Load arb data"}, true},
        {"export", kWaveArbitrary, kCmdExportData, folder + "/w.qwf", {"Success: Export arb data"}, false},
        {"import missing",
         kWaveArbitrary,
         kCmdImportData,
         folder + "/none.qwf",
         {"Cann't Load file: No such file or directory", "Failure: Import data"},
         false},
        {"import", kWaveArbitrary, kCmdImportData, folder + "/w.qwf", {"Success: Import data"}, true},
        {"import with remarks: one box, success first",
         kWaveArbitrary,
         kCmdImportData,
         folder + "/remarks.csv",
         {"Success: Import data\n\nThe point count 20 was rounded down to 16, a multiple of 16.\n"
          "1 sample beyond the point limit clamped to 10 V either way."},
         true},
    };
    for (const auto& row : rows) {
        Settings().SetWaveType(0, row.waveType);
        Frame().UpdateCommandStates();
        messages_.clear();
        chosenFile_ = row.file;
        View(Frame()).TakeRequestedMask();
        const int refreshes = Panel(Frame()).RefreshCount();
        Frame().RunCommand(row.command);
        EXPECT_EQ(messages_, row.messages) << row.what;
        EXPECT_EQ(Panel(Frame()).RefreshCount() - refreshes, row.refreshed ? 1 : 0) << row.what;
        EXPECT_EQ(View(Frame()).TakeRequestedMask(), row.refreshed ? RefreshMask::Everything : RefreshMask::None)
            << row.what;
    }
    EXPECT_TRUE(QFile::exists(folder + "/a.set"));
}

std::uint32_t U32(const QByteArray& bytes, int at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

TEST_F(MainFrame, SaveImageTellsSuccessOnlyOnceTheViewsPictureIsWritten) {
    StartFrame();
    const QString folder = ProgramFolder();
    QDir(folder).mkdir("taken.bmp");
    const QSize view = View(Frame()).size();
    // The display thread draws the picture at the view's size soon after the window shows.
    ASSERT_TRUE(WaitFor([&] { return View(Frame()).CompositeImage().size() == view; }));
    const struct {
        const char* what;
        QString file;
        QStringList messages;
    } rows[] = {
        {"a .jpg name", folder + "/view.jpg", {"Success: Save Image"}},
        {"a folder in the way", folder + "/taken.bmp", {"Cann't save file: Is a directory"}},
        {"cancelled", "", {}},
    };
    for (const auto& row : rows) {
        messages_.clear();
        chosenFile_ = row.file;
        Frame().RunCommand(kCmdSaveImage);
        EXPECT_EQ(messages_, row.messages) << row.what;
    }
    QFile image(folder + "/view.jpg");
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    const QByteArray bytes = image.readAll();
    ASSERT_GE(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), "BM");
    EXPECT_EQ(U32(bytes, 2), static_cast<std::uint32_t>(bytes.size()));
    EXPECT_EQ(U32(bytes, 18), static_cast<std::uint32_t>(view.width()));
    EXPECT_EQ(U32(bytes, 22), static_cast<std::uint32_t>(view.height()));
}

// A mouse event as the window system delivers it, buttons held included.
void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

TEST_F(MainFrame, DrawZoomAndUndoWithTheMouseAndTheKeysWhileTheStatusBarReadsThePoint) {
    StartFrame();
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    CZorbelView& view = View(Frame());
    view.setFocus();
    Settings().SetWaveType(0, kWaveArbitrary);
    Frame().RunCommand(kCmdVectors);  // any command: the frame takes the new wave type
    const GridRect g = view.Grid();
    ASSERT_FALSE(g.Empty());
    const auto points = [&] { return Settings().Record(0).arbitrarySamples; };
    const auto window = [&] { return WindowOf(Settings().Record(0)); };
    const std::vector<double> before = points();
    const ArbitraryWindow whole = window();
    const auto keys = [&](Qt::KeyboardModifiers modifiers) {
        Frame().UpdateCommandStates();  // as the frame's timer would
        QTest::keyClick(&Frame(), Qt::Key_Z, modifiers);
    };

    // Hovering reads the point, locale-independently.
    const QPoint from(g.left + g.Width() / 5, g.top + g.Height() / 4);
    SendMouse(&view, QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
    const double volts = view.VoltageAtY(from.y());
    EXPECT_EQ(Frame().statusBar()->currentMessage(),
              QString("Point %1  %2 V").arg(view.IndexAtX(from.x())).arg(volts, 0, 'f', 4));

    // A drag with no tool draws a level line over the points it crosses, one step.
    const QPoint to(g.left + 3 * g.Width() / 5, from.y());
    SendMouse(&view, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    SendMouse(&view, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    SendMouse(&view, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    const std::vector<double> drawn = points();
    const std::uint32_t first = view.IndexAtX(from.x()), last = view.IndexAtX(to.x());
    ASSERT_LT(first + 100, last);
    for (std::uint32_t i = 0; i < drawn.size(); ++i)
        ASSERT_EQ(drawn[i], i >= first && i <= last ? volts : before[i]) << "point " << i;

    keys(Qt::ControlModifier);
    EXPECT_EQ(points(), before);
    keys(Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(points(), drawn);

    // Horizontal and vertical zoom in: a rubber band, then a double click inside it.
    Frame().RunCommand(kCmdHorizontalZoomIn);
    Frame().RunCommand(kCmdVerticalZoomIn);
    const QPoint corner(g.left + g.Width() / 2, g.top + g.Height() / 2);
    const ArbitraryWindow zoomed{view.IndexAtX(from.x()), view.IndexAtX(corner.x()), view.VoltageAtY(corner.y()),
                                 view.VoltageAtY(from.y())};
    SendMouse(&view, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    SendMouse(&view, QEvent::MouseMove, corner, Qt::NoButton, Qt::LeftButton);
    SendMouse(&view, QEvent::MouseMove, corner + QPoint(1, 1), Qt::NoButton,
              Qt::LeftButton);  // the band ends at the last point
    SendMouse(&view, QEvent::MouseButtonRelease, corner, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(window(), whole) << "only the double click zooms";
    const QPoint inside = (from + corner) / 2;
    SendMouse(&view, QEvent::MouseButtonPress, inside, Qt::LeftButton, Qt::LeftButton);
    SendMouse(&view, QEvent::MouseButtonRelease, inside, Qt::LeftButton, Qt::NoButton);
    SendMouse(&view, QEvent::MouseButtonDblClick, inside, Qt::LeftButton, Qt::LeftButton);
    SendMouse(&view, QEvent::MouseButtonRelease, inside, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(window(), zoomed);
    EXPECT_EQ(points(), drawn);

    // A right click puts the tools away; Ctrl+Z takes the zoom back, and once more the line.
    SendMouse(&view, QEvent::MouseButtonPress, inside, Qt::RightButton, Qt::RightButton);
    SendMouse(&view, QEvent::MouseButtonRelease, inside, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(Settings().Record(0).zoomToolBits, ZoomTool::None);
    keys(Qt::ControlModifier);
    EXPECT_EQ(window(), whole);
    keys(Qt::ControlModifier);
    EXPECT_EQ(points(), before);

    // The readout goes with the mouse, and with the arbitrary wave type.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&view, &leave);
    EXPECT_EQ(Frame().statusBar()->currentMessage(), "");
    SendMouse(&view, QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(Frame().statusBar()->currentMessage().isEmpty());
    Settings().SetWaveType(0, kWaveSine);
    Frame().UpdateStatus();
    EXPECT_EQ(Frame().statusBar()->currentMessage(), "");
    SendMouse(&view, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    SendMouse(&view, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    SendMouse(&view, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(points(), before) << "no drawing on a sine";
}

// Answers the Connect dialog once it is up: LAN with `address`, then OK or Cancel.
void AnswerConnect(const QString& address, bool ok) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<CDlgConnect*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->LanButton()->click();
        dialog->AddressField()->setText(address);
        ok ? dialog->accept() : dialog->reject();
    });
}

TEST_F(MainFrame, ConnectStoresTypeAndAddressOnOkOnly) {
    StartFrame();
    const std::uint32_t address = Settings().LanAddress();
    AnswerConnect("127.0.0.77", false);
    Frame().RunCommand(kCmdConnect);
    EXPECT_EQ(Settings().ConnectionType(), kConnectionUsb);
    EXPECT_EQ(Settings().LanAddress(), address);
    AnswerConnect("127.0.0.77", true);
    Frame().RunCommand(kCmdConnect);
    EXPECT_EQ(Settings().ConnectionType(), kConnectionLan);
    EXPECT_EQ(Settings().LanAddress(), 0x7F00004Du);
}

TEST_F(MainFrame, StatusFieldsTellScreenReadersWhatTheyShow) {
    StartFrame();
    using End = DeviceSettings::CalibrationEnd;
    const char* const fields[] = {kLinkFieldName, kStateFieldName, kOutcomeFieldName};
    const struct {
        const char* what;
        std::function<void()> act;
        QStringList names;  // per field above
    } rows[] = {
        {"at start", [] {}, {"Instrument link: USB", "Session state: Demo: nothing is sent", "Last job: No job yet"}},
        {"LAN chosen",
         [&] { Settings().SetConnection(kConnectionLan, 0x7F00004D); },
         {"Instrument link: LAN 127.0.0.77", "Session state: Demo: nothing is sent", "Last job: No job yet"}},
        {"a calibration stopped short (the text names its field)",
         [&] {
             Settings().SetJobFlag(Job::Calibration);
             Settings().EndCalibrationJob(End::StoppedShort);
         },
         {"Instrument link: LAN 127.0.0.77", "Session state: Demo: nothing is sent",
          "Last job failed: the calibration stopped before its end"}},
    };
    for (const auto& row : rows) {
        row.act();
        Frame().UpdateStatus();
        for (int i = 0; i < 3; ++i) {
            auto* field = Frame().statusBar()->findChild<QLabel*>(fields[i]);
            ASSERT_NE(field, nullptr) << fields[i];
            EXPECT_EQ(AccessibleName(field), row.names[i]) << row.what;
            EXPECT_EQ(field->focusPolicy(), Qt::NoFocus) << fields[i];  // read by the reader's own command
        }
    }
}

// The session against the generator simulator on its virtual USB device,
// which the link uses before any Connect.
class MainFrameOnline : public FrameTest {
protected:
    void SetUp() override {
        std::string error;
        sim_ = Gensim::Start({true, true, extraArgs_}, &error);
        ASSERT_NE(sim_, nullptr) << error;
        setenv("QRV_USB_DEVICE", sim_->UsbDevice().c_str(), 1);
    }
    void TearDown() override {
        FrameTest::TearDown();
        unsetenv("QRV_USB_DEVICE");
    }
    QString StatusField(const char* name) {
        const QLabel* field = Frame().statusBar()->findChild<QLabel*>(name);
        return field ? field->text() : "<none>";
    }
    bool JobDone() { return Settings().JobFlags() == Job::None && Settings().IsIdle(); }

    std::vector<std::string> extraArgs_;
    std::unique_ptr<Gensim> sim_;
};

TEST_F(MainFrameOnline, WriteAndReadOperationReachTheInstrument) {
    StartFrame();
    UdpClient lan(sim_->LanAddress());
    EXPECT_EQ(StatusField("Instrument link"), "USB");
    EXPECT_EQ(StatusField("Last job"), "No job yet");

    Settings().SetParameter(0, Parameter::Frequency, 1234.5);  // demo: stored, not sent
    const int refreshes = Panel(Frame()).RefreshCount();
    Frame().Action(kCmdWriteOperation)->trigger();
    ASSERT_TRUE(WaitFor([&] { return JobDone() && Panel(Frame()).RefreshCount() > refreshes; }));
    EXPECT_EQ(lan.Ask("SOURce1:FREQuency?"), "1234.5");
    EXPECT_FALSE(Frame().Action(kCmdDemo)->isChecked());

    ASSERT_TRUE(lan.Ask("SOURce1:FREQuency 2500"));
    Frame().Action(kCmdReadOperation)->trigger();
    ASSERT_TRUE(WaitFor([&] { return JobDone() && Settings().Record(0).Value(Parameter::Frequency) == 2500.0; }));
    EXPECT_NE(Settings().CopyLimits(0), LimitsBlock::BuiltIn());  // the simulator's own ranges
    Frame().UpdateStatus();
    EXPECT_EQ(StatusField("Session state"), "Online");
    EXPECT_EQ(StatusField("Last job"), "Last job succeeded");

    // The instrument goes away: the next idle poll finds nothing.
    sim_->Process().Stop();
    ASSERT_TRUE(WaitFor([&] { return Settings().DemoFlag() != 0; }));
    Frame().UpdateStatus();
    // Losing the instrument is no job: the last job's outcome stays, the
    // session says what happened (the user did not choose demo mode).
    EXPECT_EQ(StatusField("Session state"), "Offline: instrument lost");
    EXPECT_EQ(StatusField("Last job"), "Last job succeeded");
    Frame().UpdateCommandStates();
    EXPECT_TRUE(Frame().Action(kCmdDemo)->isChecked());
    EXPECT_FALSE(Frame().Action(kCmdSweep)->isEnabled());

    // It comes back: said, nothing written to it, and F5 reads it again.
    Settings().SetParameter(0, Parameter::Frequency, 777);
    std::string error;
    ASSERT_TRUE(sim_->Restart(&error)) << error;
    ASSERT_TRUE(WaitFor([&] { return Settings().InstrumentBack(); }));
    Frame().UpdateStatus();
    EXPECT_EQ(StatusField("Session state"), "Instrument back: Read Operation to resume (F5)");
    UdpClient back(sim_->LanAddress());
    EXPECT_NE(back.Ask("SOURce1:FREQuency?"), "777");
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    Frame().View().Widget()->setFocus();
    QTest::keyClick(&Frame(), Qt::Key_F5);
    ASSERT_TRUE(WaitFor([&] { return JobDone() && Settings().DemoFlag() == 0; }))
        << Settings().DemoFlag() << " " << Settings().InstrumentBack() << " " << Settings().LastJobRefused();
    Frame().UpdateStatus();
    EXPECT_EQ(StatusField("Session state"), "Online");

    // Utility > Sweep..., online now: the status bar follows the steps.
    Frame().UpdateCommandStates();
    ASSERT_TRUE(Frame().Action(kCmdSweep)->isEnabled());
    Frame().RunCommand(kCmdSweep);
    auto* dialog = Frame().findChild<CDlgSweep*>();
    ASSERT_NE(dialog, nullptr);
    dialog->SetForm({Parameter::Frequency, "1000", "3000", false, false, "3", "0,05", "1", false});
    ASSERT_TRUE(dialog->StartSweep()) << dialog->Message().toStdString();
    ASSERT_TRUE(WaitFor([&] {
        Frame().UpdateStatus();
        return StatusField("Session state").startsWith("Sweep CH1: 2 kHz, step 2 of 3");
    }));
    ASSERT_TRUE(WaitFor([&] { return JobDone(); }));
    EXPECT_EQ(back.Ask("SOURce1:FREQuency?"), "3000");
    Frame().UpdateStatus();
    EXPECT_EQ(StatusField("Session state"), "Online");
}

// A new user's trial against the simulator, as it went wrong before: a
// decimal comma typed, text put into a field by an assistive tool, a table
// imported into a channel with divider 11, and a language that lacks items
// switched to and away from.
TEST_F(MainFrameOnline, ANewUsersTrialReachesTheInstrumentAsMeant) {
    StartFrame({{"deutsch.lug", kPartialGerman}});
    UdpClient lan(sim_->LanAddress());
    Frame().Action(kCmdWriteOperation)->trigger();
    ASSERT_TRUE(WaitFor([&] { return JobDone(); }));
    QWidget* panel = Frame().Panel().Widget();
    const auto field = [&](const char* name) -> QLineEdit* {
        for (QLineEdit* edit : panel->findChildren<QLineEdit*>())
            if (edit->isVisible() && AccessibleName(edit) == name) return edit;
        return nullptr;
    };
    QLineEdit* amplitude = field("Amplitude:");
    ASSERT_NE(amplitude, nullptr);

    // A comma is the decimal point: 0,5 V is 0.5 V on the instrument, not 5 V.
    amplitude->setFocus();
    QTest::keyClick(amplitude, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(amplitude, "0,5");
    QTest::keyClick(amplitude, Qt::Key_Return);
    EXPECT_TRUE(WaitFor([&] { return lan.Ask("SOURce1:VOLTage?") == std::optional<std::string>("0.5"); }));

    // Text that arrives without keystrokes and is no number changes nothing.
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(amplitude);
    ASSERT_NE(access, nullptr);
    ASSERT_NE(access->editableTextInterface(), nullptr);
    access->editableTextInterface()->replaceText(0, static_cast<int>(amplitude->text().size()), "abc");
    QTest::keyClick(amplitude, Qt::Key_Return);
    EXPECT_EQ(amplitude->text(), "0.500");
    EXPECT_EQ(Settings().Record(0).Value(Parameter::Amplitude), 0.5);
    EXPECT_EQ(lan.Ask("SOURce1:VOLTage?"), std::optional<std::string>("0.5"));
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();

    // 992 values imported at divider 11: the channel plays the sample clock
    // over the points, and that is what it says and exports.
    QString table;
    for (int i = 0; i < 992; ++i) table += i % 2 ? "0.5\n" : "-0.5\n";
    WriteLanguageFile(ProgramFolder() + "/wave.csv", table);
    Settings().SetWaveType(0, kWaveArbitrary);
    Settings().SetArbitraryDivider(0, 11);
    Frame().UpdateCommandStates();
    chosenFile_ = ProgramFolder() + "/wave.csv";
    Frame().RunCommand(kCmdImportData);
    const double played = 250e6 / (4 * 11) / 992;
    EXPECT_NEAR(Settings().Record(0).arbitraryFrequency, played, 1e-6);
    chosenFile_ = ProgramFolder() + "/wave.qwf";
    Frame().RunCommand(kCmdExportData);
    QFile exported(chosenFile_);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_TRUE(exported.readAll().contains("#Freq=" + QByteArray::number(played, 'f', 6)));

    // Deutsch, then back: every text is English again, none is left German.
    QAction* deutsch = nullptr;
    for (QAction* action : Frame().LanguageMenu()->actions())
        if (action->text() == "Deutsch") deutsch = action;
    ASSERT_NE(deutsch, nullptr);
    deutsch->trigger();
    EXPECT_EQ(Frame().Action(kCmdReadOperation)->text(), "&Lesen");
    Frame().Action(kCmdDefaultLanguage)->trigger();
    EXPECT_EQ(Frame().Action(kCmdReadOperation)->text(), "&Read Operation");
    EXPECT_EQ(Frame().ControlPane()->windowTitle(), "Control Bar");
    EXPECT_EQ(Frame().Action(kCmdLoadData)->toolTip(), "Load Data");
}

TEST_F(MainFrameOnline, AReadAfterConnectingToLanGoesOverTheNetwork) {
    StartFrame();
    setenv("QRV_USB_DEVICE", "unix:/nonexistent/zorbel-usb", 1);  // USB would find nothing now
    UdpClient lan(sim_->LanAddress());
    ASSERT_TRUE(lan.Ask("SOURce2:FREQuency 4321"));
    AnswerConnect(QString::fromStdString(sim_->LanAddress()), true);
    Frame().RunCommand(kCmdConnect);
    Frame().Action(kCmdReadOperation)->trigger();
    ASSERT_TRUE(WaitFor([&] { return JobDone() && Settings().Record(1).Value(Parameter::Frequency) == 4321.0; }));
    Frame().UpdateStatus();
    EXPECT_EQ(StatusField("Instrument link"), QString::fromStdString("LAN " + sim_->LanAddress()));
    EXPECT_EQ(StatusField("Session state"), "Online");
}

TEST_F(MainFrameOnline, ClosingWhileTheWorkerWaitsForThePanelDoesNotHang) {
    StartFrame();
    const int refreshes = Panel(Frame()).RefreshCount();
    Frame().Action(kCmdWriteOperation)->trigger();
    // No events are processed now: at the end of the batch the worker sends
    // UpdatePanel and waits for this thread.
    QElapsedTimer timer;
    timer.start();
    while (Settings().JobFlags() != Job::None && timer.elapsed() < 10000) QThread::msleep(5);
    ASSERT_EQ(Settings().JobFlags(), Job::None);
    QThread::msleep(100);
    timer.restart();
    Frame().close();
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(Frame().Session().Pump().Running());
    QApplication::processEvents();  // the notice still queued is dropped, not served
    EXPECT_EQ(Panel(Frame()).RefreshCount(), refreshes);
}

class MainFrameSlowInstrument : public MainFrameOnline {
protected:
    void SetUp() override {
        extraArgs_ = {"--delay", "40"};
        MainFrameOnline::SetUp();
    }
};

TEST_F(MainFrameSlowInstrument, ClosingDuringAJobEndsItsStepAndReturns) {
    StartFrame();
    Frame().Action(kCmdWriteOperation)->trigger();
    // Somewhere inside the batches (each exchange takes 40 ms).
    ASSERT_TRUE(WaitFor([&] { return Settings().PendingCommands().size() > 0; }));
    QThread::msleep(120);
    QElapsedTimer timer;
    timer.start();
    Frame().close();
    EXPECT_FALSE(Frame().isVisible());
    EXPECT_FALSE(Frame().Session().Pump().Running());
    // At most the rest of one batch: 27 exchanges of 40 ms.
    EXPECT_LT(timer.elapsed(), 3000);
}

}  // namespace
}  // namespace zorbel::test
