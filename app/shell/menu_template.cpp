// The menu bar and the main toolbar as data, with the built-in English
// captions the menus show when no language item replaces them.
#include "menu_template.h"

namespace zorbel {

namespace {

MenuEntry Command(int command, const char* caption, QKeySequence shortcut = {}) {
    return {command, caption, {}, std::move(shortcut)};
}
MenuEntry Separator() { return {kCmdNone, "", {}, {}}; }
MenuEntry Submenu(const char* caption, std::vector<MenuEntry> entries) {
    return {kCmdNone, caption, std::move(entries), {}};
}
MenuEntry LanguageFreeSubmenu(const char* caption, std::vector<MenuEntry> entries) {
    return {kCmdNone, caption, std::move(entries), {}, true};
}

}  // namespace

const std::vector<MenuEntry>& MainMenuTemplate() {
    static const std::vector<MenuEntry> kMenus = {
        Submenu("&File",
                {
                    Command(kCmdLoadData, "Load Data"),
                    Command(kCmdLoadSetup, "Load Setup"),
                    Separator(),
                    Command(kCmdSaveData, "Save Data"),
                    Command(kCmdSaveSetup, "Save Setup"),
                    Command(kCmdSaveImage, "Save Image"),
                    Separator(),
                    Command(kCmdImportData, "Import Data"),
                    Command(kCmdExportData, "Export Data As.."),
                    Separator(),
                    Command(kCmdPrint, "&Print", QKeySequence(Qt::CTRL | Qt::Key_P)),
                    Command(kCmdPrintPreview, "Print Pre&view"),
                    Separator(),
                    Command(kCmdConnect, "&Connect"),
                    Command(kCmdAdvance, "&Advance"),
                    Separator(),
                    Command(kCmdExit, "&Exit"),
                }),
        // Undo and redo of the arbitrary waveform's points and window: an
        // addition of this program, which the language files do not know.
        LanguageFreeSubmenu("&Edit", {Command(kCmdUndo, "&Undo", QKeySequence(Qt::CTRL | Qt::Key_Z)),
                                      Command(kCmdRedo, "&Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z))}),
        Submenu("&View",
                {
                    Command(kCmdToolBar, "Tool Bar"),
                    Command(kCmdStatusBar, "Status Bar"),
                    Command(kCmdControlBar, "Control Bar"),
                    Submenu("Application Look",
                            {
                                Command(205, "Windows 2000"),
                                Command(206, "Office XP"),
                                Command(207, "Windows XP"),
                                Command(208, "Office 2003"),
                                Command(209, "Visual Studio 2005"),
                                Command(210, "Visual Studio 2008"),
                                Command(215, "Office 2007 (Blue)"),
                                Command(216, "Office 2007 (Black)"),
                                Command(217, "Office 2007 (Silver)"),
                                Command(218, "Office 2007 (Aqua)"),
                                Command(219, "Windows 7"),
                            }),
                }),
        Submenu("&Display",
                {
                    Submenu("&Type", {Command(kCmdVectors, "&Vectors"), Command(kCmdDots, "&Dots")}),
                    Submenu("&Color",
                            {
                                Command(kCmdColourCh1, "CH1"),
                                Command(kCmdColourCh2, "CH2"),
                                Command(kCmdColourGridScale, "Grid Scale"),
                                Command(kCmdColourMainLine, "Grid Main"),
                                Command(kCmdColourSubLine, "Grid Sub"),
                            }),
                }),
        Submenu("&User", {Command(kCmdEditPoints, "&Edit Dots"), Command(kCmdFormula, "&Formula...")}),
        Submenu("&Initial",
                {
                    Command(kCmdDemo, "&Demo"),
                    Submenu("Real &Time", {Command(kCmdReadOperation, "&Read Operation"),
                                           Command(kCmdWriteOperation, "&Write Operation")}),
                    Command(kCmdSyncMachine, "&Sync Machine"),
                }),
        Submenu("&Acquire",
                {
                    Command(kCmdHorizontalZoomIn, "Horizontal Zoom In"),
                    Command(kCmdHorizontalZoomOut, "Horizontal Zoom Out"),
                    Command(kCmdHorizontalMove, "Horizontal Move"),
                    Separator(),
                    Command(kCmdVerticalZoomIn, "Vertical Zoom In"),
                    Command(kCmdVerticalZoomOut, "Vertical Zoom Out"),
                    Command(kCmdVerticalMove, "Vertical Move"),
                }),
        Submenu("&Utility", {Submenu("&Language", {Command(kCmdDefaultLanguage, "Default(English)")})}),
        Submenu("&Help", {Command(kCmdContent, "&Content"), Command(kCmdAbout, "&About")}),
    };
    return kMenus;
}

int MenuBarPosition(int position) {
    int bar = 0;
    for (const MenuEntry& top : MainMenuTemplate()) {
        if (!top.languageFree && position-- == 0) return bar;
        ++bar;
    }
    return bar;
}

const std::vector<int>& MainToolBarTemplate() {
    static const std::vector<int> kButtons = {
        kCmdLoadData,
        kCmdLoadSetup,
        kCmdNone,  //
        kCmdSaveData,
        kCmdSaveSetup,
        kCmdNone,  //
        kCmdVectors,
        kCmdDots,
        kCmdNone,  //
        kCmdHorizontalZoomIn,
        kCmdHorizontalZoomOut,
        kCmdHorizontalMove,
        kCmdNone,  //
        kCmdVerticalZoomIn,
        kCmdVerticalZoomOut,
        kCmdVerticalMove,
        kCmdNone,  //
        kCmdEditPoints,
        kCmdPrintPreview,
        kCmdContent,
    };
    return kButtons;
}

}  // namespace zorbel
