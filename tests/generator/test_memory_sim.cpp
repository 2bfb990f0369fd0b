// Device memory and clock against zorbel-gensim over LAN and the virtual USB
// device: a file-system session with directories, pieces up and down, stored
// states and catalogs in one, two, three and many pieces; broken and
// unfinished chunked answers; the clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "QRVHardDll.h"
#include "sim_process.h"

namespace {

using zorbel::test::Gensim;
using zorbel::test::GensimConfig;

enum class Link { Lan, Usb };

std::string LinkName(Link link) { return link == Link::Lan ? "Lan" : "Usb"; }

std::unique_ptr<Gensim> StartOn(Link link, std::vector<std::string> args) {
    GensimConfig config;
    config.extraArgs = std::move(args);
    std::string error;
    auto sim = Gensim::Start(config, &error);
    EXPECT_TRUE(sim) << error;
    if (!sim) return sim;
    if (link == Link::Usb) {
        setenv("QRV_USB_DEVICE", sim->usbDevice().c_str(), 1);
        qmkHDInitComType(0, sim->lanAddressValue());
    } else {
        unsetenv("QRV_USB_DEVICE");
        qmkHDInitComType(1, sim->lanAddressValue());
    }
    return sim;
}

// The catalog as name -> (kind, size); kind -1 when the word was not DIR/FILE.
std::map<std::string, std::pair<int, int>> Catalog(uint16_t* status = nullptr) {
    CatalogEntry entries[16];
    for (auto& e : entries) {
        std::memset(&e, 0, sizeof e);
        e.kind = -1;
    }
    uint32_t count = 0;
    const uint16_t s = qmkHDMGetCatalog("here/", 3, entries, 16, &count);
    if (status != nullptr) *status = s;
    std::map<std::string, std::pair<int, int>> listing;
    for (uint32_t i = 0; i < count && s == 2; ++i) {
        EXPECT_STREQ(entries[i].directory, "here/");
        EXPECT_EQ(entries[i].tag, 3);
        EXPECT_EQ(entries[i].nameLength, static_cast<int32_t>(std::strlen(entries[i].name)));
        listing[entries[i].name] = {entries[i].kind, entries[i].size};
    }
    return listing;
}

// Downloads `text` in pieces of `piece` characters, as a host does.
void Download(const char* name, const std::string& text, std::size_t piece) {
    for (std::size_t start = 0; start < text.size(); start += piece) {
        const std::string part = text.substr(start, piece);
        ASSERT_EQ(qmkHDMDownLoadFile(name, 0, part.c_str(), static_cast<uint32_t>(text.size()),
                                     static_cast<uint32_t>(start), static_cast<uint32_t>(part.size())),
                  2);
    }
}

std::string Upload(const char* name, uint16_t expected = 2) {
    std::vector<char> buffer(4096, '#');
    uint32_t length = 0;
    EXPECT_EQ(qmkHDMUpLoadFile(name, 0, buffer.data(), static_cast<uint32_t>(buffer.size()), &length), expected);
    return expected == 2 ? std::string(buffer.data(), length) : std::string();
}

class MemorySession : public ::testing::TestWithParam<Link> {
protected:
    void SetUp() override {
        sim = StartOn(GetParam(), {"--piece-size", "40"});
        ASSERT_TRUE(sim);
    }
    void TearDown() override { unsetenv("QRV_USB_DEVICE"); }
    std::unique_ptr<Gensim> sim;
};

TEST_P(MemorySession, DirectoriesFilesAndStates) {
    char dir[64];
    uint32_t length = 0;
    ASSERT_EQ(qmkHDMGetCurrentDirectory(dir, &length), 2);
    EXPECT_STREQ(dir, "/");

    char path[16] = "data";
    length = 4;
    ASSERT_EQ(qmkHDMCreateDirectory(path, &length), 2);
    EXPECT_EQ(length, 5u);
    int16_t result = -99;
    ASSERT_EQ(qmkHDMSetCurrentDirectory(path, &length, &result), 2);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(qmkHDMGetCurrentDirectory(dir, &length), 2);
    EXPECT_STREQ(dir, "/data/");  // the instrument says "/data"
    EXPECT_EQ(length, 6u);

    // 100 characters with line feeds, commas and quotes; three pieces each way.
    std::string text;
    for (int i = 0; i < 10; ++i) text += "r" + std::to_string(i) + ",\"x\",12\n";
    text.resize(100, '.');
    Download("notes.txt", text, 45);
    EXPECT_EQ(Upload("notes.txt"), text);

    ASSERT_EQ(qmkHDMCopyFile("notes.txt", "copy.txt", 0, 0), 2);
    ASSERT_EQ(qmkHDMStoreStateFile("setup1", 0), 2);
    ASSERT_EQ(qmkHDMMoveFile("copy.txt", "/WAVE/moved.txt", 0, 0), 2);
    auto listing = Catalog();
    EXPECT_EQ(listing.size(), 2u);
    EXPECT_EQ(listing["notes.txt"], std::make_pair(2, 100));
    EXPECT_EQ(listing["setup1"].first, -1) << "a stored state is neither DIR nor FILE";
    EXPECT_EQ(qmkHDMLoadStateFile("setup1", 0), 2);

    ASSERT_EQ(qmkHDMDeleteFile("notes.txt", 0), 2);
    ASSERT_EQ(qmkHDMDeleteFile("setup1", 0), 2);
    char up[8] = "..";
    length = 2;
    ASSERT_EQ(qmkHDMSetCurrentDirectory(up, &length, &result), 2);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Catalog()["data"], std::make_pair(1, 0));
    length = 5;
    ASSERT_EQ(qmkHDMDeleteDirectory(path, &length), 2);
    EXPECT_EQ(Catalog().count("data"), 0u);

