// The oscilloscope link through the library's C interface against a scripted
// peer: sync handshake, retries, time-out, a vanishing device, raw transfers,
// table downloads and the key functions.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "QMKHardDll.h"
#include "scripted_peer.h"

namespace {

using namespace scopetest;
using Clock = std::chrono::steady_clock;

const Bytes kAutosetReply = ReplyFrame(qmk::kCodeAutoset, {0x11, 0x00});

std::vector<Bytes> AutosetOnly(const Bytes& request) {
    if (request[3] == qmk::kCodeAutoset) return {kAutosetReply};
    return {};
}

long ElapsedMs(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class ScopeLink : public ::testing::Test {
protected:
    void SetUp() override { ResetLibrary(); }
};

TEST_F(ScopeLink, SyncReplyWithAnotherNumberDoesNotEndTheSync) {
    ScriptedPeer peer([](const Bytes& request) -> std::vector<Bytes> {
        if (!IsSync(request)) return AutosetOnly(request);
        const std::uint16_t older = static_cast<std::uint16_t>(SyncNumber(request) - 1);
        // The stale echo first: were it taken, the autoset would read the
        // real echo as its reply and have to be sent twice.
        return {ReplyFrame(qmk::kCodeSync, {static_cast<std::uint8_t>(older >> 8), static_cast<std::uint8_t>(older)}),
                SyncEcho(request)};
    });
    EXPECT_EQ(dsoAutosetDevice(), kAutosetReply.size());
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(IsSync(requests[0]));
    EXPECT_EQ(requests[1][3], qmk::kCodeAutoset);
}

TEST_F(ScopeLink, ReplyOfAnotherCodeStartsAFreshSync) {
    int syncs = 0;
    ScriptedPeer peer([&](const Bytes& request) -> std::vector<Bytes> {
        if (!IsSync(request)) return AutosetOnly(request);
        if (++syncs == 1) return {ReplyFrame(qmk::kCodeReadBlock, {1, 2, 3})};
        return {SyncEcho(request)};
    });
    EXPECT_EQ(dsoAutosetDevice(), kAutosetReply.size());
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 3u);
    ASSERT_TRUE(IsSync(requests[0]) && IsSync(requests[1]));
    EXPECT_EQ(SyncNumber(requests[1]), static_cast<std::uint16_t>(SyncNumber(requests[0]) + 1));
}

TEST_F(ScopeLink, CorruptReplyIsFollowedByTheRequestAgain) {
    int tries = 0;
    ScriptedPeer peer(AnswerSyncs([&](const Bytes&) -> std::vector<Bytes> {
        Bytes reply = kAutosetReply;
        if (++tries == 1) reply.back() ^= 0xFF;
        return {reply};
    }));
    EXPECT_EQ(dsoAutosetDevice(), kAutosetReply.size());
    const auto operations = peer.Operations();
    ASSERT_EQ(operations.size(), 2u);
    EXPECT_EQ(operations[0], operations[1]);
}

TEST_F(ScopeLink, SilentDeviceGivesUpAfterFiveSeconds) {
    ScriptedPeer peer([](const Bytes&) { return std::vector<Bytes>{}; });
    const auto start = Clock::now();
    EXPECT_EQ(dsoAutosetDevice(), 0);
    const long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 5000);
    EXPECT_LT(elapsed, 6500);
    // A sync waits for its echo without sending again.
    EXPECT_EQ(peer.Requests().size(), 1u);
}

TEST_F(ScopeLink, DeviceThatDisappearsBetweenTransfersFailsAtOnce) {
    std::atomic<ScriptedPeer*> self{nullptr};
    ScriptedPeer peer(AnswerSyncs([&](const Bytes&) {
        self.load()->Disappear();
        return std::vector<Bytes>{};
    }));
    self = &peer;
    const auto start = Clock::now();
    EXPECT_EQ(dsoSetDeviceSystemRunStop(1), 0);
    EXPECT_EQ(dsoAutosetDevice(), 0);
    EXPECT_LT(ElapsedMs(start), 1000);
}

TEST_F(ScopeLink, NoDeviceFailsEveryTransfer) {
    ::setenv("QMK_SCOPE_DEVICE", "unix:/nonexistent/zorbel/scope.sock", 1);
    std::vector<std::uint8_t> buffer(65535);
    const std::uint8_t byte = 0x53;
    EXPECT_EQ(WriteData(&byte, 1), 0u);
    EXPECT_EQ(ReadData(buffer.data()), 0u);
    EXPECT_EQ(dsoReadInfProtocol(), 0);
    EXPECT_EQ(dsoReadAllSysParameter(buffer.data(), 65535), 0);
    ::setenv("QMK_SCOPE_DEVICE", "tcp:127.0.0.1", 1);  // not a virtual device name
    EXPECT_EQ(WriteData(&byte, 1), 0u);
    // USB with an id no device carries.
    ::unsetenv("QMK_SCOPE_DEVICE");
    ::setenv("QMK_USB_ID", "ffff:fffe", 1);
    EXPECT_EQ(WriteData(&byte, 1), 0u);
    EXPECT_EQ(dsoAutosetDevice(), 0);
    ::unsetenv("QMK_USB_ID");
}

