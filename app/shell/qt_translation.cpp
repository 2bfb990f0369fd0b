// Qt's own texts in the program's language.
#include "qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zorbel {

QtTranslation::QtTranslation() : translator_(std::make_unique<QTranslator>()) {}

QtTranslation::~QtTranslation() {
    if (installed_) QCoreApplication::removeTranslator(translator_.get());
}

bool QtTranslation::Follow(const QString& locale) {
    if (installed_) QCoreApplication::removeTranslator(translator_.get());
    installed_ = false;
    const QString code = locale.trimmed();
    if (code.isEmpty() || code.startsWith(QStringLiteral("en"), Qt::CaseInsensitive)) return false;
    // "de_AT" finds qtbase_de.qm when there is no qtbase_de_AT.qm.
    if (!translator_->load(QLocale(code), QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    installed_ = QCoreApplication::installTranslator(translator_.get());
    return installed_;
}

}  // namespace zorbel
