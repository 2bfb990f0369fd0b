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

}  // namespace zorbel
