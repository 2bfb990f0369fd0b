// The command table: every command of the menus and the toolbar in one row,
// in menu order, with the built-in English captions the menus show when no
// kSwitchLanguage item replaces them.
#include "menu_template.h"

#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include <map>
#include <string>

#include "language_table.h"
#include "main_frame.h"

namespace zorbel {
namespace {

// Language menu items whose check mark follows the current kSwitchLanguage.
constexpr int kCmdLastCheckedLanguage = 9101;

// A row: where the command stands, its caption, what it does and when it is
// enabled and checked.
CommandRow Row(int id, const char* menu, const char* caption, CommandKind kind, CommandHandler run, CommandRule state) {
    return {.id = id, .menu = menu, .caption = caption, .kind = kind, .run = run, .state = state};
}
// A row whose widget's own toggle acts.
CommandRow Own(int id, const char* menu, const char* caption, OwnAction action, CommandRule state) {
    return {.id = id,
            .menu = menu,
            .caption = caption,
            .kind = CommandKind::Checkable,
            .ownAction = action,
            .state = state};
}

template <ZoomTool Tool>
CommandRow ZoomToolRow(int id, const char* caption, IconPainter image, int place) {
    constexpr CommandHandler kChoose = [](CMainFrame& frame, int) { frame.Settings().SetZoomTool(Tool); };
    constexpr CommandRule kState = [](const CommandSnapshot& snapshot, int) { return ZoomToolState(snapshot, Tool); };
    return Row(id, "&Acquire", caption, CommandKind::Checkable, kChoose, kState).Button(image, place);
}

}  // namespace

const std::vector<TopMenu>& MainMenus() {
    // Undo and redo of the arbitrary waveform's points and window (Edit) are
    // an addition of this program, which takes no menu position.
    static const std::vector<TopMenu> kMenus = {
        {"&File"},    {"&Edit", true, static_cast<int>(Text::EditMenu)},
        {"&View"},    {"&Display"},
        {"&User"},    {"&Initial"},
        {"&Acquire"}, {"&Utility"},
        {"&Help"},
    };
    return kMenus;
}

int MenuBarPosition(int position) {
    int bar = 0;
    for (const TopMenu& top : MainMenus()) {
        if (!top.languageFree && position-- == 0) return bar;
        ++bar;
    }
    return bar;
}

BuiltMenus BuildMenuBar(QMenuBar* bar, const std::vector<CommandRow>& rows,
                        const std::function<QAction*(const CommandRow&)>& actionOf) {
    BuiltMenus built;
    std::map<std::string, QMenu*> menus;  // by path, "&Initial/Real &Time"
    for (const TopMenu& top : MainMenus()) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(top.caption));
        menu->menuAction()->setProperty(kLanguageFreeMenuProperty, top.languageFree);
        if (top.textItem != 0) menu->menuAction()->setProperty(kMenuKeyProperty, top.textItem);
        built.topLevel.push_back(menu);
        menus[top.caption] = menu;
    }
    // A submenu comes where its first entry stands.
    const auto menuAt = [&](const auto& self, const std::string& path) -> QMenu* {
        if (const auto found = menus.find(path); found != menus.end()) return found->second;
        const std::size_t slash = path.rfind('/');
        QMenu* menu = slash == std::string::npos
                          ? bar->addMenu(QString::fromStdString(path))
                          : self(self, path.substr(0, slash))->addMenu(QString::fromStdString(path.substr(slash + 1)));
        return menus[path] = menu;
    };
    for (const CommandRow& row : rows) {
        if (!row.menu) continue;
        QMenu* menu = menuAt(menuAt, row.menu);
        if (row.perLanguageFile) {
            built.languageMenu = menu;
            continue;
        }
        if (row.separatorBefore) menu->addSeparator();
        QAction* action = actionOf(row);
        menu->addAction(action);
        if (row.textItem != 0) action->setProperty(kMenuKeyProperty, row.textItem);  // a key of no position
    }
    KeyMenuEntries(bar);
    return built;
}

