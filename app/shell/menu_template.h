// Command ids of the program and the menu bar as data. The ids double as
// language item numbers (toolbar tooltips) and name the commands in the
// enabling rules; the menu entries are found by their position instead.
#pragma once

#include <QKeySequence>

#include <vector>

namespace zorbel {

enum CommandId : int {
    kCmdNone = 0,  // separator
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

// Language menu items whose check mark follows the current language.
inline constexpr int kCmdLastCheckedLanguage = 9101;

// One entry of the menu bar: a command, a separator (kCmdNone without
// children) or a submenu (children). The caption is the text the menu has
// without a language; a loaded language replaces it by position.
struct MenuEntry {
    int command = kCmdNone;
    const char* caption = "";
    std::vector<MenuEntry> children;
    QKeySequence shortcut = {};
    // A top-level menu no language names (Edit): fixed English texts, and no
    // position among the language's menu keys, so that the keys of the
    // menus after it keep naming them.
    bool languageFree = false;

    bool IsSeparator() const { return command == kCmdNone && children.empty(); }
};

// File, Edit, View, Display, User, Initial, Acquire, Utility, Help.
const std::vector<MenuEntry>& MainMenuTemplate();

// Where the top-level menu at language position `position` (the positions
// below) lies in the menu bar, past the language-free menus before it.
int MenuBarPosition(int position);

// Language positions of the top-level menus (position keys 800 + p).
// Position of the "Application Look" submenu in the View menu, which the
// frame removes: the look comes from the profile only.
inline constexpr int kViewMenuPosition = 1;
inline constexpr int kApplicationLookPosition = 3;
// The Language submenu: first entry of the Utility menu.
inline constexpr int kUtilityMenuPosition = 6;
inline constexpr int kLanguageSubmenuPosition = 0;

// Toolbar commands in their groups (0 separates groups).
const std::vector<int>& MainToolBarTemplate();

}  // namespace zorbel