    // The instrument's refusal is its answer, which these calls do not examine.
    char missing[16] = "nowhere";
    length = 7;
    EXPECT_EQ(qmkHDMSetCurrentDirectory(missing, &length, &result), 2);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(Upload("nothing.txt", 3), "");
}

TEST_P(MemorySession, ClockSetAndRead) {
    const uint16_t date[3] = {2031, 2, 28};
    const uint16_t time[3] = {9, 5, 0};
    ASSERT_EQ(qmkHDMSetDeviceSystemDate(date, 3), 2);
    ASSERT_EQ(qmkHDMSetDeviceSystemTime(time, 3), 2);
    int16_t values[3] = {};
    uint32_t count = 0;
    ASSERT_EQ(qmkHDMGetDeviceSystemDate(values, &count), 2);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(values[0], 2031);
    EXPECT_EQ(values[1], 2);
    EXPECT_EQ(values[2], 28);
    ASSERT_EQ(qmkHDMGetDeviceSystemTime(values, &count), 2);
    EXPECT_EQ(values[0], 9);
    EXPECT_EQ(values[1], 5);
    EXPECT_LE(values[2], 2);  // the clock goes on
    const uint16_t impossible[3] = {2031, 2, 29};
    EXPECT_EQ(qmkHDMSetDeviceSystemDate(impossible, 3), 3) << "the instrument keeps 28 February";
}

INSTANTIATE_TEST_SUITE_P(Links, MemorySession, ::testing::Values(Link::Lan, Link::Usb),
                         [](const auto& info) { return LinkName(info.param); });

// The root catalog (40 characters: three lines) in pieces of various sizes.
struct PieceCase {
    const char* name;
    Link link;
    std::vector<std::string> simArgs;
    uint16_t status;
};

void PrintTo(const PieceCase& c, std::ostream* os) { *os << c.name; }

class CatalogPieces : public ::testing::TestWithParam<PieceCase> {
protected:
    void TearDown() override { unsetenv("QRV_USB_DEVICE"); }
};

TEST_P(CatalogPieces, ListTheRootOrFail) {
    const PieceCase& c = GetParam();
    auto sim = StartOn(c.link, c.simArgs);
    ASSERT_TRUE(sim);
    uint16_t status = 0;
    const auto listing = Catalog(&status);
    EXPECT_EQ(status, c.status);
    if (c.status != 2) return;
    EXPECT_EQ(listing.size(), 3u);
    EXPECT_EQ(listing.at("WAVE"), std::make_pair(1, 0));
    EXPECT_EQ(listing.at("STATE"), std::make_pair(1, 0));
    EXPECT_EQ(listing.at("readme.txt"), std::make_pair(2, 57));
    EXPECT_EQ(Upload("/readme.txt").size(), 57u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CatalogPieces,
                         ::testing::Values(PieceCase{"OnePieceLan", Link::Lan, {}, 2},
                                           PieceCase{"TwoPiecesLan", Link::Lan, {"--piece-size", "20"}, 2},
                                           PieceCase{"ThreePiecesUsb", Link::Usb, {"--piece-size", "14"}, 2},
                                           PieceCase{"ThreePiecesLan", Link::Lan, {"--piece-size", "14"}, 2},
                                           PieceCase{"CharacterByCharacterUsb", Link::Usb, {"--piece-size", "1"}, 2},
                                           // The second piece's end is not the first end plus its count.
                                           PieceCase{"GapLan", Link::Lan, {"--piece-size", "20", "--piece-gap"}, 3},
                                           PieceCase{"GapUsb", Link::Usb, {"--piece-size", "14", "--piece-gap"}, 3},
                                           // The second piece is lost: the read ends at the receive time-out.
                                           PieceCase{"StallLan", Link::Lan, {"--piece-size", "20", "--drop", "2"}, 1},
                                           PieceCase{"StallUsb", Link::Usb, {"--piece-size", "20", "--drop", "2"}, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ClockOverLinks, ADateOfTwoNumbers) {
    for (const Link link : {Link::Lan, Link::Usb}) {
        SCOPED_TRACE(LinkName(link));
        auto sim = StartOn(link, {"--answer", "2025,7"});
        ASSERT_TRUE(sim);
        int16_t values[3] = {-9, -9, -9};
        uint32_t count = 0;
        EXPECT_EQ(qmkHDMGetDeviceSystemDate(values, &count), 3);
        EXPECT_EQ(count, 2u);
        EXPECT_EQ(values[0], -9);
        unsetenv("QRV_USB_DEVICE");
    }
}

}  // namespace
