// What the program keeps between runs: "lan.set" beside the program, byte
// for byte, and the rule that discards the saved window state once when the
// program file changes (profile under the tests' own XDG_CONFIG_HOME).
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>

#include <limits>

#include "language_choice.h"
#include "messages.h"
#include "program_profile.h"
#include "shell_fixture.h"

namespace zorbel::test {
namespace {

QByteArray Marker() {
    QByteArray marker;
    for (const char c : QByteArray("VELMAR-QRV-DDS")) marker.append(c).append('\0');
    return marker;  // 28 bytes
}

TEST(LanguageChoiceFile, LayoutBothWays) {
    const QByteArray minusOne = EncodeLanguageChoice(-1);
    ASSERT_EQ(minusOne.size(), 104);
    EXPECT_EQ(minusOne.left(28), Marker());
    EXPECT_EQ(minusOne.mid(28, 72), QByteArray(72, '\0'));
    EXPECT_EQ(minusOne.right(4), QByteArray("\xFF\xFF\xFF\xFF", 4));
    EXPECT_EQ(EncodeLanguageChoice(0x01020304).right(4), QByteArray("\x04\x03\x02\x01", 4));  // little-endian

    for (const std::int32_t index : {-1, 0, 1, 258, std::numeric_limits<std::int32_t>::min()})
        EXPECT_EQ(DecodeLanguageChoice(EncodeLanguageChoice(index)), index);

    // Written to disk and read back through the files.
    TempDir folder;
    const QString path = LanguageChoicePath(QString::fromStdString(folder.Path()));
    QString error;
    ASSERT_TRUE(WriteLanguageChoiceFile(path, 3, &error)) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), EncodeLanguageChoice(3));
    EXPECT_EQ(ReadLanguageChoiceFile(path), 3);
}

