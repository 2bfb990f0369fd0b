// Device memory and clock exports against a scripted LAN instrument: exact
// command texts, the path checks with the appended "/", chunked answers in
// several pieces and the ways they can go wrong, and the clock's number lists.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "QRVHardDll.h"
#include "scripted_udp_peer.h"

namespace {

using namespace std::chrono_literals;
using zorbel::test::ScriptedUdpPeer;

class MemoryCommands : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("QRV_USB_DEVICE");
        qmkHDInitComType(1, peer.addressValue());
    }
    std::vector<std::string> Sent(std::size_t count) {
        peer.WaitForReceived(count, 1s);
        return peer.ReceivedTexts();
    }
    ScriptedUdpPeer peer;
};

// ---- Paths of the directory functions -----------------------------------------

using PathFn = std::function<uint16_t(char*, uint32_t*)>;

const PathFn kCreate = [](char* p, uint32_t* n) { return qmkHDMCreateDirectory(p, n); };
const PathFn kRemove = [](char* p, uint32_t* n) { return qmkHDMDeleteDirectory(p, n); };
const PathFn kChange = [](char* p, uint32_t* n) {
    int16_t result = -99;
    return qmkHDMSetCurrentDirectory(p, n, &result);
};

struct PathCase {
    const char* name;
    PathFn call;
    const char* path;
    uint32_t length;
    uint16_t status;    // with an instrument that answers "0"
    const char* after;  // the caller's buffer afterwards
    uint32_t lengthAfter;
    const char* sent;  // nullptr: no traffic
};

