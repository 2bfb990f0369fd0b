// The language table: texts by item number, menu texts by position key (to
// the fifth level), dialogs by control id, with the built-in language and
// with language files of a test folder.
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <map>
#include <set>

#include "language_table.h"
#include "shell_fixture.h"
#include "zorbel/dialogs/program_texts.h"
#include "zorbel/model/file_texts.h"

namespace zorbel::test {
namespace {

// A table on the built-in language, with a language folder of its own.
struct Table {
    TempDir folder;
    LanguageTable languages;

    explicit Table(const QList<QPair<QString, QString>>& files = {}) {
        const QString path = QString::fromStdString(folder.Path());
        for (const auto& [name, text] : files) WriteLanguageFile(path + u'/' + name, text);
        languages.SetLanguageFolder(path);
        languages.DiscoverLanguages();
    }
};

TEST(LanguageTable, BuiltInTextsByItemNumber) {
    Table table;
    table.languages.LoadLanguage(LanguageTable::kBuiltInLanguage);
    const struct {
        std::int64_t item;
        QString text;
    } rows[] = {
        {10052, "Success: Load arb data"},
        {150, "Control Bar"},
        {80010, "&Print#Ctrl+P"},
        {8020000, "&Vectors"},
        {10153, "Control software for two-channel DDS signal generators over USB and LAN."},
        {99999, ""},       // not in the file
        {8020000000, ""},  // beyond 32 bits, not in the file
    };
    for (const auto& row : rows) EXPECT_EQ(table.languages.LanguageText(row.item), row.text) << row.item;

    // Written out unchanged into the temporary folder, and read from there.
    QFile written(QDir::tempPath() + "/default.lug"), resource(LanguageTable::kBuiltInResource);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly) && resource.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), resource.readAll());
    EXPECT_EQ(table.languages.BuiltInFilePath(), written.fileName());
}

TEST(LanguageTable, MenuItemTextBecomesCaptionAndShortcut) {
    const struct {
        QString itemText;
        QString caption;  // the action's text
        QString shortcut;
    } rows[] = {
        {"&Print#Ctrl+P", "&Print", "Ctrl+P"},
        {"&Vectors", "&Vectors", "Ctrl+P"},                 // no "#": the fixed shortcut stays
        {"&Drucken#Strg+P", "&Drucken\tStrg+P", "Ctrl+P"},  // a key name Qt does not know is shown only
        {"&Zoom#Shift+F3", "&Zoom", "Shift+F3"},
    };
    for (const auto& row : rows) {
        QAction action;
        action.setProperty(kDefaultShortcutProperty, QKeySequence(Qt::CTRL | Qt::Key_P));
        ApplyMenuText(&action, row.itemText);
        EXPECT_EQ(action.text(), row.caption) << row.itemText.toStdString();
        EXPECT_EQ(action.shortcut().toString(), row.shortcut) << row.itemText.toStdString();
    }
    EXPECT_EQ(SplitMenuText("&Print#Ctrl+P").shortcutText, "Ctrl+P");
}

TEST(LanguageTable, MenuKeysToTheFifthLevel) {
    // Position 0 of each level below the top is a separator, which keeps its
    // place in the keys but is never given a text.
    Table table(QList<QPair<QString, QString>>{
        {"deep.lug",
         "[App]\n8888=Deep\n800=Top\n80000=---\n80001=Second\n8000101=Third\n800010101=Fourth\n"
         "80001010101=Fifth\n801=Other\n"}});
    table.languages.LoadLanguage(0);
    QMenuBar bar;
    QMenu* level = bar.addMenu("top");
    QList<QAction*> entries{level->menuAction()};
    for (int depth = 2; depth <= 5; ++depth) {
        level->addSeparator();
        if (depth == 5) {
            entries << level->addAction("fifth");
            break;
        }
        level = level->addMenu(QString("level %1").arg(depth));
        entries << level->menuAction();
    }
    // 80104: neither the file nor the built-in language has an item for it.
    QMenu* second = bar.addMenu("second top");
    for (int i = 0; i < 4; ++i) second->addSeparator();
    QAction* untranslated = second->addAction("kept");
    KeyMenuEntries(&bar);
    table.languages.TranslateMenu(&bar);
    const QStringList expected{"Top", "Second", "Third", "Fourth", "Fifth"};
    for (int i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i]->text(), expected[i]) << "level " << i + 1;
    EXPECT_EQ(bar.actions().at(1)->text(), "Other");
    EXPECT_EQ(untranslated->text(), "kept");
    EXPECT_TRUE(bar.actions().at(0)->menu()->actions().at(0)->isSeparator());
}

