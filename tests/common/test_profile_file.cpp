// The profile-file module: Windows profile rules for reading and editing,
// encodings, and all-or-nothing saving.
#include "zorbel/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using zorbel::ProfileFile;
using zorbel::TextEncoding;

namespace {

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zorbel-profile-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }

    static std::string read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    ProfileFile loaded(const std::string& bytes) const {
        ProfileFile f;
        EXPECT_EQ(f.load(write("in.ini", bytes)), ProfileFile::LoadResult::Loaded);
        return f;
    }

    fs::path dir_;
};

// UTF-16LE bytes with the byte-order mark.
std::string utf16File(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

const char kSample[] =
    "; leading comment\r\n"
    "[Standard_1]\r\n"
    "MaxFrequency(Hz)=3E+007\r\n"
    "  MinFrequency(Hz) =  1E-006  \r\n"
    "\r\n"
    "[Channel_1]\r\n"
    "Type=1\r\n"
    "Name=\"  quoted  \"\r\n"
    "Single='x'\r\n"
    "Odd=\"x'\r\n"
    "NoValue\r\n"
    "; comment inside\r\n"
    "Empty=\r\n"
    "[channel_1]\r\n"
    "Type=7\r\n";

TEST_F(ProfileFileTest, GetStringFollowsTheWindowsRules) {
    const ProfileFile f = loaded(kSample);
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } const cases[] = {
        {"standard_1", "maxfrequency(hz)", "3E+007"},  // names ignore case
        {"STANDARD_1", "MinFrequency(Hz)", "1E-006"},  // blanks around key and value removed
        {"Channel_1", "Type", "1"},                    // first section of a name wins
        {"Channel_1", "Name", "  quoted  "},           // one pair of quotes removed, inner blanks kept
        {"Channel_1", "Single", "x"},
        {"Channel_1", "Odd", "\"x'"},  // unmatched quotes stay
        {"Channel_1", "Empty", ""},
        {"Channel_1", "NoValue", "dflt"},  // a line without "=" has no value
        {"Channel_1", "; comment inside", "dflt"},
        {"Channel_1", "MaxFrequency(Hz)", "dflt"},  // keys belong to their section
        {"Missing", "Type", "dflt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(f.getString(c.section, c.key, "dflt", 999), c.expected) << c.section << "/" << c.key;
    EXPECT_EQ(f.getString("Standard_1", "MaxFrequency(Hz)", "", 3), "3E+");
    EXPECT_EQ(f.getString("Missing", "x", " \"fallback\" ", 999), "fallback");
}

TEST_F(ProfileFileTest, EncodingsAreRecognised) {
    struct Case {
        std::string bytes;
        TextEncoding encoding;
        std::u16string value;
    } const cases[] = {
        {utf16File(u"[App]\r\n8888= Fran\u00e7ais\r\n"), TextEncoding::Utf16Le, u"Fran\u00e7ais"},
        {utf16File(u"[App]\n8888=\u65e5\u672c\u8a9e\n"), TextEncoding::Utf16Le, u"\u65e5\u672c\u8a9e"},
        {"\xEF\xBB\xBF[App]\r\n8888=Fran\xC3\xA7"
         "ais\r\n",
         TextEncoding::Utf8Bom, u"Fran\u00e7ais"},
        {"[App]\n8888=Fran\xC3\xA7"
         "ais",
         TextEncoding::Utf8, u"Fran\u00e7ais"},
        {"[App]\n8888=Fran\xE7"
         "ais\n",
         TextEncoding::Latin1, u"Fran\u00e7ais"},
    };
    for (const auto& c : cases) {
        const ProfileFile f = loaded(c.bytes);
        EXPECT_EQ(f.encoding(), c.encoding) << c.bytes;
        EXPECT_EQ(f.getString(u"App", u"8888", u"", 259), c.value) << c.bytes;
    }
}

TEST_F(ProfileFileTest, LoadDistinguishesMissingFromUnreadable) {
    ProfileFile f;
    EXPECT_EQ(f.load(path("absent.ini")), ProfileFile::LoadResult::Missing);
    EXPECT_EQ(f.load(path("absent/x.ini")), ProfileFile::LoadResult::Missing);
    std::string error;
    EXPECT_EQ(f.load(dir_.string(), &error), ProfileFile::LoadResult::Failed);
    EXPECT_NE(error.find("regular"), std::string::npos);
}

TEST_F(ProfileFileTest, ExistingKeyIsReplacedInPlace) {
    ProfileFile f = loaded(kSample);
    ASSERT_TRUE(f.setString("standard_1", "minfrequency(hz)", "2E-006"));
    ASSERT_TRUE(f.save(path("in.ini")));
    std::string expected = kSample;
    expected.replace(expected.find("  MinFrequency(Hz) =  1E-006  "), 30, "MinFrequency(Hz)=2E-006");
    EXPECT_EQ(read(path("in.ini")), expected);
}

TEST_F(ProfileFileTest, NewKeysAndSectionsAreAppended) {
    ProfileFile f = loaded("[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\ny=2");
    ASSERT_TRUE(f.setString("a", "z", "3"));      // after A's last key, not after the comment
    ASSERT_TRUE(f.setString("B", "w", "4"));      // last line had no line end
    ASSERT_TRUE(f.setString("New", "v", " 5 "));  // written as given, read trimmed
    ASSERT_TRUE(f.save(path("in.ini")));
    EXPECT_EQ(read(path("in.ini")), "[A]\r\nx=1\r\nz=3\r\n\r\n; about B\r\n[B]\r\ny=2\r\nw=4\r\n[New]\r\nv= 5 \r\n");
    EXPECT_EQ(f.getString("new", "V", "", 99), "5");

    ProfileFile lf = loaded("[A]\nx=1\n");  // new lines follow the file's line ends
    ASSERT_TRUE(lf.setString("A", "y", "2"));
    ASSERT_TRUE(lf.setString("C", "z", "3"));
    ASSERT_TRUE(lf.save(path("in.ini")));
    EXPECT_EQ(read(path("in.ini")), "[A]\nx=1\ny=2\n[C]\nz=3\n");
}

TEST_F(ProfileFileTest, StructureBreakingWritesAreRefused) {
    ProfileFile f = loaded("[A]\nx=1\n");
    const std::u16string bad[][3] = {
        {u"A", u"x", u"1\r\n[B]"}, {u"A]", u"x", u"1"}, {u" ", u"x", u"1"}, {u"A", u"x=y", u"1"}, {u"A", u";x", u"1"},
    };
    for (const auto& b : bad) EXPECT_FALSE(f.setString(b[0], b[1], b[2])) << zorbel::utf16ToUtf8(b[0] + b[1] + b[2]);
    EXPECT_EQ(f.getString("A", "x", "", 9), "1");
}

TEST_F(ProfileFileTest, RoundTripKeepsEachEncodingByteForByte) {
    const std::string files[] = {
        utf16File(u"; \u00fcber\r\n[App]\r\n8888= Deutsch\r\n1=\u00c4nderung\r\n[Z]\r\nq=\U0001F600\r\n"),
        "\xEF\xBB\xBF[App]\r\n8888=Fran\xC3\xA7"
        "ais\r\n",
        "[App]\n1=caf\xC3\xA9\n",
        "[App]\r\n1=caf\xE9\r\n\x80\x81\r\n",
    };
    for (const auto& bytes : files) {
        ProfileFile f = loaded(bytes);
        ASSERT_TRUE(f.save(path("out.ini")));
        EXPECT_EQ(read(path("out.ini")), bytes);
        ASSERT_TRUE(f.setString(u"App", u"2", u"\u00e9"));
        ASSERT_TRUE(f.save(path("out.ini")));
        ProfileFile back;
        ASSERT_EQ(back.load(path("out.ini")), ProfileFile::LoadResult::Loaded);
        EXPECT_EQ(back.encoding(), f.encoding());
        EXPECT_EQ(back.getString(u"app", u"2", u"", 9), u"\u00e9");
        EXPECT_EQ(back.getString(u"App", u"1", u"", 99), f.getString(u"App", u"1", u"", 99));
    }
}

TEST_F(ProfileFileTest, NewFileGetsTheChosenEncoding) {
    ProfileFile wide(TextEncoding::Utf16Le);
    ASSERT_TRUE(wide.setString(u"App", u"8888", u"English"));
    ASSERT_TRUE(wide.save(path("wide.lug")));
    EXPECT_EQ(read(path("wide.lug")), utf16File(u"[App]\r\n8888=English\r\n"));

    ProfileFile narrow;
    ASSERT_TRUE(narrow.setString("Channel_1", "OnOff", "1"));
    ASSERT_TRUE(narrow.save(path("setup.set")));
    EXPECT_EQ(read(path("setup.set")), "[Channel_1]\r\nOnOff=1\r\n");
}

TEST_F(ProfileFileTest, FailedSaveIsReportedAndKeepsTheOldFile) {
    const std::string original = "[App]\n1=caf\xE9\n";
    const std::string target = write("latin.ini", original);
    ProfileFile f;
    ASSERT_EQ(f.load(target), ProfileFile::LoadResult::Loaded);
    ASSERT_TRUE(f.setString(u"App", u"1", u"\u65e5"));  // not representable in Latin-1
    std::string error;
    EXPECT_FALSE(f.save(target, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(read(target), original);

    ProfileFile g;
    g.setString("A", "b", "c");
    EXPECT_FALSE(g.save(path("no/such/folder.ini"), &error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

    // Renaming over a folder fails after the temporary was written: it must go.
    fs::create_directory(dir_ / "folder");
    fs::create_directory(dir_ / "folder" / "inside");
    EXPECT_FALSE(g.save(path("folder"), &error));
    EXPECT_TRUE(fs::is_directory(dir_ / "folder" / "inside"));
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++entries;
    EXPECT_EQ(entries, 2u);  // latin.ini and folder: no temporary left behind
}

TEST_F(ProfileFileTest, SaveKeepsModeAndWritesThroughLinks) {
    const std::string target = write("real.set", "[A]\nx=1\n");
    ::chmod(target.c_str(), 0640);
    fs::create_symlink(target, dir_ / "link.set");
    ProfileFile f;
    ASSERT_EQ(f.load(path("link.set")), ProfileFile::LoadResult::Loaded);
    ASSERT_TRUE(f.setString("A", "x", "2"));
    ASSERT_TRUE(f.save(path("link.set")));
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.set"));
    EXPECT_EQ(read(target), "[A]\nx=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A relative link to a file not there yet: the file is created, the link stays.
    fs::create_symlink("later.set", dir_ / "dangling.set");
    ASSERT_TRUE(f.save(path("dangling.set")));
    EXPECT_TRUE(fs::is_symlink(dir_ / "dangling.set"));
    EXPECT_EQ(read(path("later.set")), "[A]\nx=2\n");
}

TEST(Utf, ConversionsReplaceWhatCannotBeRepresented) {
    EXPECT_EQ(zorbel::utf8ToUtf16("a\xC0\x80"
                                  "b\xE2\x82"),
              u"a\uFFFD\uFFFDb\uFFFD\uFFFD");                            // overlong, cut short
    EXPECT_FALSE(zorbel::decodeUtf8Strict("\xED\xA0\x80").has_value());  // an encoded surrogate
    EXPECT_EQ(zorbel::utf16ToUtf8(std::u16string(1, u'\xD800') + u"\U0001F600"), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

}  // namespace