const PathCase kPaths[] = {
    {"CreateAppendsSlash", kCreate, "data", 4, 2, "data/", 5, "MMEMory:MDIRectory \"data/\""},
    {"CreateKeepsSlash", kCreate, "a/b/", 4, 2, "a/b/", 4, "MMEMory:MDIRectory \"a/b/\""},
    {"RemoveAppendsSlash", kRemove, "old", 3, 2, "old/", 4, "MMEMory:RDIRectory \"old/\""},
    {"ChangeSendsWithoutQuotes", kChange, "/x", 2, 2, "/x/", 3, "MMEMory:CDIRectory /x/"},
    {"LengthTooLong", kCreate, "data", 5, 3, "data", 5, nullptr},
    {"LengthTooShort", kCreate, "data", 3, 3, "data", 3, nullptr},
    {"LengthZero", kRemove, "", 0, 3, "", 0, nullptr},
    {"ChangeLengthMismatch", kChange, "data", 40, 3, "data", 40, nullptr},
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

class PathArguments : public MemoryCommands, public ::testing::WithParamInterface<PathCase> {};

TEST_P(PathArguments, AreCheckedAndCompleted) {
    const PathCase& c = GetParam();
    peer.QueueReply("0");
    char buffer[16] = {};
    std::memset(buffer, '#', sizeof buffer);  // room after the path is not NUL-filled
    std::memcpy(buffer, c.path, std::strlen(c.path) + 1);
    uint32_t length = c.length;
    EXPECT_EQ(c.call(buffer, &length), c.status);
    EXPECT_STREQ(buffer, c.after);
    EXPECT_EQ(length, c.lengthAfter);
    if (c.sent == nullptr) {
        EXPECT_FALSE(peer.WaitForReceived(1, 100ms));
    } else {
        EXPECT_EQ(Sent(1), std::vector<std::string>{c.sent});
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, PathArguments, ::testing::ValuesIn(kPaths),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MemoryCommands, MissingArgumentsAreRefusedWithoutTraffic) {
    char path[8] = "a";
    uint32_t length = 1;
    EXPECT_EQ(qmkHDMCreateDirectory(nullptr, &length), 3);
    EXPECT_EQ(qmkHDMCreateDirectory(path, nullptr), 3);
    EXPECT_EQ(qmkHDMSetCurrentDirectory(path, &length, nullptr), 3);
    EXPECT_STREQ(path, "a") << "no slash appended to a refused call";
    EXPECT_EQ(qmkHDMGetCurrentDirectory(nullptr, &length), 3);
    EXPECT_EQ(qmkHDMCopyFile("a", nullptr, 0, 0), 3);
    EXPECT_EQ(qmkHDMDeleteFile(nullptr, 0), 3);
    EXPECT_EQ(qmkHDMDownLoadFile("f", 0, nullptr, 1, 0, 1), 3);
    EXPECT_EQ(qmkHDMUpLoadFile("f", 0, nullptr, 10, &length), 3);
    EXPECT_EQ(qmkHDMGetCatalog(nullptr, 0, nullptr, 0, &length), 3);
    EXPECT_EQ(qmkHDMGetCatalog("/", 0, nullptr, 5, &length), 3);
    EXPECT_EQ(qmkHDMSetDeviceSystemDate(nullptr, 3), 3);
    EXPECT_EQ(qmkHDMGetDeviceSystemTime(nullptr, &length), 3);
    // Positions beyond what the instrument reads as signed 32-bit numbers.
    EXPECT_EQ(qmkHDMDownLoadFile("f", 0, "x", 0x80000000u, 0, 1), 3);
    EXPECT_EQ(qmkHDMDownLoadFile("f", 0, "x", 10, 0x7FFFFFFFu, 1), 3);
    EXPECT_FALSE(peer.WaitForReceived(1, 100ms));
}

TEST_F(MemoryCommands, SetCurrentDirectoryStoresTheNumberAnswered) {
    char path[16] = "sub";
    uint32_t length = 3;
    int16_t result = -99;
    peer.QueueReply("-1.5");
    EXPECT_EQ(qmkHDMSetCurrentDirectory(path, &length, &result), 2);
    EXPECT_EQ(result, -1);
    length = 4;  // "sub/" now
    peer.QueueReply("done");
    EXPECT_EQ(qmkHDMSetCurrentDirectory(path, &length, &result), 3);
    EXPECT_EQ(result, -1);
}

// ---- Commands whose answer only has to arrive ---------------------------------

struct NamedCase {
    const char* name;
    std::function<uint16_t()> call;
    const char* sent;
};

const NamedCase kNamed[] = {
    {"Copy", [] { return qmkHDMCopyFile("a.txt", "b/a.txt", 7, 7); }, "MMEMory:COPY \"a.txt\",\"b/a.txt\""},
    {"Move", [] { return qmkHDMMoveFile("a", "b", 0, 0); }, "MMEMory:MOVE \"a\",\"b\""},
    {"Delete", [] { return qmkHDMDeleteFile("a.txt", 0); }, "MMEMory:DELete \"a.txt\""},
    {"LoadState", [] { return qmkHDMLoadStateFile("s1", 0); }, "MMEMory:LOAD:STATe \"s1\""},
    {"StoreState", [] { return qmkHDMStoreStateFile("s1", 0); }, "MMEMory:STORe:STATe \"s1\""},
    {"DownloadPiece", [] { return qmkHDMDownLoadFile("f.txt", 0, "hello", 10, 5, 5); },
     "MMEMory:DOWNload \"f.txt\", 10, 10, 5, \"hello\""},
};

void PrintTo(const NamedCase& c, std::ostream* os) { *os << c.name; }

class NamedCommand : public MemoryCommands, public ::testing::WithParamInterface<NamedCase> {};

TEST_P(NamedCommand, SendsItsTextAndDoesNotExamineTheAnswer) {
    const NamedCase& c = GetParam();
    peer.QueueReply("-1");
    EXPECT_EQ(c.call(), 2);
    EXPECT_EQ(Sent(1), std::vector<std::string>{c.sent});
}

TEST_F(MemoryCommands, AnAnswerMustArriveAllTheSame) {
    peer.QueueSilence();
    EXPECT_EQ(qmkHDMDeleteFile("a.txt", 0), 1);
}

INSTANTIATE_TEST_SUITE_P(Named, NamedCommand, ::testing::ValuesIn(kNamed),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Current directory -------------------------------------------------------

TEST_F(MemoryCommands, CurrentDirectoryGetsItsSlash) {
    char buffer[32];
    uint32_t length = 99;
    peer.QueueReply("/data");
    EXPECT_EQ(qmkHDMGetCurrentDirectory(buffer, &length), 2);
    EXPECT_STREQ(buffer, "/data/");
    EXPECT_EQ(length, 6u);
    peer.QueueReply("/");
    EXPECT_EQ(qmkHDMGetCurrentDirectory(buffer, &length), 2);
    EXPECT_STREQ(buffer, "/");
    EXPECT_EQ(length, 1u);
    peer.QueueReply(std::string("\0/x", 3));  // bytes arrived, but the text is empty
    EXPECT_EQ(qmkHDMGetCurrentDirectory(buffer, &length), 3);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(Sent(3).front(), "MMEMory:DIRectory?");
}

// ---- Chunked answers ---------------------------------------------------------

TEST_F(MemoryCommands, CatalogInThreePiecesSplitAnywhere) {
    ScriptedUdpPeer::Reply reply;
    reply.datagrams = {"A,30,11,11,\"x.arb,FILE,\"", "B,30,21,10,\"12\nsub,DIR\"", "C,30,30,9,\",\nq,FILE,\""};
    peer.QueueReply(reply);
    CatalogEntry entries[4] = {};
    uint32_t count = 0;
    EXPECT_EQ(qmkHDMGetCatalog("/m/", 9, entries, 4, &count), 2);
    EXPECT_EQ(Sent(1).front(), "MMEMory:CATalog?");
    ASSERT_EQ(count, 3u);
    EXPECT_STREQ(entries[0].name, "x.arb");
    EXPECT_EQ(entries[0].kind, 2);
    EXPECT_EQ(entries[0].size, 12);
    EXPECT_STREQ(entries[1].name, "sub");
    EXPECT_EQ(entries[1].kind, 1);
    EXPECT_STREQ(entries[2].name, "q");
    EXPECT_EQ(entries[2].size, 0);
    for (const auto& e : entries) {
        if (&e == &entries[3]) break;
        EXPECT_STREQ(e.directory, "/m/");
        EXPECT_EQ(e.tag, 9);
    }
}

TEST_F(MemoryCommands, FinalLineWithoutLineFeedIsShownOnceAndTakenOnce) {
    peer.QueueReply("x,17,17,17,\"a,FILE,1\nb,FILE,2\"");
    CatalogEntry entries[4] = {};
    uint32_t count = 0;
    ::testing::internal::CaptureStderr();
    const uint16_t status = qmkHDMGetCatalog("/", 0, entries, 4, &count);
    const std::string shown = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 2);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(entries[1].size, 2);
    EXPECT_EQ(shown, "Cannot translate Readstring!\n");
}

struct BrokenCase {
    const char* name;
    std::vector<std::string> pieces;
    uint16_t status;
};

const BrokenCase kBroken[] = {
    {"EndIsNotPreviousPlusCount", {"1,10,5,5,\"aaaaa\"", "2,10,9,5,\"bbbbb\""}, 3},
    {"TotalChanges", {"1,10,5,5,\"aaaaa\"", "2,11,10,5,\"bbbbb\""}, 3},
    {"EndBeyondTotal", {"1,10,5,5,\"aaaaa\"", "2,10,11,6,\"bbbbbb\""}, 3},
    {"CountDiffersFromText", {"1,10,5,5,\"aaaaa\"", "2,10,10,5,\"bbbb\""}, 3},
    {"NoLeadingField", {"10,10,10,\"abcdefghij\""}, 3},
    {"NeverCompletes", {"1,10,5,5,\"aaaaa\""}, 1},  // the second piece never comes
    // A total beyond 64 MiB ends the read at its first piece (the second
    // would be refused with 3); one at the cap is read on.
    {"TotalBeyondTheCap", {"1,67108865,5,5,\"aaaaa\"", "2,10,10,5,\"bbbbb\""}, 1},
    {"TotalAtTheCap", {"1,67108864,5,5,\"aaaaa\"", "2,10,10,5,\"bbbbb\""}, 3},
};

void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.name; }

class BrokenChunks : public MemoryCommands, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenChunks, EndTheReadWithoutHanging) {
    const BrokenCase& c = GetParam();
    ScriptedUdpPeer::Reply reply;
    reply.datagrams = c.pieces;
    peer.QueueReply(reply);
    CatalogEntry entry{};
    uint32_t count = 77;
    EXPECT_EQ(qmkHDMGetCatalog("/", 0, &entry, 1, &count), c.status);
    EXPECT_EQ(count, 77u);
    peer.QueueReply(reply);
    char buffer[32];
    uint32_t length = 77;
    EXPECT_EQ(qmkHDMUpLoadFile("f", 0, buffer, sizeof buffer, &length), c.status);
    EXPECT_EQ(length, 77u);
}

