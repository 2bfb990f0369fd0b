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

// Presses Tab until the control named `name` has the focus; nullptr when
// Tab comes round without reaching it.
inline QWidget* TabTo(const QString& name) {
    for (int i = 0; i < 100; ++i) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus) return nullptr;
        if (AccessibleName(focus) == name) return focus;
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    return nullptr;
}

// Presses the right arrow until the control named `name` has the focus
// (a choice group moves round); nullptr when it never does.
inline QWidget* ArrowTo(const QString& name) {
    for (int i = 0; i < 20; ++i) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus) return nullptr;
        if (AccessibleName(focus) == name) return focus;
        QTest::keyClick(focus, Qt::Key_Right);
    }
    return nullptr;
}

}  // namespace zorbel::test
