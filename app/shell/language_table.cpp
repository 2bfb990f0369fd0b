// The language table: discovery through the language library, the copy of
// the loaded items and their application to dialogs and menus.
#include "language_table.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMetaProperty>
#include <QWidget>

#include <optional>
#include <vector>

#include "QRVLanguageDll.h"
#include "zorbel/atomic_file.h"

namespace zorbel {
namespace {

// Buffers of the library's text calls: any item fits in 800 characters.
constexpr int kTextBufferChars = 1000;
// The library hands out items one by one; the program asks for at most these.
constexpr int kMaxItems = 10000;

const char16_t* Utf16(const QString& text) { return reinterpret_cast<const char16_t*>(text.utf16()); }
QString FromUtf16(const char16_t* text) { return QString::fromUtf16(text); }

// The number as a C runtime's atoi reads it: blanks, a sign, digits; nothing
// when no digit follows.
std::optional<std::int64_t> LeadingInteger(const QString& text) {
    int i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    const int firstDigit = i;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9' && i - firstDigit < 18; ++i)
        value = value * 10 + (text[i].unicode() - u'0');
    if (i == firstDigit) return std::nullopt;
    return negative ? -value : value;
}

// Writes `bytes` to `path` unless the file there already holds exactly them
// (a copy left by an earlier start, perhaps another user's in a shared /tmp).
bool WriteUnchanged(const QString& path, const QByteArray& bytes) {
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.size() == bytes.size() && existing.readAll() == bytes)
        return true;
    existing.close();
    AtomicFile file;
    return file.Create(QFile::encodeName(path).toStdString()) &&
           file.Write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))) && file.Commit();
}

void SetControlText(QWidget* control, const QString& text) {
    if (auto* box = qobject_cast<QGroupBox*>(control)) {
        box->setTitle(text);
        return;
    }
    const QMetaObject* meta = control->metaObject();
    const int property = meta->indexOfProperty("text");
    if (property >= 0 && meta->property(property).isWritable()) control->setProperty("text", text);
}

}  // namespace

MenuText SplitMenuText(const QString& itemText) {
    const qsizetype hash = itemText.indexOf(u'#');
    if (hash < 0) return {itemText, {}};
    // Further "#" become tabs, as they would in the accelerator column.
    return {itemText.left(hash), itemText.mid(hash + 1).replace(u'#', u'\t')};
}

void ApplyMenuText(QAction* action, const QString& itemText) {
    const MenuText text = SplitMenuText(itemText);
    const QKeySequence fixed = action->property(kDefaultShortcutProperty).value<QKeySequence>();
    if (text.shortcutText.isEmpty()) {
        action->setText(text.caption);
        action->setShortcut(fixed);
        return;
    }
    const QKeySequence named = QKeySequence::fromString(text.shortcutText, QKeySequence::PortableText);
    if (!named.isEmpty() && named[0].key() != Qt::Key_unknown) {
        action->setText(text.caption);
        action->setShortcut(named);
    } else {
        // A key name Qt does not know ("Strg+P"): shown, the fixed key stays.
        action->setText(text.caption + u'\t' + text.shortcutText);
        action->setShortcut(fixed);
    }
}

void LanguageTable::DiscoverLanguages() {
    builtInPath_.clear();
    QFile resource(QString::fromLatin1(kBuiltInResource));
    if (resource.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = resource.readAll();
        const QString path = QDir::tempPath() + QStringLiteral("/default.lug");
        if (!bytes.isEmpty() && WriteUnchanged(path, bytes)) builtInPath_ = path;
    }

    files_.clear();
    names_.clear();
    if (!qmkHLSetLanguageFileFolderName(Utf16(folder_), Utf16(extension_))) return;
    const int count = qmkHLGetLanguageFileCount();
    std::vector<char16_t> buffer(kTextBufferChars + 1);
    for (int i = 0; i < count; ++i) {
        std::uint16_t length = 0;
        if (!qmkHLGetLanguageFileName(static_cast<std::uint16_t>(i), buffer.data(), kTextBufferChars, &length))
            continue;
        files_.append(FromUtf16(buffer.data()));
        if (qmkHLGetLanguageName(static_cast<std::uint16_t>(i), buffer.data(), kTextBufferChars, &length))
            names_.append(FromUtf16(buffer.data()));
    }
}