INSTANTIATE_TEST_SUITE_P(Chunks, BrokenChunks, ::testing::ValuesIn(kBroken),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MemoryCommands, UploadNeedsRoomForTheNul) {
    for (const uint32_t capacity : {5u, 6u}) {
        ScriptedUdpPeer::Reply reply;
        reply.datagrams = {"1,5,3,3,\"hel\"", "2,5,5,2,\"lo\""};
        peer.QueueReply(reply);
        char buffer[8];
        std::memset(buffer, '#', sizeof buffer);
        uint32_t length = 0;
        EXPECT_EQ(qmkHDMUpLoadFile("f.txt", 0, buffer, capacity, &length), capacity == 6 ? 2 : 3);
        EXPECT_EQ(length, 5u) << "the size is told even when it does not fit";
        if (capacity == 6)
            EXPECT_STREQ(buffer, "hello");
        else
            EXPECT_EQ(buffer[0], '#');
    }
    EXPECT_EQ(Sent(2).front(), "MMEMory:UPLoad \"f.txt\"");
}

// ---- Clock -------------------------------------------------------------------

TEST_F(MemoryCommands, SetDateAndTimePadAndNeedTheValuesBack) {
    const uint16_t date[3] = {2025, 7, 4};
    const uint16_t time[3] = {9, 5, 30};
    peer.QueueReply("2025,7,4");
    EXPECT_EQ(qmkHDMSetDeviceSystemDate(date, 3), 2);
    peer.QueueReply("2025, 7, 4.5");  // blanks go, numbers are truncated
    EXPECT_EQ(qmkHDMSetDeviceSystemDate(date, 3), 2);
    peer.QueueReply("2025,7,5");
    EXPECT_EQ(qmkHDMSetDeviceSystemDate(date, 3), 3);
    peer.QueueReply("2025,7");
    EXPECT_EQ(qmkHDMSetDeviceSystemDate(date, 3), 3);
    peer.QueueReply("9,5,30");
    EXPECT_EQ(qmkHDMSetDeviceSystemTime(time, 4), 2);
    EXPECT_EQ(qmkHDMSetDeviceSystemTime(time, 2), 3);  // refused without traffic
    const auto sent = Sent(5);
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[0], "SYSTem:DATE 2025, 7, 4");
    EXPECT_EQ(sent[4], "SYSTem:TIME  9, 5,30");
}

