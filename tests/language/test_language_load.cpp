// Loading language files through the C interface: the built-in English file,
// item splitting, size limits, failed loads and malformed files.
#include "QRVLanguageDll.h"
#include "language_test_files.h"
#include "zorbel/profile_file.h"

#include <sys/stat.h>
#include <random>
#include <vector>

namespace fs = std::filesystem;
using zorbel::test::U16;
using zorbel::test::Utf16File;

namespace {

int32_t LoadPath(const fs::path& p) {
    const std::u16string path = U16(p);
    return qmkHLLoadContenFromFile_Point(path.c_str(), static_cast<uint16_t>(path.size()));
}

struct Pair {
    std::u16string number;
    std::u16string text;
};

// Every loaded item, read as the program does: 0, 1, 2, ... until a failure.
std::vector<Pair> Items() {
    std::vector<Pair> out;
    for (uint16_t i = 0;; ++i) {
        std::vector<char16_t> number(1000, u'#'), text(1000, u'#');
        if (!qmkHLGetContenItem(i, number.data(), text.data())) break;
        out.push_back({number.data(), text.data()});
    }
    return out;
}

using LanguageLoad = zorbel::test::TempTree;

TEST_F(LanguageLoad, BuiltInEnglishFile) {
    // Copied to a temporary folder as the program writes it out.
    fs::copy_file(ZORBEL_DEFAULT_LUG, root_ / "default.lug");
    ASSERT_EQ(LoadPath(root_ / "default.lug"), 1);
    const auto loaded = Items();
    ASSERT_EQ(loaded.size(), 333u);
    // Position, number and text, typed from the table of built-in items.
    struct Row {
        std::size_t at;
        std::u16string number;
        std::u16string text;
    } const rows[] = {
        {0, u"8888", u"English"},  // the blank after "=" is trimmed
        {1, u"800", u"&File"},
        {12, u"80010", u"&Print#Ctrl+P"},
        {14, u"80012", u"--"},
        {18, u"80016", u"&Exit"},
        {26, u"8020000", u"&Vectors"},
        {40, u"8040101", u"&Write Operation"},
        {52, u"8060000", u"Default(English)"},
        {56, u"150", u"Control Bar"},
        {69, u"1021", u"Frequency:"},
        {81, u"1045", u"First,set the frequency Of Arb."},
        {96, u"1301", u"Please click color bar to set new color"},
        {99, u"10000", u"ON"},
        {106, u"10052", u"Success: Load arb data"},
        {125, u"10071", u"Failure: Export arb data"},
        {136, u"10151", u"About Zorbel.."},
        {140, u"32771", u"Load Data"},
        {154, u"57609", u"Print Preview"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(loaded[r.at].number, r.number) << r.at;
        EXPECT_EQ(loaded[r.at].text, r.text) << r.at;
    }
    EXPECT_EQ(loaded[138].number, u"10153");
    EXPECT_FALSE(loaded[138].text.empty());  // the About box's notice line
    for (const auto& p : loaded) {
        EXPECT_FALSE(p.number.empty());
        EXPECT_EQ(p.number.find_first_not_of(u"0123456789"), std::u16string::npos);
    }
}

TEST_F(LanguageLoad, LinesAreSplitAtTheFirstEqualsSign) {
    Put("x.lug", Utf16File(u"; translator's note\r\n[Other]\r\n1=no\r\n[App]\r\n5=a=b\r\n6=\r\n"
                           u"no equals sign\r\n\r\n  7  =  padded  \r\n=lonely\r\n[App2]\r\n8=no\r\n"));
    ASSERT_EQ(LoadPath(root_ / "x.lug"), 1);
    const auto loaded = Items();
    ASSERT_EQ(loaded.size(), 5u);
    const Pair expected[] = {
        {u"5", u"a=b"}, {u"6", u""}, {u"", u"no equals sign"}, {u"7", u"padded"}, {u"", u"lonely"}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(loaded[i].number, expected[i].number) << i;
        EXPECT_EQ(loaded[i].text, expected[i].text) << i;
    }
}

TEST_F(LanguageLoad, LongLinesAreCutSoThat800CharactersAlwaysSuffice) {
    const std::u16string longText(5000, u'x');
    // A surrogate pair across the cut: its first half is not handed out alone.
    const std::u16string pairAtCut = std::u16string(796, u'y') + u"\U0001F600z";
    Put("x.lug", Utf16File(u"[App]\r\n1=" + longText + u"\r\n2=" + pairAtCut + u"\r\n3=short\r\n"));
    ASSERT_EQ(LoadPath(root_ / "x.lug"), 1);
    const auto loaded = Items();
    ASSERT_EQ(loaded.size(), 3u);
    EXPECT_EQ(loaded[0].text, std::u16string(797, u'x'));  // "1=" + 797 = 799 characters
    EXPECT_EQ(loaded[1].text, std::u16string(796, u'y'));  // 798 characters
    EXPECT_EQ(loaded[2].text, u"short");
}

TEST_F(LanguageLoad, SectionBeyondTheBufferIsNotLoaded) {
    // 100 lines of 199 characters take 200 each: 90 fit the 18000 characters
    // with the final terminator (89 * 200 + 1 <= 18000 < 90 * 200 + 1).
    std::u16string file = u"[App]\r\n";
    for (int i = 0; i < 100; ++i) {
        std::u16string number = zorbel::Utf8ToUtf16(std::to_string(1000 + i));
        file += number + u"=" + std::u16string(199 - 5, u't') + u"\r\n";
    }
    Put("big.lug", Utf16File(file));
    ASSERT_EQ(LoadPath(root_ / "big.lug"), 1);
    const auto loaded = Items();
    ASSERT_EQ(loaded.size(), 89u);
    EXPECT_EQ(loaded.back().number, u"1088");
}

TEST_F(LanguageLoad, FailedLoadByPathHidesTheItemsUntilTheNextLoad) {
    Put("ok.lug", Utf16File(u"[App]\r\n1=one\r\n"));
    ASSERT_EQ(LoadPath(root_ / "ok.lug"), 1);
    ASSERT_EQ(Items().size(), 1u);
    ASSERT_EQ(::mkfifo((root_ / "fifo.lug").c_str(), 0600), 0);
    for (const fs::path& bad : {root_ / "absent.lug", root_, root_ / "fifo.lug"}) {
        EXPECT_EQ(LoadPath(bad), 0) << bad;
        EXPECT_TRUE(Items().empty()) << bad;
        ASSERT_EQ(LoadPath(root_ / "ok.lug"), 1);
    }
    EXPECT_EQ(qmkHLLoadContenFromFile_Point(nullptr, 0), 0);
    EXPECT_TRUE(Items().empty());
    ASSERT_EQ(LoadPath(root_ / "ok.lug"), 1);
    EXPECT_EQ(Items().size(), 1u);

    char16_t number[800];
    EXPECT_EQ(qmkHLGetContenItem(0, number, nullptr), 0);
    EXPECT_EQ(qmkHLGetContenItem(1, number, number), 0);
}

TEST_F(LanguageLoad, LoadByIndex) {
    Put("a.lug", Utf16File(u"[App]\r\n1=first\r\n"));
    Put("deeper/b.lug", "[App]\r\n1=second\r\n");
    Put("c.lug", Utf16File(u"[App]\r\n1=third\r\n"));
    ASSERT_EQ(qmkHLSetLanguageFileFolderName(U16(root_).c_str(), u"lug"), 1);
    ASSERT_EQ(qmkHLLoadContenFromFile_Index(1), 1);  // found in a subfolder, read from there
    ASSERT_EQ(Items().size(), 1u);
    EXPECT_EQ(Items()[0].text, u"second");

    // Out of range: nothing changes.
    EXPECT_EQ(qmkHLLoadContenFromFile_Index(3), 0);
    EXPECT_EQ(qmkHLLoadContenFromFile_Index(0xFFFF), 0);
    ASSERT_EQ(Items().size(), 1u);
    EXPECT_EQ(Items()[0].text, u"second");

    // A listed file that is gone is a failed load, not an empty language.
    fs::remove(root_ / "c.lug");
    EXPECT_EQ(qmkHLLoadContenFromFile_Index(2), 0);
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(qmkHLLoadContenFromFile_Index(0), 1);
    EXPECT_EQ(Items()[0].text, u"first");
}

TEST_F(LanguageLoad, MalformedFilesLoadOrFailCleanly) {
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::u16string> texts;
    } const cases[] = {
        {"UTF-8, no BOM",
         "[App]\r\n1=Gr\xC3\xBC\xC3\x9F"
         "e\r\n",
         {u"Gr\u00fc\u00dfe"}},
        {"UTF-8 with BOM, LF", "\xEF\xBB\xBF[App]\n1=\xC3\xA9t\xC3\xA9\n", {u"\u00e9t\u00e9"}},
        {"8-bit, not UTF-8", "[App]\r\n1=caf\xE9\r\n", {u"caf\u00e9"}},
        {"odd byte count", Utf16File(u"[App]\r\n1=abc") + "\x41", {u"abc"}},
        {"NUL bytes", std::string("[App]\r\n1=a\0b\r\n2=\0\r\n", 18), {u"ab", u""}},
        {"UTF-16LE without BOM",
         std::string("[\0A\0p\0p\0]\0\r\0\n\0"
                     "1\0=\0x\0",
                     20),
         {u"x"}},
        {"BOM only", "\xFF\xFE", {}},
        {"no [App] section", Utf16File(u"[Other]\r\n1=one\r\n"), {}},
        {"empty", "", {}},
    };
    for (const auto& c : cases) {
        Put("m.lug", c.bytes);
        ASSERT_EQ(LoadPath(root_ / "m.lug"), 1) << c.what;
        std::vector<std::u16string> texts;
        for (const auto& p : Items()) texts.push_back(p.text);
        EXPECT_EQ(texts, c.texts) << c.what;
    }
    // Random bytes, with and without BOM: a result, never a crash.
    std::mt19937 random(5);
    for (int round = 0; round < 50; ++round) {
        std::string bytes = round % 2 ? "\xFF\xFE[App]\r\n" : "[App]\n";
        for (int i = 0; i < 2000; ++i) bytes.push_back(static_cast<char>(random()));
        Put("m.lug", bytes);
        ASSERT_EQ(LoadPath(root_ / "m.lug"), 1);
        for (const auto& p : Items()) {
            EXPECT_LE(p.number.size() + 1 + p.text.size(), 799u);
            EXPECT_EQ(p.text.find(u'\0'), std::u16string::npos);
        }
    }
}

}  // namespace
