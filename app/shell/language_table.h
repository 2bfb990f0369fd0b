// The texts of the current language, found by item number, and their
// application to dialogs (controls carry their id) and to the menu bar (entries
// are found by their position key). The language files are listed and read by
// the language library; this table keeps a copy of the loaded pairs.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

class QAction;
#include "zorbel/dialogs/control_texts.h"  // kControlIdProperty: a control's id, its text's item number

class QMenuBar;
class QWidget;

namespace zorbel {

// Property of a QAction: the shortcut it has without any language ("#" text).
inline constexpr char kDefaultShortcutProperty[] = "zorbelDefaultShortcut";
// Property of a menu bar entry that takes no position among the language's
// menu keys (a menu of this program's own); its entries keep only the keys
// given to them before (items of their own).
inline constexpr char kLanguageFreeMenuProperty[] = "zorbelLanguageFreeMenu";
// Property of a menu entry (a QAction, or a submenu's menuAction): its
// language position key, the item number of its text.
inline constexpr char kMenuKeyProperty[] = "zorbelMenuKey";

// A menu item text split at its first "#": the caption and the shortcut text
// shown in the accelerator column ("&Print#Ctrl+P" -> "&Print", "Ctrl+P").
struct MenuText {
    QString caption;
    QString shortcutText;
};
MenuText SplitMenuText(const QString& itemText);

// Gives `action` a menu item text: the caption, and the shortcut text as its
// shortcut when it is a key sequence Qt knows, else shown after a tab.
void ApplyMenuText(QAction* action, const QString& itemText);

// Position key of a menu entry: 800 + p for a top-level entry, then
// 100 * parent key + p for each level below (64 bits from the fifth level on).
constexpr std::int64_t kTopLevelMenuKeyBase = 800;
constexpr std::int64_t ChildMenuKey(std::int64_t parentKey, int position) { return parentKey * 100 + position; }
constexpr int kMenuLevels = 5;

// Gives every entry of the menu bar down to the fifth level that has no key
// yet the key of where it stands now; entries keyed before keep theirs, so
// that an entry added later moves no other entry's text. Separators and
// language-free menus take a position (the former) or none (the latter) but
// no key.
void KeyMenuEntries(QMenuBar* menuBar);

class LanguageTable {
public:
    static constexpr int kBuiltInLanguage = -1;
    static constexpr char kBuiltInResource[] = ":/language/default.lug";

    // The folder scanned for language files (the program folder + "/Language").
    void SetLanguageFolder(const QString& folder) { folder_ = folder; }
    const QString& LanguageFolder() const { return folder_; }

    // Writes the built-in language to QDir::tempPath() + "/default.lug" and
    // lists the language files of the folder with their display names.
    void DiscoverLanguages();
    // Loads language `index` (kBuiltInLanguage for the built-in one) and copies
    // its items over the built-in ones: an item the file lacks has its
    // built-in text, whatever language was loaded before. The current
    // language takes the index even when the load fails; an index that names
    // no listed file, or a file that gives no items, has the built-in texts.
    void LoadLanguage(int index);

    int CurrentLanguage() const { return current_; }
    void SetCurrentLanguage(int index) { current_ = index; }  // the stored choice, before any load
    // True when `index` names the built-in language or a listed file.
    bool IsListedLanguage(int index) const {
        return index == kBuiltInLanguage || (index >= 0 && index < names_.size());
    }

    int LanguageCount() const { return static_cast<int>(names_.size()); }
    QString LanguageName(int i) const { return names_.value(i); }
    const QStringList& FileNames() const { return files_; }
    const QString& BuiltInFilePath() const { return builtInPath_; }
    int ItemCount() const { return static_cast<int>(numbers_.size()); }

    // The text of the first item whose number is `itemNumber` in decimal;
    // empty when there is none.
    QString LanguageText(std::int64_t itemNumber) const;

    // Every child control of `dialog` that carries an id (kControlIdProperty)
    // and has an item gets that item's text; others keep theirs. The dialog's
    // own title stays.
    void TranslateDialog(QWidget* dialog) const;
    // Every entry of the menu bar whose key (KeyMenuEntries) has an item gets
    // its text, wherever it stands now; entries without a key or an item stay.
    void TranslateMenu(QMenuBar* menuBar) const;

private:
    void ClearItems();
    // Appends the library's loaded items whose number (exact, or read as an
    // integer) the table does not hold yet.
    void CopyLoadedItems();

    int current_ = kBuiltInLanguage;
    QString folder_;
    QString extension_ = QStringLiteral("lug");
    QString builtInPath_;
    QStringList files_;
    QStringList names_;
    QVector<QString> numbers_;
    QVector<QString> texts_;
    QHash<QString, int> firstByNumber_;      // exact number text -> first position
    QHash<std::int64_t, int> firstByValue_;  // number read as an integer -> first position
};

}  // namespace zorbel