struct ClockReadCase {
    const char* answer;
    uint16_t status;
    uint32_t count;
    int16_t values[3];  // -99: untouched
};

TEST_F(MemoryCommands, GetDateStoresTheCountAndOnlyWholeTriples) {
    const ClockReadCase cases[] = {
        {"2025,7,4", 2, 3, {2025, 7, 4}},    {"2025,7", 3, 2, {-99, -99, -99}},    {"2025,7,4,1", 2, 3, {2025, 7, 4}},
        {"x", 3, 0, {-99, -99, -99}},        {"70000,1,1", 3, 3, {-99, -99, -99}},  // does not fit 16 bits
        {"23.9,-0.5,59", 2, 3, {23, 0, 59}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        peer.QueueReply(c.answer);
        int16_t values[3] = {-99, -99, -99};
        uint32_t count = 99;
        EXPECT_EQ(qmkHDMGetDeviceSystemDate(values, &count), c.status);
        EXPECT_EQ(count, c.count);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(values[i], c.values[i]) << i;
    }
    peer.QueueSilence();
    int16_t values[3] = {-99, -99, -99};
    uint32_t count = 99;
    EXPECT_EQ(qmkHDMGetDeviceSystemTime(values, &count), 1);
    EXPECT_EQ(count, 99u) << "nothing stored without an answer";
    EXPECT_EQ(Sent(7).back(), "SYSTem:TIME?");
}

TEST(MemoryNoOps, AlwaysSucceed) {
    EXPECT_EQ(qmkHDMReadMemoryStateValidFromUser(1, 2, 3, 4), 1);
    EXPECT_EQ(qmkHDMDeleteMemoryStateValidFromUser(1, 2, 3), 1);
}

}  // namespace