void LanguageTable::LoadLanguage(int index) {
    const auto loadBuiltIn = [this] {
        qmkHLLoadContenFromFile_Point(Utf16(builtInPath_), static_cast<std::uint16_t>(builtInPath_.size()));
    };
    current_ = index;
    ClearItems();
    // A stored choice whose file is no longer listed gets the built-in texts,
    // as the menu's check mark shows; the index is kept for the file's return.
    if (index != kBuiltInLanguage && IsListedLanguage(index)) {
        qmkHLLoadContenFromFile_Index(static_cast<std::uint16_t>(index));
        CopyLoadedItems();
    }
    // Every language stands on the built-in texts: an item the file lacks
    // (all of them, for a file that can no longer be read) is English, never
    // a leftover of the language before. The file's own items come first.
    loadBuiltIn();
    CopyLoadedItems();
}

void LanguageTable::ClearItems() {
    numbers_.clear();
    texts_.clear();
    firstByNumber_.clear();
    firstByValue_.clear();
}

void LanguageTable::CopyLoadedItems() {
    std::vector<char16_t> number(kTextBufferChars), text(kTextBufferChars);
    for (int i = 0; i < kMaxItems; ++i) {
        std::fill(number.begin(), number.end(), 0);
        std::fill(text.begin(), text.end(), 0);
        if (!qmkHLGetContenItem(static_cast<std::uint16_t>(i), number.data(), text.data())) break;
        const QString numberText = FromUtf16(number.data());
        const auto value = LeadingInteger(numberText);
        const bool newNumber = !firstByNumber_.contains(numberText);
        const bool newValue = value && !firstByValue_.contains(*value);
        if (!newNumber && !newValue) continue;  // an item the table has already
        numbers_.append(numberText);
        texts_.append(FromUtf16(text.data()));
        const int position = static_cast<int>(numbers_.size()) - 1;
        if (newNumber) firstByNumber_.insert(numberText, position);
        if (newValue) firstByValue_.insert(*value, position);
    }
}

QString LanguageTable::LanguageText(std::int64_t itemNumber) const {
    const auto found = firstByNumber_.constFind(QString::number(itemNumber));
    return found == firstByNumber_.constEnd() ? QString() : texts_[*found];
}

void LanguageTable::TranslateDialog(QWidget* dialog) const {
    if (!dialog) return;
    for (QWidget* control : dialog->findChildren<QWidget*>()) {
        bool hasId = false;
        const std::int64_t id = control->property(kControlIdProperty).toLongLong(&hasId);
        if (!hasId) continue;
        const auto found = firstByValue_.constFind(id);
        if (found != firstByValue_.constEnd()) SetControlText(control, texts_[*found]);
    }
}

void LanguageTable::TranslateMenu(QMenuBar* menuBar) const {
    if (!menuBar) return;
    const auto translate = [this](const auto& self, const QList<QAction*>& entries) -> void {
        for (QAction* entry : entries) {
            bool keyed = false;
            const std::int64_t key = entry->property(kMenuKeyProperty).toLongLong(&keyed);
            if (keyed && firstByNumber_.contains(QString::number(key))) {
                const QString text = LanguageText(key);
                if (QMenu* menu = entry->menu())
                    menu->setTitle(SplitMenuText(text).caption);
                else
                    ApplyMenuText(entry, text);
            }
            if (QMenu* menu = entry->menu()) self(self, menu->actions());
        }
    };
    translate(translate, menuBar->actions());
}

void KeyMenuEntries(QMenuBar* menuBar) {
    if (!menuBar) return;
    // Entries of one menu, keyed from their parent's key; recursion per level.
    const auto assign = [](const auto& self, const QList<QAction*>& entries, std::int64_t parentKey,
                           int level) -> void {
        int position = 0;
        for (QAction* entry : entries) {
            if (entry->property(kLanguageFreeMenuProperty).toBool()) continue;
            const std::int64_t key = ChildMenuKey(parentKey, position++);
            if (entry->isSeparator()) continue;
            if (!entry->property(kMenuKeyProperty).isValid())
                entry->setProperty(kMenuKeyProperty, static_cast<qlonglong>(key));
            const std::int64_t ownKey = entry->property(kMenuKeyProperty).toLongLong();
            if (QMenu* menu = entry->menu(); menu && level < kMenuLevels)
                self(self, menu->actions(), ownKey, level + 1);
        }
    };
    // Top-level keys are 800 + p: the children of an imaginary key 8.
    assign(assign, menuBar->actions(), kTopLevelMenuKeyBase / 100, 1);
}

}  // namespace zorbel
