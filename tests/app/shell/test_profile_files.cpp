// What the program keeps between runs: "lan.set" beside the program, byte
// for byte, and the rule that discards the saved window state once when the
// program file changes (profile under the tests' own XDG_CONFIG_HOME).
#include <QDateTime>
#include <QFile>
#include <QSettings>

#include <limits>

#include "language_choice.h"
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

}  // namespace
}  // namespace zorbel::test
