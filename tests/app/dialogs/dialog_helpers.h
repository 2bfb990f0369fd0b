// What the widget tests share: the built-in English texts, a view that
// records redraw requests, keyboard navigation by accessible names.
#pragma once

#include <QAccessible>
#include <QApplication>
#include <QHash>
#include <QTest>
#include <array>
#include <cstdint>
#include <vector>

#include "QRVLanguageDll.h"
#include "zorbel/dialogs/control_texts.h"
#include "zorbel/dialogs/dialog_links.h"

namespace zorbel::test {

// The texts of the built-in language file, through the language library.
inline LanguageLookup BuiltInLanguage() {
    static const QHash<int, QString> kTexts = [] {
        QHash<int, QString> loaded;
        const std::u16string path = QString::fromUtf8(ZORBEL_DEFAULT_LUG).toStdU16String();
        if (qmkHLLoadContenFromFile_Point(path.c_str(), static_cast<std::uint16_t>(path.size())) != 1) return loaded;
        char16_t number[800];
        char16_t text[800];
        for (std::uint16_t i = 0; qmkHLGetContenItem(i, number, text) == 1; ++i)
            loaded.insert(QString::fromUtf16(number).toInt(), QString::fromUtf16(text));
        return loaded;
    }();
    return [](int item) { return kTexts.value(item); };
}

class RecordingView final : public RedrawSink {
public:
    void RequestRedraw(RefreshMask mask) override { masks.push_back(ToNumber(mask)); }
    void ArbitraryPointsChanged(std::uint16_t channel, std::uint32_t first, std::uint32_t last) override {
        changed.push_back({channel, first, last});
    }
    std::vector<std::uint32_t> masks;
    std::vector<std::array<std::uint32_t, 3>> changed;  // channel, first, last
};

inline QString AccessibleName(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

// Presses `key` until the control named `name` has the focus; nullptr when
// it never does within `presses`.
inline QWidget* KeyTo(const QString& name, Qt::Key key, int presses) {
    for (int i = 0; i < presses; ++i) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus) return nullptr;
        if (AccessibleName(focus) == name) return focus;
        QTest::keyClick(focus, key);
    }
    return nullptr;
}
// Tab until `name` (round the window); the right arrow until `name` (round a choice group).
inline QWidget* TabTo(const QString& name) { return KeyTo(name, Qt::Key_Tab, 100); }
inline QWidget* ArrowTo(const QString& name) { return KeyTo(name, Qt::Key_Right, 20); }

}  // namespace zorbel::test
