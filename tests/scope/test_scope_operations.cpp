// The instrument operations through the library's C interface against a
// scripted peer: parameter block transfer, field setters, capture, values,
// autoset, run/stop and key lock, with their exact request bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "QMKHardDll.h"
#include "scripted_peer.h"
#include "zorbel/numbers.h"

namespace {

using namespace scopetest;

Bytes Request(Bytes head) {
    head.push_back(qmk::Checksum(head));
    return head;
}

// Loads the protocol table from `text` through a download.
void LoadTable(const std::string& text) {
    ScriptedPeer peer(AnswerSyncs([&](const Bytes&) { return TableFrames(text); }));
    ASSERT_GT(dsoReadInfProtocol(), 0);
}

std::vector<std::uint8_t> FieldBytes(const char* key) {
    std::vector<std::uint8_t> out(dsoGetBytesNumberFromKeyString(key, static_cast<int32_t>(std::strlen(key))));
    std::uint32_t size = 0;
    dsoGetConytolResultFromKeyString(key, out.data(), static_cast<int32_t>(std::strlen(key)), &size);
    return out;
}

class ScopeOperations : public ::testing::Test {
protected:
    void SetUp() override { ResetLibrary(); }
};

TEST_F(ScopeOperations, ParameterBlockRoundTripOfTwelve) {
    const Bytes block{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const Bytes readReply = ReplyFrame(qmk::kCodeReadBlock, block);  // N = 12
    ScriptedPeer peer(AnswerSyncs([&](const Bytes& request) -> std::vector<Bytes> {
        if (request[3] == qmk::kCodeReadBlock) return {readReply};
        if (request[3] == qmk::kCodeWriteBlock) return {ReplyFrame(qmk::kCodeWriteBlock, {0})};
        return {};
    }));
    std::vector<std::uint8_t> buffer(65535, 0xEE);
    EXPECT_EQ(dsoReadAllSysParameter(buffer.data(), 65535), readReply.size());
    EXPECT_TRUE(std::equal(readReply.begin(), readReply.end(), buffer.begin()));
    EXPECT_EQ(buffer[readReply.size()], 0);  // cleared for its size before the reply

    EXPECT_EQ(dsoWriteAllSysParameter(), 6);  // "S", 3, 0, 0x91, 0, checksum
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 6u);  // sync, read, sync, sync, write, sync
    EXPECT_EQ(requests[1], Request({0x53, 2, 0, 0x01}));
    Bytes write{0x53, 12, 0, 0x11};
    write.insert(write.end(), block.begin(), block.end());
    EXPECT_EQ(requests[4], Request(write));
    EXPECT_TRUE(IsSync(requests[5]));
}

TEST_F(ScopeOperations, OversizedRepliesAreCutToTheirBuffers) {
    // The largest frame the read pipe can carry: 65535 bytes, N = 65532.
    const Bytes huge = ReplyFrame(qmk::kCodeReadBlock, Bytes(65530, 0x5A));
    ScriptedPeer peer(AnswerSyncs([&](const Bytes&) { return std::vector<Bytes>{huge}; }));
    std::vector<std::uint8_t> small(8);  // exact size: a longer copy would be reported
    EXPECT_EQ(dsoReadAllSysParameter(small.data(), static_cast<uint32_t>(small.size())), 65535);
    EXPECT_EQ(Bytes(small.begin(), small.begin() + 4), (Bytes{0x53, 0xFC, 0xFF, 0x81}));
    // 65530 data bytes do not fit the one-byte length of a write frame.
    const auto before = peer.Requests().size();
    EXPECT_EQ(dsoWriteAllSysParameter(), 0);
    EXPECT_EQ(peer.Requests().size(), before);
}

const std::string kItemTable = [] {
    std::string text = "[TOTAL] 16 [START]";
    for (int i = 1; i <= 8; ++i)
        text += " [MEASURE-ITEM" + zorbel::formatInt(i) + "] 1 [MEASURE-ITEM" + zorbel::formatInt(i) + "-SRC] 1";
    return text + " [END]";
}();

TEST_F(ScopeOperations, MeasurementItemArgumentsOutsideTheirRangesChangeNothing) {
    LoadTable(kItemTable);
    struct Case {
        std::uint16_t item, source, type;
    };
    for (const Case c : {Case{0, 0, 1}, Case{9, 0, 1}, Case{1, 2, 1}, Case{1, 0, 12}})
        EXPECT_EQ(dsoSetMeasurementItem(c.item, c.source, c.type), 0) << c.item << " " << c.source << " " << c.type;
    for (int i = 1; i <= 8; ++i) EXPECT_EQ(FieldBytes(("MEASURE-ITEM" + zorbel::formatInt(i)).c_str()), Bytes{0});

    EXPECT_EQ(dsoSetMeasurementItem(8, 1, 11), 1);
    EXPECT_EQ(FieldBytes("MEASURE-ITEM8"), Bytes{11});
    EXPECT_EQ(FieldBytes("MEASURE-ITEM8-SRC"), Bytes{1});
}

TEST_F(ScopeOperations, MeasurementItemNeedsItsSourceField) {
    LoadTable("[TOTAL] 1 [START] [MEASURE-ITEM1] 1 [END]");
    EXPECT_EQ(dsoSetMeasurementItem(1, 0, 5), 0);
    EXPECT_EQ(FieldBytes("MEASURE-ITEM1"), Bytes{0});
}

TEST_F(ScopeOperations, TriggerTimeIsWrittenLittleEndian) {
    LoadTable("[TOTAL] 10 [START] [HORIZ-TRIGTIME] 8 [NEXT] 2 [END]");
    EXPECT_EQ(dsoSetHerizonTriggerTime(0x01020304), 1);
    EXPECT_EQ(FieldBytes("HORIZ-TRIGTIME"), (Bytes{4, 3, 2, 1, 0, 0, 0, 0}));

    // A field of three bytes would spill into its neighbour.
    ResetLibrary();
    LoadTable("[TOTAL] 5 [START] [HORIZ-TRIGTIME] 3 [NEXT] 2 [END]");
    EXPECT_EQ(dsoSetHerizonTriggerTime(0x01020304), 0);
    EXPECT_EQ(FieldBytes("NEXT"), (Bytes{0, 0}));
}

TEST_F(ScopeOperations, TimeBaseSetsTheLastByteOfBothFields) {
    LoadTable("[TOTAL] 3 [START] [HORIZ-TB] 2 [HORIZ-WIN-TB] 1 [END]");
    EXPECT_EQ(dsoSetHerizonTimeBase(0x1234, 99), 1);
    EXPECT_EQ(FieldBytes("HORIZ-TB"), (Bytes{0, 0x34}));
    EXPECT_EQ(FieldBytes("HORIZ-WIN-TB"), Bytes{0x34});

    ResetLibrary();
    LoadTable("[TOTAL] 1 [START] [HORIZ-TB] 1 [END]");
    EXPECT_EQ(dsoSetHerizonTimeBase(7, 0), 0);
    EXPECT_EQ(FieldBytes("HORIZ-TB"), Bytes{7});  // the first field stays changed
}

struct CaptureCase {
    const char* what;
    Bytes samplesFrame;  // data after byte 4 of the sample frame
    std::uint8_t announced;
    std::vector<std::int16_t> stored;
};

TEST_F(ScopeOperations, CaptureWidensSignedSamplesAndStoresOnlyWhatArrived) {
    const CaptureCase cases[] = {
        {"three samples", {0x00, 0xFF, 0x00, 0x7F}, 3, {-1, 0, 127}},
        {"announces ten, holds three", {0x00, 0x80, 0x01, 0x02}, 10, {-128, 1, 2}},
        {"announces two, holds three", {0x00, 0x10, 0x20, 0x30}, 2, {16, 32}},
    };
    for (const CaptureCase& c : cases) {
        Bytes body{0x01};
        body.insert(body.end(), c.samplesFrame.begin(), c.samplesFrame.end());
        const Bytes head = ReplyFrame(qmk::kCodeCapture, {0x00, c.announced, 0, 0});
        ScriptedPeer peer(AnswerSyncs([&](const Bytes&) {
            return std::vector<Bytes>{head, ReplyFrame(qmk::kCodeCapture, body)};
        }));
        std::vector<std::int16_t> samples(16, 0x5555);
        std::uint16_t count = 0;
        EXPECT_EQ(dsoGetCollectData(samples.data(), &count, 1), head.size()) << c.what;
        ASSERT_EQ(count, c.stored.size()) << c.what;
        EXPECT_EQ(std::vector<std::int16_t>(samples.begin(), samples.begin() + count), c.stored) << c.what;
        EXPECT_EQ(samples[count], 0x5555) << c.what;
        EXPECT_EQ(peer.Operations(), std::vector<Bytes>{Request({0x53, 4, 0, 0x02, 0x01, 0x01})}) << c.what;
    }
}

TEST_F(ScopeOperations, CaptureOfChannelTwoFailsWithoutTraffic) {
    ScriptedPeer peer(AnswerSyncs(nullptr));
    std::int16_t samples[4];
    std::uint16_t count = 0;
    EXPECT_EQ(dsoGetCollectData(samples, &count, 2), 0);
    EXPECT_TRUE(peer.Requests().empty());
}

TEST_F(ScopeOperations, MeasurementValueIsCutToTheCallersSize) {
    const Bytes value{'2', '.', '5', '0', 'V'};
    ScriptedPeer peer(AnswerSyncs([&](const Bytes&) { return std::vector<Bytes>{ReplyFrame(0x22, value)}; }));
    std::vector<char> text(16, 0);
    EXPECT_EQ(dsoGetMeasurementItemValue(text.data(), 16, 1, 4), value.size() + 5);
    EXPECT_STREQ(text.data(), "2.50V");
    std::vector<char> three(3);
    EXPECT_GT(dsoGetMeasurementItemValue(three.data(), 3, 0, 3), 0);
    EXPECT_EQ(std::string(three.begin(), three.end()), "2.5");
    const auto operations = peer.Operations();
    ASSERT_EQ(operations.size(), 2u);
    EXPECT_EQ(operations[0], Request({0x53, 5, 0, 0x22, 4, 1, 0x01}));
}

TEST_F(ScopeOperations, ControlRequestsAndWhichEndWithASync) {
    ScriptedPeer peer(AnswerSyncs([](const Bytes& request) -> std::vector<Bytes> {
        if (request[3] == qmk::kCodeAutoset) return {ReplyFrame(request[3], {0x11, 0})};
        return {ReplyFrame(request[3], {request[4], request[5]})};
    }));
    EXPECT_EQ(dsoAutosetDevice(), 7);
    EXPECT_EQ(dsoSetDeviceSystemRunStop(0xA5), 7);
    EXPECT_EQ(dsoSetKeyboardCtrlLockState(1), 7);
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 8u);
    // Autoset leaves the closing sync out; the other two have it.
    EXPECT_EQ(requests[1], Request({0x53, 4, 0, 0x13, 0x11, 0x01}));
    EXPECT_TRUE(IsSync(requests[2]) && IsSync(requests[4]) && IsSync(requests[5]) && IsSync(requests[7]));
    EXPECT_EQ(requests[3], Request({0x53, 4, 0, 0x12, 0x00, 0xA5}));
    EXPECT_EQ(requests[6], Request({0x53, 4, 0, 0x12, 0x01, 0x01}));
    // Each sync request carries the next number.
    std::vector<std::uint16_t> numbers;
    for (const Bytes& request : requests)
        if (IsSync(request)) numbers.push_back(SyncNumber(request));
    ASSERT_EQ(numbers.size(), 5u);
    for (std::size_t i = 1; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], static_cast<std::uint16_t>(numbers[0] + i));
}

}  // namespace