TEST(LanguageChoiceFile, AnythingButTheLayoutIsRefused) {
    const QByteArray good = EncodeLanguageChoice(2);
    QByteArray otherMarker = good;
    otherMarker[26] = 'T';  // "VELMAR-QRV-DDT"
    QByteArray padding = good;
    padding[60] = '\x01';
    QByteArray asciiMarker = QByteArray("VELMAR-QRV-DDS").leftJustified(100, '\0') + good.right(4);
    const struct {
        const char* what;
        QByteArray bytes;
    } rows[] = {
        {"empty", {}},
        {"marker only", good.left(100)},
        {"one byte short", good.left(103)},
        {"one byte more", good + '\0'},
        {"another marker", otherMarker},
        {"padding not zero", padding},
        {"8-bit marker", asciiMarker},
    };
    TempDir folder;
    const QString path = LanguageChoicePath(QString::fromStdString(folder.Path()));
    for (const auto& row : rows) {
        EXPECT_FALSE(DecodeLanguageChoice(row.bytes)) << row.what;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(row.bytes);
        file.close();
        EXPECT_FALSE(ReadLanguageChoiceFile(path)) << row.what;
    }
    EXPECT_FALSE(ReadLanguageChoiceFile(path + ".missing"));

    // A folder that is not there: nothing written, the reason told.
    QString error;
    EXPECT_FALSE(WriteLanguageChoiceFile(QString::fromStdString(folder.File("gone/lan.set")), 0, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(ProfileRule, ModifyTimeOverThreeStarts) {
    TempDir folder;
    const QString program = QString::fromStdString(folder.File("Zorbel"));
    QFile(program).open(QIODevice::WriteOnly);
    QSettings(kProfileOrganisation).clear();
    QSettings saved(kProfileOrganisation, kProfileApplication);
    saved.clear();
    saved.setValue("Workspace/Geometry", QByteArray("layout"));  // left by a run before the rule knew the file

    const auto touch = [&] {
        QFile file(program);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const QDateTime earlier = file.fileTime(QFileDevice::FileModificationTime).addSecs(-3600);
        ASSERT_TRUE(file.setFileTime(earlier, QFileDevice::FileModificationTime));
    };
    const struct {
        const char* start;
        bool touchFirst;
        ProfileCheck expected;
        bool stateKept;  // the layout saved by the run before
    } starts[] = {
        {"first start", false, ProfileCheck::FirstStart, true},
        {"same program file", false, ProfileCheck::Passed, true},
        {"program file replaced", true, ProfileCheck::Discarded, false},
        {"same again", false, ProfileCheck::Passed, true},
    };
    for (const auto& s : starts) {
        if (s.touchFirst) touch();
        const QString time = ProgramFileTime(program);
        ASSERT_EQ(time.size(), 19);
        saved.sync();
        EXPECT_EQ(CheckProfile(time), s.expected) << s.start;
        saved.sync();
        EXPECT_EQ(saved.contains("Workspace/Geometry"), s.stateKept) << s.start;
        EXPECT_EQ(QSettings(kProfileOrganisation).value(kModifyTimeKey).toString(), time) << s.start;
        // The run saves its layout when it ends.
        saved.setValue("Workspace/Geometry", QByteArray("layout"));
        saved.sync();
    }
}

}  // namespace
}  // namespace zorbel::test

namespace zorbel::test {
namespace {

TEST(LanguageChoice, TheFileByItsNameWhileItIsListed) {
    const QStringList listed{"Albanisch.lug", "Deutsch.lug", "简体中文.lug"};
    const struct {
        const char* what;
        std::optional<int> index;  // in "lan.set"
        QString name;              // in the profile
        int expected;
    } rows[] = {
        {"name and index agree", 1, "Deutsch.lug", 1},
        {"a file inserted before the chosen one", 1, "简体中文.lug", 2},
        {"name no longer listed: the index", 1, "Klingonisch.lug", 1},
        {"renamed (another case is another file)", 2, "deutsch.lug", 2},
        {"index only (a profile from before names)", 0, "", 0},
        {"index beyond the list stays, as stored", 7, "", 7},
        {"name without lan.set", std::nullopt, "Deutsch.lug", 1},
        {"nothing stored: built-in", std::nullopt, "", -1},
        {"built-in chosen", -1, "", -1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ResolveLanguageChoice(row.index, row.name, listed), row.expected) << row.what;

    // The name lives in the program's profile, beside the window state.
    StoreLanguageFile("简体中文.lug");
    EXPECT_EQ(StoredLanguageFile(), "简体中文.lug");
    StoreLanguageFile({});
    EXPECT_TRUE(StoredLanguageFile().isEmpty());
}

// The file dialogs' rules: the folder each kind opens in, the filter's
// extension for a name typed without one, and the filter of every type.
TEST(FileDialogs, FolderPerKindAndTheFiltersExtension) {
    const QString sound = "Sound File(*.wav *.flac *.aif *.aiff)";
    const QSet<QString> files{"/m/take.flac", "/m/plain", "/m/both.wav", "/m/both.flac"};
    const auto exists = [&](const QString& p) { return files.contains(p); };
    const struct {
        const char* what;
        QString path;
        QString filter;
        bool open;
        QString expected;
    } names[] = {
        {"save: the filter's extension", "/m/wave", "Arb Data File(*.arb)", false, "/m/wave.arb"},
        {"save: the chosen filter's first", "/m/view", "JPEG File(*.jpg)", false, "/m/view.jpg"},
        {"an extension stays", "/m/wave.txt", "Arb Data File(*.arb)", false, "/m/wave.txt"},
        {"a dot in the folder is no extension", "/m.d/wave", "Setup File(*.set)", false, "/m.d/wave.set"},
        {"open: the extension whose file exists", "/m/take", sound, true, "/m/take.flac"},
        {"open: the first that exists", "/m/both", sound, true, "/m/both.wav"},
        {"open: none exists, the first", "/m/gone", sound, true, "/m/gone.wav"},
        {"open: a file without one, as named", "/m/plain", sound, true, "/m/plain"},
        {"a filter of everything adds none", "/m/wave", "All files(*)", false, "/m/wave"},
        {"a translated name, the same patterns", "/m/x", "Audiodatei(*.wav *.flac)", false, "/m/x.wav"},
    };
    for (const auto& row : names)
        EXPECT_EQ(CompleteExtension(row.path, row.filter, row.open, exists), row.expected) << row.what;

    EXPECT_EQ(CombinedFilter("All supported files", {"Qwf Data File(*.qwf)", sound, "Table(*.csv *.txt *.wav)"}),
              "All supported files(*.qwf *.wav *.flac *.aif *.aiff *.csv *.txt)");

    const auto isFolder = [](const QString& f) { return f == "/data/setups"; };
    EXPECT_EQ(StartFolder("/data/setups", "/home/u", isFolder), "/data/setups");
    EXPECT_EQ(StartFolder("/data/gone", "/home/u", isFolder), "/home/u");  // removed since
    EXPECT_EQ(StartFolder("", "/home/u", isFolder), "/home/u");            // never used: not the working folder

    // Through the dialog: the chosen file's folder is kept per kind, in the profile's section.
    QSettings(kProfileOrganisation, kProfileApplication).remove(kFileFoldersSection);
    TempDir folder;
    const QString setups = QString::fromStdString(folder.Path());
    QStringList opened;
    SetFileChooser([&](const FileDialogRequest& request) {
        opened << request.folder;
        return setups + "/bench";
    });
    const FileDialogRequest setup{true, "Save Setup", "Setup File(*.set)", "set", "Setup"};
    EXPECT_EQ(ChooseFile(nullptr, setup), setups + "/bench.set");
    EXPECT_EQ(ChooseFile(nullptr, setup), setups + "/bench.set");
    EXPECT_EQ(ChooseFile(nullptr, {false, "Load arb data", "Arb Data File(*.arb)", "arb", "ArbData"}),
              setups + "/bench.arb");
    SetFileChooser({});
    EXPECT_EQ(opened, QStringList({QDir::homePath(), setups, QDir::homePath()}));
    EXPECT_EQ(QSettings(kProfileOrganisation, kProfileApplication).value("FileFolders/Setup").toString(), setups);
}

}  // namespace
}  // namespace zorbel::test
