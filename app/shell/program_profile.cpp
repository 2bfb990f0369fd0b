// The program's folder and file time, and the "ModifyTime" rule.
#include "program_profile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSettings>

namespace zorbel {

ProgramPaths ProgramPaths::FromExecutable() {
    // applicationFilePath follows /proc/self/exe: the real program file.
    return {QCoreApplication::applicationDirPath(), ProgramFileTime(QCoreApplication::applicationFilePath())};
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
