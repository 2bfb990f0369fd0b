// Where the program is and when it was built, and the profile rule that ties
// the saved window state to that program file: the state saved by one
// program file is thrown away the first time another one starts.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace zorbel {

// QSettings names: "ModifyTime" lives in the organisation-wide settings, the
// program's own state in (organisation, application).
inline constexpr char kProfileOrganisation[] = "QRV Signal Source Applications";
inline constexpr char kProfileApplication[] = "Zorbel";
inline constexpr char kModifyTimeKey[] = "ModifyTime";
// Longest stored time text that is compared.
inline constexpr int kModifyTimeMaxChars = 40;

// The program file's folder and its last-write time as the profile and the
// About box show it. Tests give the shell a folder and time of their own.
struct ProgramPaths {
    QString folder;    // "lan.set" and the "Language" folder lie here
    QString fileTime;  // "yyyy-MM-dd hh:mm:ss", local time
    // An installed program (bin/Zorbel beside share/zorbel) finds its
    // "Language" folder in share/zorbel and keeps "lan.set" in the user's
    // configuration folder, as a system folder is not the user's to write.
    // Empty: `folder`, as for a program run where it was built.
    QString dataFolder{};
    QString choiceFolder{};

    QString DataFolder() const { return dataFolder.isEmpty() ? folder : dataFolder; }
    QString ChoiceFolder() const { return choiceFolder.isEmpty() ? folder : choiceFolder; }

    // The running program's; `folder` is that of its file.
    static ProgramPaths FromExecutable();
    // The layout around the program folder `folder`: an installed one when
    // `folder` has no "Language" folder and ../share/zorbel has one.
    static ProgramPaths ForFolder(const QString& folder, const QString& fileTime);
};

// The last-write time of `file` in local time, "%04d-%02d-%02d %02d:%02d:%02d";
// empty when the file cannot be examined.
QString ProgramFileTime(const QString& file);

enum class ProfileCheck {
    Passed,      // the stored time equals the program's: the saved state is kept
    FirstStart,  // no stored time: nothing discarded, the time is stored
    Discarded,   // another program file saved the state: all of it was removed, the time stored
};

// Compares `fileTime` with the stored "ModifyTime", discards the program's
// saved state when they differ, and stores the time unless the check passed.
ProfileCheck CheckProfile(const QString& fileTime);

// The chosen language file's name, kept in the program's profile beside the
// index in "lan.set", so that a language file added to the folder (and
// sorted before the chosen one) does not move the user to another language.
// Empty for the built-in language.
inline constexpr char kLanguageFileKey[] = "Settings/LanguageFile";
QString StoredLanguageFile();
void StoreLanguageFile(const QString& fileName);

// The folder a file of each kind was last chosen in ("Setup", "ArbData",
// "Exchange", "Image", "Print"), kept in the profile's section of its own,
// one key per kind ("FileFolders/Setup"). Empty when none is kept.
inline constexpr char kFileFoldersSection[] = "FileFolders";
QString StoredFileFolder(const QString& kind);
void StoreFileFolder(const QString& kind, const QString& folder);

// The language to start with: the listed file of the stored name while it is
// listed, else the index from "lan.set" (as stored, even when no file has it
// now), else the built-in language (-1).
int ResolveLanguageChoice(std::optional<int> storedIndex, const QString& storedName, const QStringList& listedFiles);

}  // namespace zorbel
