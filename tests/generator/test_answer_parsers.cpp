// The pure answer parsers: number lists, chunked-answer pieces, catalog lines.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "answer_parsers.h"
#include "locale_guard.h"
#include "memory_catalog.h"

namespace {

using qrv::ParseBlockAnswer;
using qrv::ParseChunkedPiece;
using qrv::ParseNumberList;

struct ListCase {
    const char* name;
    const char* answer;
    std::size_t maximum;
    std::vector<double> expected;
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << '"' << c.answer << '"'; }

class NumberListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(NumberListTest, ReadsTheLeadingNumbers) {
    const ListCase& c = GetParam();
    std::array<double, 4> values;
    values.fill(-999.0);
    const std::size_t n = ParseNumberList(c.answer, std::span(values.data(), c.maximum));
    ASSERT_EQ(n, c.expected.size()) << c.answer;
    for (std::size_t i = 0; i < n; ++i) EXPECT_DOUBLE_EQ(values[i], c.expected[i]) << i;
    for (std::size_t i = n; i < values.size(); ++i) EXPECT_EQ(values[i], -999.0) << "untouched " << i;
}

INSTANTIATE_TEST_SUITE_P(Answers, NumberListTest,
                         ::testing::Values(ListCase{"BlanksGoBeforeSplitting", "0.5, 1.25", 2, {0.5, 1.25}},
                                           ListCase{"EvenBlanksInsideANumber", " 1 2 , 3 ", 2, {12, 3}},
                                           ListCase{"OnlyWhatIsNeededIsRead", "12,x", 1, {12}},
                                           ListCase{"BadFirstItemStopsAtOnce", "x,12", 1, {}},
                                           ListCase{"BadLaterItemStopsThere", "1,x,3", 3, {1}},
                                           ListCase{"EmptyItemIsNotANumber", "1,,3", 3, {1}},
                                           ListCase{"ExtraItemsIgnored", "1,2,3,4", 2, {1, 2}},
                                           ListCase{"TrailingCommaEndsTheList", "1,", 3, {1}},
                                           ListCase{"EmptyAnswer", "", 3, {}}, ListCase{"BlankAnswer", "   ", 3, {}},
                                           ListCase{"ThreeIntegers", "2025,7,4", 3, {2025, 7, 4}},
                                           ListCase{"ExponentsAndSigns", "1E3,-2.5e-1,+7", 3, {1000, -0.25, 7}},
                                           ListCase{"NoRoomNothingParsed", "7.9", 0, {}},
                                           ListCase{"OnlySpacesAreBlanks", "1\t,2", 2, {}},
                                           ListCase{"PointWithoutDigitsAfterIt", "5.,1", 2, {}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NumberList, IgnoresTheDecimalCommaLocale) {
    zorbel::test::DecimalCommaLocale german;
    std::array<double, 2> v{};
    ASSERT_EQ(ParseNumberList("0.5,1.25", v), 2u);
    EXPECT_DOUBLE_EQ(v[0], 0.5);
    EXPECT_DOUBLE_EQ(v[1], 1.25);
}

TEST(Truncation, TowardZeroAndOnlyWhenItFits) {
    std::int16_t s = 99;
    EXPECT_TRUE(qrv::TruncateToInt16(7.9, s));
    EXPECT_EQ(s, 7);
    EXPECT_TRUE(qrv::TruncateToInt16(-2.9, s));
    EXPECT_EQ(s, -2);
    EXPECT_TRUE(qrv::TruncateToInt16(32767.99, s));
    EXPECT_EQ(s, 32767);
    EXPECT_TRUE(qrv::TruncateToInt16(-32768.5, s));
    EXPECT_EQ(s, -32768);
    EXPECT_FALSE(qrv::TruncateToInt16(32768.0, s));
    EXPECT_FALSE(qrv::TruncateToInt16(-1e300, s));
    EXPECT_FALSE(qrv::TruncateToInt16(HUGE_VAL, s));
    EXPECT_EQ(s, -32768);
    std::int32_t l = 0;
    EXPECT_TRUE(qrv::TruncateToInt32(2147483647.5, l));
    EXPECT_EQ(l, 2147483647);
    EXPECT_FALSE(qrv::TruncateToInt32(2147483648.0, l));
    EXPECT_FALSE(qrv::TruncateToInt32(-2147483649.0, l));
}

// ---- Chunked pieces ---------------------------------------------------------

TEST(BlockAnswer, ReadsFieldsAndText) {
    const auto p = ParseBlockAnswer(" 1 2 ,5, 5 ,\"ab,\"c\"");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->total, 12);
    EXPECT_EQ(p->end, 5);
    EXPECT_EQ(p->count, 5);
    EXPECT_EQ(p->text, "ab,\"c");  // first to last quote: commas and quotes inside stay
}

TEST(BlockAnswer, NumbersAreTruncatedAndTheTextMayHoldLineFeeds) {
    const auto p = ParseBlockAnswer("9.9,4.2,4,junk\"a\nb\n\"tail");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->total, 9);
    EXPECT_EQ(p->end, 4);
    EXPECT_EQ(p->text, "a\nb\n");
}

TEST(BlockAnswer, RejectsMalformedPieces) {
    for (const char* bad : {
             "",                    // nothing
             "10,5,5",              // no text
             "10,5,5,abcde",        // text without quotes
             "10,5,5,\"abcde",      // one quote only
             "10,5,0,\"\"",         // text must hold at least one character
             "10,5,4,\"abcde\"",    // count differs from the text
             "10,5,-5,\"abcde\"",   // negative count
             "x,5,5,\"abcde\"",     // a field that is not a number
             "10,,5,\"abcde\"",     // an empty field
             "10,5.,5,\"abcde\"",   // number rules: no trailing point
             "1E10,5,5,\"abcde\"",  // does not fit 32 bits
             "10;5;5;\"abcde\"",    // wrong separators
         })
        EXPECT_FALSE(ParseBlockAnswer(bad)) << bad;
}

TEST(ChunkedPiece, DropsTheLeadingField) {
    const auto p = ParseChunkedPiece("#CAT,3,3,3,\"a,b\"");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->text, "a,b");
    EXPECT_FALSE(ParseChunkedPiece("3"));
    EXPECT_FALSE(ParseChunkedPiece("3,3,3,\"abc\""));  // the first field is always dropped
}