const std::vector<CommandRow>& CMainFrame::Commands() {
    using F = CMainFrame;
    using S = const CommandSnapshot&;
    using enum CommandKind;
    constexpr CommandHandler kFileCommand = [](F& f, int id) { f.RunFileCommand(id); };
    constexpr CommandHandler kChooseColour = [](F& f, int id) { f.ChooseColour(id); };
    constexpr CommandHandler kStartJob = [](F& f, int id) { f.StartJob(id); };
    constexpr CommandHandler kSwitchLanguage = [](F& f, int id) { f.SwitchLanguageCommand(id); };
    constexpr CommandHandler kSetLook = [](F& f, int id) { f.SetApplicationLook(id); };
    constexpr CommandRule kLookState = [](S s, int id) { return CheckedWhen(id == s.applicationLook); };
    constexpr CommandRule kLanguageFileState = [](S s, int id) {
        return CheckedWhen(id <= kCmdLastCheckedLanguage && id - kCmdFirstLanguage == s.currentLanguage);
    };
    // A stored kSwitchLanguage that is not listed any more is shown as the built-in
    // one: its texts stand in for it, and some entry must carry the mark.
    constexpr CommandRule kBuiltInLanguageState = [](S s, int) {
        return CheckedWhen(s.currentLanguage < 0 || s.currentLanguage >= s.languageCount);
    };
    // What undo and redo change is shown by the arbitrary view only.
    // Neither while a long job (formula, import, resize) is about to replace the points.
    constexpr CommandRule kUndoState = [](S s, int) {
        return CommandState{s.Arbitrary() && s.canUndo && !s.longJob, false};
    };
    constexpr CommandRule kRedoState = [](S s, int) {
        return CommandState{s.Arbitrary() && s.canRedo && !s.longJob, false};
    };
    constexpr const char* kRealTimeMenu = "&Initial/Real &Time";
    constexpr const char* kTypeMenu = "&Display/&Type";
    constexpr const char* kColourMenu = "&Display/&Color";
    constexpr const char* kLanguageMenu = "&Utility/&Language";

    // Each pair of load and save commands shares its key: the one that fits
    // the wave type holds it (the frame gives it to usable commands only).
    const QKeySequence openKeys(Qt::CTRL | Qt::Key_O);
    const QKeySequence saveKeys(Qt::CTRL | Qt::Key_S);

    static const std::vector<CommandRow> kCommands = {
        Row(kCmdLoadData, "&File", "Load Data", Plain, kFileCommand, EditsArbitrary)
            .Button(icons::LoadData, 11)
            .Keys(openKeys),
        Row(kCmdLoadSetup, "&File", "Load Setup", Plain, kFileCommand, OnlyNonArbitrary)
            .Button(icons::LoadSetup, 12)
            .Keys(openKeys),
        Row(kCmdSaveData, "&File", "Save Data", Plain, kFileCommand, OnlyArbitrary)
            .Button(icons::SaveData, 21)
            .Gap()
            .Keys(saveKeys),
        Row(kCmdSaveSetup, "&File", "Save Setup", Plain, kFileCommand, OnlyNonArbitrary)
            .Button(icons::SaveSetup, 22)
            .Keys(saveKeys),
        Row(
            kCmdSaveImage, "&File", "Save Image", Plain, [](F& f, int) { f.SaveImage(); }, AlwaysEnabled),
        Row(kCmdImportData, "&File", "Import Data", Plain, kFileCommand, EditsArbitrary).Gap(),
        Row(kCmdExportData, "&File", "Export Data As..", Plain, kFileCommand, OnlyArbitrary)
            .Keys(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)),
        Row(
            kCmdPrint, "&File", "&Print", Plain, [](F& f, int) { f.Print(); }, WaitsForLongJob)
            .Keys(QKeySequence(Qt::CTRL | Qt::Key_P))
            .Gap(),
        Row(
            kCmdPrintPreview, "&File", "Print Pre&view", Plain, [](F& f, int) { f.PrintPreview(); }, WaitsForLongJob)
            .Button(icons::PrintPreview, 62),
        Row(
            kCmdConnect, "&File", "&Connect", Plain, [](F& f, int) { f.Connect(); }, AlwaysEnabled)
            .Gap(),
        Row(
            kCmdAdvance, "&File", "&Advance", Plain, [](F&, int) {}, NotAvailableYet),  // has no behaviour
        Row(
            kCmdExit, "&File", "&Exit", Plain, [](F& f, int) { f.close(); }, AlwaysEnabled)
            .Gap()
            .Role(QAction::QuitRole),

        Row(
            kCmdUndo, "&Edit", "&Undo", Plain, [](F& f, int) { f.UndoArbitrary(false); }, kUndoState)
            .Keys(QKeySequence(Qt::CTRL | Qt::Key_Z))
            .TextItem(Text::Undo),
        Row(
            kCmdRedo, "&Edit", "&Redo", Plain, [](F& f, int) { f.UndoArbitrary(true); }, kRedoState)
            .Keys(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z))
            .TextItem(Text::Redo),

        Own(
            kCmdToolBar, "&View", "Tool Bar", [](F& f) { return f.toolBar_->toggleViewAction(); },
            [](S s, int) { return CheckedWhen(s.toolBarVisible); }),
        Row(
            kCmdStatusBar, "&View", "Status Bar", Checkable,
            [](F& f, int) { f.statusBar()->setVisible(!f.statusBar()->isVisible()); },
            [](S s, int) { return CheckedWhen(s.statusBarVisible); }),
        Own(
            kCmdControlBar, "&View", "Control Bar", [](F& f) { return f.controlPane_->toggleViewAction(); },
            [](S s, int) { return CheckedWhen(s.controlBarVisible); }),
        // The kSetLook comes from the profile: no menu entry.
        Row(205, nullptr, "Windows 2000", Radio, kSetLook, kLookState),
        Row(206, nullptr, "Office XP", Radio, kSetLook, kLookState),
        Row(207, nullptr, "Windows XP", Radio, kSetLook, kLookState),
        Row(208, nullptr, "Office 2003", Radio, kSetLook, kLookState),
        Row(209, nullptr, "Visual Studio 2005", Radio, kSetLook, kLookState),
        Row(210, nullptr, "Visual Studio 2008", Radio, kSetLook, kLookState),
        Row(215, nullptr, "Office 2007 (Blue)", Radio, kSetLook, kLookState),
        Row(216, nullptr, "Office 2007 (Black)", Radio, kSetLook, kLookState),
        Row(217, nullptr, "Office 2007 (Silver)", Radio, kSetLook, kLookState),
        Row(218, nullptr, "Office 2007 (Aqua)", Radio, kSetLook, kLookState),
        Row(219, nullptr, "Windows 7", Radio, kSetLook, kLookState),

        Row(
            kCmdVectors, kTypeMenu, "&Vectors", Radio, [](F& f, int) { f.SetDisplayStyle(1); },
            [](S s, int) { return CheckedWhen(s.displayStyle == 1); })
            .Button(icons::Vectors, 31),
        Row(
            kCmdDots, kTypeMenu, "&Dots", Radio, [](F& f, int) { f.SetDisplayStyle(0); },
            [](S s, int) { return CheckedWhen(s.displayStyle == 0); })
            .Button(icons::Dots, 32),
        Row(kCmdColourCh1, kColourMenu, "CH1", Plain, kChooseColour, AlwaysEnabled),
        Row(kCmdColourCh2, kColourMenu, "CH2", Plain, kChooseColour, AlwaysEnabled),
        Row(kCmdColourGridScale, kColourMenu, "Grid Scale", Plain, kChooseColour, AlwaysEnabled),
        Row(kCmdColourMainLine, kColourMenu, "Grid Main", Plain, kChooseColour, AlwaysEnabled),
        Row(kCmdColourSubLine, kColourMenu, "Grid Sub", Plain, kChooseColour, AlwaysEnabled),

        Row(
            kCmdEditPoints, "&User", "&Edit Dots", Plain, [](F& f, int) { f.EditPoints(); }, EditsArbitrary)
            .Button(icons::EditPoints, 61),
        Row(
            kCmdFormula, "&User", "&Formula...", Plain, [](F& f, int) { f.EnterFormula(); }, EditsArbitrary),

        Row(
            kCmdDemo, "&Initial", "&Demo", Radio, [](F& f, int) { f.Settings().SelectDemo(); },
            [](S s, int) { return CheckedWhen(s.demo); }),
        // F5: one key away when the status bar says the instrument is back.
        Row(kCmdReadOperation, kRealTimeMenu, "&Read Operation", Plain, kStartJob, AlwaysEnabled)
            .Keys(QKeySequence(Qt::Key_F5)),
        Row(kCmdWriteOperation, kRealTimeMenu, "&Write Operation", Plain, kStartJob, AlwaysEnabled),
        Row(
            kCmdSyncMachine, "&Initial", "&Sync Machine", Checkable,
            [](F& f, int) { f.Settings().ToggleSyncMachine(); }, [](S s, int) { return CheckedWhen(s.sync); }),

        ZoomToolRow<ZoomTool::HorizontalIn>(kCmdHorizontalZoomIn, "Horizontal Zoom In", icons::HorizontalZoomIn, 41),
        ZoomToolRow<ZoomTool::HorizontalOut>(kCmdHorizontalZoomOut, "Horizontal Zoom Out", icons::HorizontalZoomOut,
                                             42),
        ZoomToolRow<ZoomTool::HorizontalMove>(kCmdHorizontalMove, "Horizontal Move", icons::HorizontalMove, 43),
        ZoomToolRow<ZoomTool::VerticalIn>(kCmdVerticalZoomIn, "Vertical Zoom In", icons::VerticalZoomIn, 51).Gap(),
        ZoomToolRow<ZoomTool::VerticalOut>(kCmdVerticalZoomOut, "Vertical Zoom Out", icons::VerticalZoomOut, 52),
        ZoomToolRow<ZoomTool::VerticalMove>(kCmdVerticalMove, "Vertical Move", icons::VerticalMove, 53),

        Row(kCmdDefaultLanguage, kLanguageMenu, "Default(English)", Radio, kSwitchLanguage, kBuiltInLanguageState),
        Row(kCmdFirstLanguage, kLanguageMenu, "", Radio, kSwitchLanguage, kLanguageFileState).PerLanguageFile(),
        Row(
            kCmdSweep, "&Utility", "S&weep...", Plain, [](F& f, int) { f.OpenSweep(); },
            [](S s, int) {
                return CommandState{s.online, false};
            })
            .TextItem(Text::SweepMenu),

        Row(
            kCmdContent, "&Help", "&Content", Plain, [](F& f, int) { f.OpenHelp(); }, AlwaysEnabled)
            .Button(icons::HelpContent, 63),
        Row(
            kCmdAbout, "&Help", "&About", Plain, [](F& f, int) { f.ShowAbout(); }, AlwaysEnabled)
            .Role(QAction::AboutRole),
    };
    return kCommands;
}

}  // namespace zorbel