TEST_F(ScopeLink, RawTransfersCarryExactBytes) {
    const Bytes answer{0x53, 0x01, 0x02, 0x03};
    ScriptedPeer peer([&](const Bytes&) { return std::vector<Bytes>{answer}; });
    const std::uint8_t out[] = {0x53, 0x00, 0xFF};
    EXPECT_EQ(WriteData(out, sizeof out), 1u);
    std::vector<std::uint8_t> buffer(65535);
    EXPECT_EQ(ReadData(buffer.data()), answer.size());
    EXPECT_TRUE(std::equal(answer.begin(), answer.end(), buffer.begin()));
    EXPECT_EQ(peer.Requests(), std::vector<Bytes>{Bytes(out, out + sizeof out)});
    EXPECT_EQ(WriteData(out, 0), 0u);
    EXPECT_EQ(WriteData(nullptr, 3), 0u);
}

// A table short enough that its frame's length high byte is 0.
std::vector<Bytes> SmallTables(const Bytes& request) {
    const std::string name(request.begin() + 5, request.end() - 1);
    if (name == "/protocol.inf") return TableFrames("[TOTAL] 5 [START] [A] 2 [B] 3 [C] 1");
    if (name == "/keyprotocol.inf") return TableFrames("[TOTAL] 1 [START] [KEY-F1] 1 [END]");
    return {};
}

Bytes TableRequest(const std::string& name) {
    Bytes request{0x53, static_cast<std::uint8_t>(name.size() + 3), 0, 0x10, 0x00};
    for (char c : name) request.push_back(static_cast<std::uint8_t>(c));
    request.push_back(0x66);
    return request;
}

TEST_F(ScopeLink, TableDownloadsAndKeyFunctions) {
    ScriptedPeer peer(AnswerSyncs(SmallTables));
    const auto firstFrame = SmallTables(TableRequest("/protocol.inf"))[0];
    EXPECT_EQ(dsoReadInfProtocol(), firstFrame.size());
    EXPECT_EQ(dsoReadInfKeyProtocol(), SmallTables(TableRequest("/keyprotocol.inf"))[0].size());
    EXPECT_EQ(peer.Operations(), (std::vector<Bytes>{TableRequest("/protocol.inf"), TableRequest("/keyprotocol.inf")}));

    EXPECT_EQ(dsoGetBytesNumberFromKeyString("A", 1), 2);
    EXPECT_EQ(dsoGetBytesNumberFromKeyString("B", 1), 3);
    EXPECT_EQ(dsoGetBytesNumberFromKeyString("C", 1), 0);       // beyond the total
    EXPECT_EQ(dsoGetBytesNumberFromKeyString("BX", 1), 3);      // the first key-length bytes
    EXPECT_EQ(dsoGetBytesNumberFromKeyString("B", 0), 0);       // no lookup at all
    EXPECT_EQ(dsoGetBytesNumberFromKeyString("KEY-F1", 6), 0);  // key table is not consulted

    const std::uint8_t value[] = {7, 8, 9};
    EXPECT_EQ(dsoSetKeyStringToConytolValue("B", value, 1, 2), 0);  // B holds 3 bytes
    std::uint8_t out[3] = {};
    std::uint32_t size = 0;
    ASSERT_EQ(dsoGetConytolResultFromKeyString("B", out, 1, &size), 1);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(Bytes(out, out + 3), (Bytes{0, 0, 0}));

    EXPECT_EQ(dsoSetKeyStringToConytolValue("B", value, 1, 3), 1);
    ASSERT_EQ(dsoGetConytolResultFromKeyString("B", out, 1, &size), 1);
    EXPECT_EQ(Bytes(out, out + 3), (Bytes{7, 8, 9}));
    EXPECT_EQ(dsoGetConytolResultFromKeyString("Z", out, 1, &size), 0);
    EXPECT_EQ(dsoGetConytolResultFromKeyString("B", out, -1, &size), 0);
}

TEST_F(ScopeLink, TableWithoutTotalStillReportsItsFrame) {
    const auto frames = TableFrames("[SIZE] 5 [START] [A] 5 [");
    ScriptedPeer peer(AnswerSyncs([&](const Bytes&) { return frames; }));
    EXPECT_EQ(dsoReadInfProtocol(), frames[0].size());
    EXPECT_EQ(dsoGetBytesNumberFromKeyString("A", 1), 0);
}

TEST_F(ScopeLink, DefaultPausesAreTheInstrumentsOwn) {
    ScriptedPeer peer(AnswerSyncs(SmallTables));
    ASSERT_GT(dsoReadInfProtocol(), 0);
    ::setenv("ZORBEL_TEST_PAUSE_PERCENT", "100", 1);
    const std::uint8_t value[] = {1, 2};
    auto start = Clock::now();
    EXPECT_EQ(dsoSetKeyStringToConytolValue("A", value, 1, 2), 1);
    const long store = ElapsedMs(start);
    start = Clock::now();
    EXPECT_EQ(dsoGetBytesNumberFromKeyString("A", 1), 2);
    const long keyRead = ElapsedMs(start);
    ::setenv("ZORBEL_TEST_PAUSE_PERCENT", "0", 1);
    EXPECT_GE(store, 110);  // 100 ms inside a successful store, 10 ms after it
    EXPECT_GE(keyRead, 5);
}

}  // namespace