// ---- Catalog lines ----------------------------------------------------------

// Entries start as a recognisable pattern so that untouched fields show.
std::vector<CatalogEntry> Prefilled(std::size_t n) {
    std::vector<CatalogEntry> entries(n);
    for (auto& e : entries) {
        std::memset(&e, 0, sizeof e);
        e.kind = 77;
        e.size = 77;
        e.nameLength = 77;
        std::strcpy(e.name, "old");
    }
    return entries;
}

TEST(Catalog, RecordKeepsItsBinaryLayout) {
    // Other hosts declare the same record: field order, natural alignment.
    EXPECT_EQ(offsetof(CatalogEntry, name), 2u);
    EXPECT_EQ(offsetof(CatalogEntry, nameLength), 1004u);
    EXPECT_EQ(offsetof(CatalogEntry, size), 1008u);
    EXPECT_EQ(offsetof(CatalogEntry, directory), 1012u);
    EXPECT_EQ(offsetof(CatalogEntry, tag), 2012u);
    EXPECT_EQ(sizeof(CatalogEntry), 2016u);
}

struct LineCase {
    const char* caseName;
    const char* line;
    std::int16_t kind;
    const char* name;
    std::int32_t nameLength;
    std::int32_t size;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class CatalogLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(CatalogLineTest, FillsWhatTheLineHolds) {
    const LineCase& c = GetParam();
    auto entries = Prefilled(1);
    const std::string text = std::string(c.line) + "\n";
    const auto split = qrv::SplitCatalog(text, "/data/", 42, entries.data(), 1);
    EXPECT_EQ(split.entries, 1u);
    EXPECT_EQ(split.untranslatable, text == "\n" ? 1u : 0u);
    const CatalogEntry& e = entries[0];
    EXPECT_STREQ(e.directory, "/data/");
    EXPECT_EQ(e.tag, 42);
    EXPECT_EQ(e.kind, c.kind);
    EXPECT_STREQ(e.name, c.name);
    EXPECT_EQ(e.nameLength, c.nameLength);
    EXPECT_EQ(e.size, c.size);
}

INSTANTIATE_TEST_SUITE_P(Lines, CatalogLineTest,
                         ::testing::Values(LineCase{"File", "wave.arb,FILE,1234", 2, "wave.arb", 8, 1234},
                                           LineCase{"EmptySizeIsZero", "sub,DIR,", 1, "sub", 3, 0},
                                           LineCase{"SizeTruncated", "a,FILE,12.7", 2, "a", 1, 12},
                                           LineCase{"SizeNotANumberIsZero", "a,FILE,12 ", 2, "a", 1, 0},
                                           LineCase{"SizeSaturates", "a,FILE,1E12", 2, "a", 1, 2147483647},
                                           LineCase{"UnknownWordKeepsTheKind", "a,LINK,5", 77, "a", 1, 5},
                                           LineCase{"WordsAreExact", "a,dir,5", 77, "a", 1, 5},
                                           LineCase{"NoSecondComma", "a,FILE", 77, "a", 1, 77},
                                           LineCase{"StartsWithAComma", ",FILE,5", 77, "", 0, 77},
                                           LineCase{"NothingButDirectoryAndTag", "noComma", 77, "old", 77, 77},
                                           LineCase{"EmptyLine", "", 77, "old", 77, 77}),
                         [](const auto& info) { return std::string(info.param.caseName); });

TEST(Catalog, SplitsLinesUpToTheMaximum) {
    auto entries = Prefilled(3);
    const auto split = qrv::SplitCatalog("a,FILE,1\nb,DIR,\nc,FILE,3\nd,FILE,4\n", "/", 0, entries.data(), 3);
    EXPECT_EQ(split.entries, 3u);
    EXPECT_EQ(split.untranslatable, 0u);
    EXPECT_STREQ(entries[2].name, "c");
}

TEST(Catalog, FinalLineWithoutLineFeedIsTakenOnceAndReported) {
    auto entries = Prefilled(4);
    const auto split = qrv::SplitCatalog("a,FILE,1\nb,FILE,2", "/", 0, entries.data(), 4);
    EXPECT_EQ(split.entries, 2u);
    EXPECT_EQ(split.untranslatable, 1u);
    EXPECT_STREQ(entries[1].name, "b");
    EXPECT_EQ(entries[1].size, 2);
    EXPECT_STREQ(entries[2].name, "old");  // nothing beyond
}

TEST(Catalog, EmptyLinesEachFillAnEntryAndAreReported) {
    auto entries = Prefilled(4);
    const auto split = qrv::SplitCatalog("\n\na,FILE,1\n", "/d/", 5, entries.data(), 4);
    EXPECT_EQ(split.entries, 3u);
    EXPECT_EQ(split.untranslatable, 2u);
    EXPECT_STREQ(entries[0].directory, "/d/");
    EXPECT_STREQ(entries[0].name, "old");
    EXPECT_STREQ(entries[2].name, "a");
}

TEST(Catalog, NoRoomMeansNothingIsWritten) {
    const auto split = qrv::SplitCatalog("a,FILE,1\n", "/", 0, nullptr, 0);
    EXPECT_EQ(split.entries, 0u);
}

TEST(Catalog, LongTextsAreCutToTheirFields) {
    const std::string name(3000, 'n');
    const std::string dir(3000, 'd');
    const std::string line = name + ",FILE,9\n";
    // The record is followed by guard bytes that must survive.
    struct Guarded {
        CatalogEntry entry;
        char guard[64];
    } g;
    std::memset(&g, 0x5A, sizeof g);
    qrv::SplitCatalog(line, dir, 1, &g.entry, 1);
    EXPECT_EQ(std::strlen(g.entry.name), sizeof g.entry.name - 1);
    EXPECT_EQ(g.entry.nameLength, static_cast<std::int32_t>(sizeof g.entry.name - 1));
    EXPECT_EQ(std::strlen(g.entry.directory), sizeof g.entry.directory - 1);
    EXPECT_EQ(g.entry.size, 9);  // the cut name does not shift the other fields
    EXPECT_EQ(g.entry.kind, 2);
    for (char c : g.guard) ASSERT_EQ(c, 0x5A);
}

}  // namespace
