// The folder scan: matching, order, the pending-folder queue and trees that
// could make a scan go round.
#include "folder_scan.h"
#include "language_store.h"
#include "language_test_files.h"
#include "zorbel/profile_file.h"

#include <algorithm>

namespace fs = std::filesystem;
using namespace zorbel::language;

namespace {

class FolderScan : public zorbel::test::TempTree {
protected:
    std::vector<std::u16string> names(const std::u16string& extension, const ScanLimits& limits = {}) const {
        std::vector<std::u16string> out;
        for (const auto& f : scanFolderTree(root_.string(), extension, limits).files) out.push_back(f.bareName);
        return out;
    }
};

TEST_F(FolderScan, ComparesOnlyTheNamesTail) {
    for (const char* n : {"de.lug", "catalug", "ug", "x.txt", "y.LuG", "noext"}) put(n);
    struct Case {
        std::u16string extension;
        std::vector<std::u16string> expected;
    } const cases[] = {
        {u"lug", {u"catalug", u"de.lug", u"y.LuG"}},
        {u"LUG", {u"catalug", u"de.lug", u"y.LuG"}},
        {u"ug", {u"catalug", u"de.lug", u"ug", u"y.LuG"}},
        {u"", {u"catalug", u"de.lug", u"noext", u"ug", u"x.txt", u"y.LuG"}},   // pattern "*.": nothing compared
        {u"*", {u"catalug", u"de.lug", u"noext", u"ug", u"x.txt", u"y.LuG"}},  // pattern "*.*"
        {u"xlug", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(names(c.extension), c.expected) << zorbel::utf16ToUtf8(c.extension);
}

TEST(SortByBareName, AscendingAndStable) {
    // The relative paths tell which of two equal names came first.
    std::vector<FoundFile> files = {{u"b.lug", "1"}, {u"B.LUG", "2"},      {u"_x.lug", "3"}, {u"a.lug", "4"},
                                    {u"b.lug", "5"}, {u"\u00c4.lug", "6"}, {u"A.lug", "7"}};
    sortByBareName(files);
    std::string order;
    for (const auto& f : files) order += f.relativePath;
    // "_" (0x5F) sorts before letters because A-Z compare as a-z; non-ASCII last.
    EXPECT_EQ(order, "3471256");
}

TEST_F(FolderScan, QueueFullStopsAndKeepsTheFilesFoundSoFar) {
    // Four slots: the folder being searched and at most two more pending.
    const ScanLimits small{4, 100};
    put("z.lug");
    put("d1/a.lug");
    mkdir("d1/e1");
    mkdir("d1/e2");  // d1, e1, e2 pending while d1 is searched
    EXPECT_FALSE(scanFolderTree(root_.string(), u"lug", small).queueFull);
    mkdir("d1/e3");
    auto scan = scanFolderTree(root_.string(), u"lug", small);
    EXPECT_TRUE(scan.queueFull);
    EXPECT_GE(scan.files.size(), 1u);  // z.lug was found before d1 was searched

    LanguageStore store(small);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(store.setFolder(zorbel::utf8ToUtf16(root_.string()), u"lug"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Too more folders in the same path!\n");
    EXPECT_EQ(store.fileCount(), static_cast<int16_t>(scan.files.size()));

    mkdir("d2");
    mkdir("d3");  // three folders in the root fill the queue at once
    EXPECT_TRUE(scanFolderTree(root_.string(), u"lug", small).queueFull);
}

TEST_F(FolderScan, LinksCannotMakeTheScanGoRound) {
    put("a.lug");
    put("sub/b.lug");
    fs::create_directory_symlink(root_, root_ / "sub" / "loop");  // back to the root
    fs::create_directory_symlink(root_ / "sub", root_ / "sub" / "self");
    fs::create_directory_symlink(root_ / "sub", root_ / "alias");  // a second way into sub
    fs::create_symlink(root_ / "a.lug", root_ / "sub" / "linked.lug");
    fs::create_symlink(root_ / "gone.lug", root_ / "dangling.lug");
    EXPECT_EQ(names(u"lug"), (std::vector<std::u16string>{u"a.lug", u"b.lug", u"linked.lug"}));
}

TEST_F(FolderScan, FileLimitKeepsTheCountRepresentable) {
    for (int i = 0; i < 5; ++i) put("f" + std::to_string(i) + ".lug");
    EXPECT_EQ(names(u"lug", ScanLimits{4160, 3}).size(), 3u);
}

TEST_F(FolderScan, TrailingSeparatorScansTheSameFiles) {
    put("x.lug");
    put("sub/y.lug");
    LanguageStore store;
    const std::u16string folder = zorbel::utf8ToUtf16(root_.string());
    for (const std::u16string& f : {folder, folder + u"/"}) {
        ASSERT_TRUE(store.setFolder(f, u"lug"));
        ASSERT_EQ(store.fileCount(), 2);
        EXPECT_EQ(store.fileName(0), u"x.lug");
        EXPECT_EQ(store.fileName(1), u"y.lug");
        EXPECT_EQ(store.languageName(1), u"y");
        ASSERT_TRUE(store.loadByIndex(1));  // from sub/, where it was found
    }
    EXPECT_FALSE(store.setFolder(u"", u"lug"));  // never the whole file system
    EXPECT_EQ(store.fileCount(), 0);
}

}  // namespace
