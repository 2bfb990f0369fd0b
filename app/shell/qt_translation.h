// Qt's own texts (the file, colour and print dialogs, the standard buttons
// and context menus) in the program's language: the language file names its
// Qt translation by a locale code (item 20800, "de"), and Qt's translation
// of that language, when installed (Debian: qt6-translations-l10n), is put
// in place of the last one at every language switch.
#pragma once

#include <QString>

#include <memory>

class QTranslator;

namespace zorbel {

class QtTranslation {
public:
    QtTranslation();
    ~QtTranslation();
    QtTranslation(const QtTranslation&) = delete;
    QtTranslation& operator=(const QtTranslation&) = delete;

    // The translation for `locale` ("de", "zh_CN"); English (Qt's own texts)
    // for "en", an empty code or a language Qt has no translation of.
    // True when a translation is in place.
    bool Follow(const QString& locale);

private:
    std::unique_ptr<QTranslator> translator_;
    bool installed_ = false;
};

}  // namespace zorbel