TEST(LanguageTable, TranslateDialogByControlId) {
    const auto makeDialog = [](QDialog& dialog) {
        dialog.setWindowTitle("Title");
        auto* group = new QGroupBox("group", &dialog);
        group->setProperty(kControlIdProperty, 1017);
        auto* frequency = new QLabel("label", group);  // nested: found all the same
        frequency->setProperty(kControlIdProperty, 1021);
        auto* write = new QPushButton("button", &dialog);
        write->setProperty(kControlIdProperty, 1042);
        auto* noItem = new QCheckBox("check", &dialog);
        noItem->setProperty(kControlIdProperty, 4242);
        new QLabel("plain", &dialog);  // no id
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(group);
        layout->addWidget(write);
        layout->addWidget(noItem);
    };
    const auto texts = [](QDialog& dialog) {
        QStringList out{dialog.windowTitle(), dialog.findChild<QGroupBox*>()->title()};
        for (auto* label : dialog.findChildren<QLabel*>()) out << label->text();
        out << dialog.findChild<QPushButton*>()->text() << dialog.findChild<QCheckBox*>()->text();
        return out;
    };

    Table table;
    table.languages.LoadLanguage(LanguageTable::kBuiltInLanguage);
    QDialog withItems;
    makeDialog(withItems);
    table.languages.TranslateDialog(&withItems);
    EXPECT_EQ(texts(withItems), QStringList({"Title", "Wave Parameter", "Frequency:", "plain", "Write", "check"}));

    // A table with no items (nothing loaded yet): every control keeps its text.
    LanguageTable empty;
    QDialog withoutItems;
    makeDialog(withoutItems);
    empty.TranslateDialog(&withoutItems);
    EXPECT_EQ(texts(withoutItems), QStringList({"Title", "group", "label", "plain", "button", "check"}));
}

QString BuiltInText() {
    QFile resource(LanguageTable::kBuiltInResource);
    EXPECT_TRUE(resource.open(QIODevice::ReadOnly));
    const QByteArray bytes = resource.readAll().mid(2);  // without the byte-order mark
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

QString ShippedGerman() {
    QFile file(ZORBEL_LANGUAGE_DIR "/Deutsch.lug");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromUtf8(file.readAll());
}

// The numbered places of an item text, in order of their numbers.
QStringList PlacesOf(const QString& text) {
    QStringList places;
    for (const auto& match : QRegularExpression("%[1-9]").globalMatch(text)) places << match.captured();
    places.sort();
    return places;
}

// Items whose German is the English text, on purpose.
const std::set<QString> kSameInGerman = {
    "80002",   "80006",   "80009", "80012", "80015", "80503",  // separators
    "8020100", "8020101", "10101", "10102",                    // CH1, CH2
    "80400",   "1023",    "1027",  "1041",  "1063",  "1101",  "10152", "20200", "20303", "20304", "20309", "20705",
    "20604",  // Amplitude(V)
};

TEST(LanguageItems, TheProgramsOwnTextsAreBuiltInAndTranslatedInTheShippedGerman) {
    const std::map<QString, QString> builtIn = LanguageItems(BuiltInText());
    // The English the program falls back to is the built-in file's.
    std::vector<std::pair<int, QString>> own;
    for (const ProgramTextRow& row : ProgramTextTable())
        own.emplace_back(static_cast<int>(row.item), QString::fromUtf8(row.english));
    for (const FileTextRow& row : FileTextTable())
        own.emplace_back(static_cast<int>(row.id), QString::fromUtf8(row.english));
    for (const auto& [item, english] : own) {
        const auto found = builtIn.find(QString::number(item));
        ASSERT_NE(found, builtIn.end()) << item;
        EXPECT_EQ(found->second, english) << item;
    }

    // The German file translates every item the program asks for, keeps
    // every place of the English text and the menu shortcuts after "#".
    const std::map<QString, QString> german = LanguageItems(ShippedGerman());
    for (const auto& [item, english] : builtIn) {
        const auto found = german.find(item);
        ASSERT_NE(found, german.end()) << item.toStdString() << " " << english.toStdString();
        const QString& text = found->second;
        EXPECT_FALSE(text.isEmpty()) << item.toStdString();
        EXPECT_EQ(text == english, kSameInGerman.contains(item)) << item.toStdString() << " " << text.toStdString();
        EXPECT_EQ(PlacesOf(text), PlacesOf(english)) << item.toStdString();
        const QString keys = SplitMenuText(english).shortcutText;  // "Ctrl+P"; not "zoom) %1 is ..."
        if (!keys.isEmpty() && !keys.contains(u' ')) {
            EXPECT_EQ(SplitMenuText(text).shortcutText.toStdString(), keys.toStdString()) << item.toStdString();
        }
    }
    EXPECT_EQ(german.size(), builtIn.size());  // nothing the program does not ask for
}

}  // namespace
}  // namespace zorbel::test
