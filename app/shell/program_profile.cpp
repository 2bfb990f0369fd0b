// The program's folder and file time, and the "ModifyTime" rule.
#include "program_profile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace zorbel {

ProgramPaths ProgramPaths::FromExecutable() {
    // applicationFilePath follows /proc/self/exe: the real program file.
    return ForFolder(QCoreApplication::applicationDirPath(), ProgramFileTime(QCoreApplication::applicationFilePath()));
}

ProgramPaths ProgramPaths::ForFolder(const QString& folder, const QString& fileTime) {
    ProgramPaths paths{folder, fileTime, {}, {}};
    const QString shared = QDir::cleanPath(folder + QStringLiteral("/../share/zorbel"));
    if (!QFileInfo(folder + QStringLiteral("/Language")).isDir() &&
        QFileInfo(shared + QStringLiteral("/Language")).isDir()) {
        paths.dataFolder = shared;
        // Beside the profile, following XDG_CONFIG_HOME.
        paths.choiceFolder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                             QLatin1Char('/') + QString::fromLatin1(kProfileOrganisation);
    }
    return paths;
}

QString ProgramFileTime(const QString& file) {
    const QFileInfo info(file);
    if (!info.exists()) return {};
    return info.lastModified().toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

ProfileCheck CheckProfile(const QString& fileTime) {
    QSettings organisation(QString::fromLatin1(kProfileOrganisation));
    const QVariant stored = organisation.value(QString::fromLatin1(kModifyTimeKey));
    ProfileCheck result = ProfileCheck::FirstStart;
    if (stored.isValid()) {
        if (stored.toString().left(kModifyTimeMaxChars) == fileTime) return ProfileCheck::Passed;
        QSettings program(QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kProfileApplication));
        program.clear();
        program.sync();
        organisation.clear();
        result = ProfileCheck::Discarded;
    }
    organisation.setValue(QString::fromLatin1(kModifyTimeKey), fileTime);
    organisation.sync();
    return result;
}

QString StoredLanguageFile() {
    return QSettings(QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kProfileApplication))
        .value(QString::fromLatin1(kLanguageFileKey))
        .toString();
}

void StoreLanguageFile(const QString& fileName) {
    QSettings settings(QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kProfileApplication));
    settings.setValue(QString::fromLatin1(kLanguageFileKey), fileName);
    settings.sync();
}

namespace {

QString FileFolderKey(const QString& kind) { return QString::fromLatin1(kFileFoldersSection) + u'/' + kind; }

}  // namespace

QString StoredFileFolder(const QString& kind) {
    if (kind.isEmpty()) return {};
    return QSettings(QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kProfileApplication))
        .value(FileFolderKey(kind))
        .toString();
}

void StoreFileFolder(const QString& kind, const QString& folder) {
    if (kind.isEmpty()) return;
    QSettings settings(QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kProfileApplication));
    settings.setValue(FileFolderKey(kind), folder);
    settings.sync();
}

int ResolveLanguageChoice(std::optional<int> storedIndex, const QString& storedName, const QStringList& listedFiles) {
    if (!storedName.isEmpty()) {
        // The names are listed as the folder holds them; a name differing in
        // case only is another file on this system.
        if (const qsizetype at = listedFiles.indexOf(storedName); at >= 0) return static_cast<int>(at);
    }
    return storedIndex.value_or(-1);
}

}  // namespace zorbel
