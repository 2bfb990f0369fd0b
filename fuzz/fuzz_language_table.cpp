// A language file as the program applies it: listed and loaded by the
// language library into the language table, then given to the program's own
// menu bar (built from its command rows, with one entry per language file)
// by position key. Whatever the file holds, every keyed entry that has an
// item shows that item's caption (a menu its title), an entry whose item
// names no shortcut keeps its own, translating twice changes nothing, and
// going back to the built-in language leaves none of the file's texts.
// Runs on Qt's offscreen platform: no display needed.
#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_files.h"
#include "language_table.h"
#include "main_frame.h"
#include "menu_template.h"

namespace {

using zorbel::LanguageTable;

zorbel::fuzz::ScratchFile gFile;
LanguageTable* gTable = nullptr;
std::map<std::int64_t, QString>* gBuiltIn = nullptr;  // built-in text by key of every keyed entry

struct Entry {
    QAction* action;
    std::int64_t key;  // -1: none
};

void CollectEntries(const QList<QAction*>& actions, std::vector<Entry>& out) {
    for (QAction* action : actions) {
        bool keyed = false;
        const std::int64_t key = action->property(zorbel::kMenuKeyProperty).toLongLong(&keyed);
        out.push_back({action, keyed ? key : -1});
        if (QMenu* menu = action->menu()) CollectEntries(menu->actions(), out);
    }
}

// The program's menu bar with an entry per listed language file.
std::vector<Entry> BuildMenus(QMenuBar& bar) {
    const auto actionOf = [&bar](const zorbel::CommandRow& row) {
        auto* action = new QAction(QString::fromUtf8(row.caption), &bar);
        action->setProperty(zorbel::kDefaultShortcutProperty, row.shortcut);
        action->setShortcut(row.shortcut);
        return action;
    };
    const zorbel::BuiltMenus built = zorbel::BuildMenuBar(&bar, zorbel::CMainFrame::Commands(), actionOf);
    FUZZ_CHECK(built.languageMenu != nullptr);
    for (int i = 0; i < gTable->LanguageCount(); ++i) {
        QAction* action = built.languageMenu->addAction(gTable->LanguageName(i));
        action->setProperty(zorbel::kDefaultShortcutProperty, QKeySequence());
    }
    zorbel::KeyMenuEntries(&bar);
    std::vector<Entry> entries;
    CollectEntries(bar.actions(), entries);
    return entries;
}

using Shown = std::vector<std::pair<QString, QKeySequence>>;

Shown ShownTexts(const std::vector<Entry>& entries) {
    Shown shown;
    for (const Entry& e : entries) shown.emplace_back(e.action->text(), e.action->shortcut());
    return shown;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication app(*argc, *argv);
    gFile.Create(".lug");
    gFile.Write("[App]\n8888=x\n");
    gTable = new LanguageTable;
    gTable->SetLanguageFolder(QString::fromStdString(gFile.Folder()));
    gTable->DiscoverLanguages();
    gTable->LoadLanguage(LanguageTable::kBuiltInLanguage);
    gBuiltIn = new std::map<std::int64_t, QString>;
    QMenuBar bar;
    for (const Entry& e : BuildMenus(bar))
        if (e.key >= 0) (*gBuiltIn)[e.key] = gTable->LanguageText(e.key);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 16)) return 0;
    gFile.Write(std::string_view(reinterpret_cast<const char*>(data), size));
    gTable->DiscoverLanguages();
    FUZZ_CHECK(gTable->LanguageCount() == 1);
    FUZZ_CHECK(gTable->LanguageName(0).size() <= 259);
    gTable->LoadLanguage(0);

    QMenuBar bar;
    const std::vector<Entry> entries = BuildMenus(bar);
    gTable->TranslateMenu(&bar);
    for (const Entry& e : entries) {
        if (e.key < 0 || e.action->isSeparator()) continue;
        const QString item = gTable->LanguageText(e.key);
        if (item.isEmpty()) continue;
        const zorbel::MenuText text = zorbel::SplitMenuText(item);
        if (QMenu* menu = e.action->menu()) {
            FUZZ_CHECK(menu->title() == text.caption);
        } else {
            FUZZ_CHECK(e.action->text().startsWith(text.caption));
            const auto fixed = e.action->property(zorbel::kDefaultShortcutProperty).value<QKeySequence>();
            if (text.shortcutText.isEmpty()) FUZZ_CHECK(e.action->shortcut() == fixed);
        }
    }
    const Shown once = ShownTexts(entries);
    gTable->TranslateMenu(&bar);
    FUZZ_CHECK(ShownTexts(entries) == once);

    gTable->LoadLanguage(LanguageTable::kBuiltInLanguage);
    for (const auto& [key, text] : *gBuiltIn) FUZZ_CHECK(gTable->LanguageText(key) == text);
    return 0;
}
