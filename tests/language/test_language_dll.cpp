// The C interface: listing, file names and display names, buffer rules,
// arguments a caller may get wrong, and calls from several threads.
#include "QRVLanguageDll.h"
#include "language_test_files.h"
#include "zorbel/profile_file.h"

#include <thread>

namespace fs = std::filesystem;
using zorbel::test::U16;
using zorbel::test::Utf16File;

namespace {

struct Name {
    int32_t result;
    uint16_t length;
    std::u16string written;  // terminator included
};

// Calls one of the two name functions with a sentinel-filled buffer;
// `written` is everything up to the first untouched sentinel.
template <typename F>
Name CallName(F function, uint16_t index, uint16_t capacity = 999) {
    std::u16string buffer(1000, u'#');
    Name n{0, 0xBEEF, {}};
    n.result = function(index, buffer.data(), capacity, &n.length);
    n.written = buffer.substr(0, buffer.find(u'#'));
    return n;
}

class LanguageDll : public zorbel::test::TempTree {
protected:
    int32_t Scan(const std::u16string& extension = u"lug") const {
        return qmkHLSetLanguageFileFolderName(U16(root_).c_str(), extension.c_str());
    }
};

TEST_F(LanguageDll, ListsFilesAndDisplayNames) {
    Put("b.lug", Utf16File(u"[App]\r\n8888= Deutsch\r\n"));
    Put("A.lug", Utf16File(u"[app]\r\n8888=\"  Fran\u00e7ais  \"\r\n"));
    Put("c.LUG", "[App]\n8888=\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\n");  // UTF-8 without BOM
    Put("d.x.lug", Utf16File(u"[Other]\r\n8888=Not here\r\n"));
    Put("catalug");
    Put("notes.txt");
    ASSERT_EQ(Scan(), 1);
    ASSERT_EQ(qmkHLGetLanguageFileCount(), 5);
    struct Row {
        std::u16string file;
        int32_t nameResult;
        std::u16string name;
    } const rows[] = {
        {u"A.lug", 1, u"  Fran\u00e7ais  "},
        {u"b.lug", 1, u"Deutsch"},
        {u"c.LUG", 1, u"\u65e5\u672c\u8a9e"},
        {u"catalug", 0, u""},   // no item 8888 and no "." in the name
        {u"d.x.lug", 1, u"d"},  // up to the first "."
    };
    for (uint16_t i = 0; i < 5; ++i) {
        const Name file = CallName(qmkHLGetLanguageFileName, i);
        EXPECT_EQ(file.result, 1);
        EXPECT_EQ(file.written, rows[i].file + u'\0');
        EXPECT_EQ(file.length, rows[i].file.size());
        const Name name = CallName(qmkHLGetLanguageName, i);
        EXPECT_EQ(name.result, rows[i].nameResult) << i;
        EXPECT_EQ(name.written, name.result ? rows[i].name + u'\0' : u"") << i;
        EXPECT_EQ(name.length, rows[i].name.size()) << i;
    }
}

TEST_F(LanguageDll, BufferCapacityRules) {
    Put("de.lug", Utf16File(u"[App]\r\n8888=Deutsch\r\n"));
    ASSERT_EQ(Scan(), 1);
    const auto name = qmkHLGetLanguageName;
    const auto file = qmkHLGetLanguageFileName;
    struct Row {
        decltype(name) function;
        uint16_t index, capacity;
        Name expected;
    } const rows[] = {
        // Capacity counts characters without the terminator: length + 1 are written.
        {name, 0, 7, {1, 7, std::u16string(u"Deutsch\0", 8)}},
        {name, 0, 6, {0, 7, u""}},
        {file, 0, 5, {0, 6, u""}},
        // Index out of range (also a negative index seen as unsigned): length untouched.
        {name, 1, 999, {0, 0xBEEF, u""}},
        {file, 0xFFFF, 999, {0, 0xBEEF, u""}},
    };
    for (const auto& r : rows) {
        const Name n = CallName(r.function, r.index, r.capacity);
        EXPECT_EQ(n.result, r.expected.result) << r.index << "/" << r.capacity;
        EXPECT_EQ(n.length, r.expected.length) << r.index << "/" << r.capacity;
        EXPECT_EQ(n.written, r.expected.written) << r.index << "/" << r.capacity;
    }
    // Missing buffers are refused, not written through.
    uint16_t length = 0;
    EXPECT_EQ(qmkHLGetLanguageName(0, nullptr, 100, &length), 0);
    char16_t buffer[100];
    EXPECT_EQ(qmkHLGetLanguageFileName(0, buffer, 100, nullptr), 1);
}

TEST_F(LanguageDll, DisplayNameIsCutTo259Characters) {
    Put("long.lug", Utf16File(u"[App]\r\n8888=" + std::u16string(300, u'x') + u"\r\n"));
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(CallName(qmkHLGetLanguageName, 0).length, 259);
}

TEST_F(LanguageDll, ScanReplacesTheListAndReportsEmptyResults) {
    Put("a.lug");
    Put("sub/b.txt");
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(qmkHLGetLanguageFileCount(), 1);
    EXPECT_EQ(Scan(u"none"), 0);
    EXPECT_EQ(qmkHLGetLanguageFileCount(), 0);
    EXPECT_EQ(Scan(u""), 1);  // every file, subfolders included
    EXPECT_EQ(qmkHLGetLanguageFileCount(), 2);
    EXPECT_EQ(qmkHLSetLanguageFileFolderName(U16(root_ / "absent").c_str(), u"lug"), 0);
    EXPECT_EQ(qmkHLGetLanguageFileCount(), 0);
    EXPECT_EQ(qmkHLSetLanguageFileFolderName(nullptr, u"lug"), 0);
    EXPECT_EQ(qmkHLSetLanguageFileFolderName(U16(root_).c_str(), nullptr), 0);
}

TEST_F(LanguageDll, CallsFromSeveralThreadsMeetSafely) {
    for (int i = 0; i < 8; ++i) Put("l" + std::to_string(i) + ".lug", Utf16File(u"[App]\r\n8888=L\r\n1=one\r\n"));
    ASSERT_EQ(Scan(), 1);
    auto reader = [] {
        char16_t number[800], text[800];
        for (int k = 0; k < 200; ++k) {
            const int16_t count = qmkHLGetLanguageFileCount();
            Name n = CallName(qmkHLGetLanguageName, static_cast<uint16_t>(k % 9));
            if (n.result) {
                EXPECT_EQ(n.written, std::u16string(u"L\0", 2));
            }
            if (count > 0) qmkHLLoadContenFromFile_Index(static_cast<uint16_t>(k % count));
            if (qmkHLGetContenItem(1, number, text)) {
                EXPECT_EQ(std::u16string(text), u"one");
            }
        }
    };
    std::thread a(reader), b(reader);
    const std::u16string folder = U16(root_);
    for (int k = 0; k < 50; ++k) qmkHLSetLanguageFileFolderName(folder.c_str(), u"lug");
    a.join();
    b.join();
}

}  // namespace
