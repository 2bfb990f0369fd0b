// The program's commands, declared once: one row per command gives its id,
// where it stands in the menus and on the toolbar, its caption, shortcut,
// kind, handler, state rule and image. The frame builds its menus, toolbar,
// enabling and translation from these rows alone. The ids double as language
// item numbers (toolbar tooltips); the menu entries have their language keys
// from where they stand when the menus are built.
#pragma once

#include <QAction>
#include <QKeySequence>

#include <functional>
#include <vector>

#include "command_rules.h"
#include "toolbar_icons.h"
#include "zorbel/dialogs/program_texts.h"

class QMenu;
class QMenuBar;

namespace zorbel {

class CMainFrame;

enum CommandId : int {
    kCmdNone = 0,
    kCmdControlBar = 150,
    kCmdLookFirst = 205,  // application looks 205-219
    kCmdLookLast = 219,
    kCmdLoadData = 32771,
    kCmdLoadSetup = 32772,
    kCmdSaveData = 32773,
    kCmdSaveSetup = 32774,
    kCmdSaveImage = 32775,
    kCmdImportData = 32776,
    kCmdExportData = 32777,
    kCmdConnect = 32778,
    kCmdAdvance = 32779,
    kCmdVectors = 32811,
    kCmdDots = 32812,
    kCmdColourCh1 = 32813,
    kCmdColourCh2 = 32814,
    kCmdColourGridScale = 32815,
    kCmdColourMainLine = 32816,
    kCmdColourSubLine = 32817,
    kCmdEditPoints = 32831,
    kCmdFormula = 32832,
    kCmdDemo = 32851,
    kCmdReadOperation = 32852,
    kCmdWriteOperation = 32853,
    kCmdSyncMachine = 32854,
    kCmdHorizontalZoomIn = 32871,
    kCmdHorizontalZoomOut = 32872,
    kCmdHorizontalMove = 32873,
    kCmdVerticalZoomIn = 32874,
    kCmdVerticalZoomOut = 32875,
    kCmdVerticalMove = 32876,
    kCmdDefaultLanguage = 32892,
    kCmdSweep = 32895,
    kCmdContent = 32901,
    kCmdPrint = 57607,
    kCmdPrintPreview = 57609,
    kCmdUndo = 57643,
    kCmdRedo = 57644,
    kCmdAbout = 57664,
    kCmdExit = 57665,
    kCmdToolBar = 59392,
    kCmdStatusBar = 59393,
    kCmdFirstLanguage = 9001,  // one per language file: 9001 + index
    kCmdLastLanguage = 11001,
};

// Plain commands act; checkable ones switch something on and off; radio
// ones choose one of a set and stay chosen. The latter two show their state
// as a check mark.
enum class CommandKind { Plain, Checkable, Radio };

// Runs command `command` (the row's id, or a language file's) on the frame.
using CommandHandler = void (*)(CMainFrame& frame, int command);
// Whether `command` is enabled and checked, from a read of model and frame.
using CommandRule = CommandState (*)(const CommandSnapshot& snapshot, int command);
// A widget's own action that stands for the command (a toggleViewAction).
using OwnAction = QAction* (*)(CMainFrame& frame);

struct CommandRow {
    int id = kCmdNone;
    // The submenu it stands in, top-level menu first ("&Initial/Real &Time");
    // nullptr: reachable by RunCommand only.
    const char* menu = nullptr;
    const char* caption = "";  // without a language; the language's text comes by position key
    QKeySequence shortcut = {};
    CommandKind kind = CommandKind::Plain;
    CommandHandler run = nullptr;  // nullptr when ownAction acts
    OwnAction ownAction = nullptr;
    CommandRule state = nullptr;
    IconPainter icon = nullptr;
    // Place on the main toolbar: tens number the groups, separated by a
    // gap, units the order within one; 0 not on the toolbar.
    int toolbarPlace = 0;
    bool separatorBefore = false;  // in its menu
    // One entry per language file, ids kCmdFirstLanguage + index, each
    // captioned with the language's name (the frame adds them once the
    // files are known).
    bool perLanguageFile = false;
    QAction::MenuRole role = QAction::TextHeuristicRole;
    // The language item of an entry in a menu that takes no position (Edit);
    // 0: the entry's text comes by its position key.
    int textItem = 0;

    // The row with one more fact, for the table's compact rows.
    CommandRow Button(IconPainter image, int place) const {
        CommandRow row = *this;
        row.icon = image;
        row.toolbarPlace = place;
        return row;
    }
    CommandRow Keys(QKeySequence keys) const {
        CommandRow row = *this;
        row.shortcut = std::move(keys);
        return row;
    }
    CommandRow Gap() const {
        CommandRow row = *this;
        row.separatorBefore = true;
        return row;
    }
    CommandRow Role(QAction::MenuRole menuRole) const {
        CommandRow row = *this;
        row.role = menuRole;
        return row;
    }
    CommandRow TextItem(Text item) const {
        CommandRow row = *this;
        row.textItem = static_cast<int>(item);
        return row;
    }
    CommandRow PerLanguageFile() const {
        CommandRow row = *this;
        row.perLanguageFile = true;
        return row;
    }
};

// The top-level menus in menu bar order. A menu of this program's own (Edit)
// takes no position among the language's menu keys, so that the keys of the
// menus after it keep naming them; it and its entries have items of their
// own (textItem), which the instrument software's language files lack.
struct TopMenu {
    const char* caption;
    bool languageFree = false;
    int textItem = 0;
};
const std::vector<TopMenu>& MainMenus();

// Where the top-level menu at language position `position` (800 + p) lies in
// the menu bar, past the language-free menus before it.
int MenuBarPosition(int position);
inline constexpr int kViewMenuPosition = 1;

// The menu bar of the command rows: the top-level menus (MainMenus), each
// row that has a menu in its submenu (a submenu comes where its first entry
// stands) as the action `actionOf` gives it, and every entry's language key
// (KeyMenuEntries). The row of the language files adds no entry: its menu is
// where the frame puts one per file.
struct BuiltMenus {
    std::vector<QMenu*> topLevel;  // in MainMenus order
    QMenu* languageMenu = nullptr;
};
BuiltMenus BuildMenuBar(QMenuBar* bar, const std::vector<CommandRow>& rows,
                        const std::function<QAction*(const CommandRow&)>& actionOf);

}  // namespace zorbel
