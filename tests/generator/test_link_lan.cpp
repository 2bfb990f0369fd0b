// The LAN link over real loopback UDP against a scripted instrument: modes,
// waiting, late and foreign datagrams, answer sizes and the link exports.
#include "QRVHardDll.h"
#include "link.h"
#include "link_state_view.h"
#include "loopback.h"
#include "scripted_udp_peer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <future>
#include <string>

namespace {

using namespace std::chrono_literals;
using qrv::ExchangeMode;
using qrv::SendCommand;
using zorbel::test::ScriptedUdpPeer;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kProbe = 0, kWriteOnly = 1, kReadOnly = 2, kWriteRead = 3;

class LanLink : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(qmkHDInitComType(1, peer.addressValue()), 1); }

    ScriptedUdpPeer peer;
};

TEST_F(LanLink, WriteReadReturnsAsSoonAsTheAnswerArrives) {
    peer.QueueReply("1000");
    std::string answer = "old";
    const auto start = Clock::now();
    EXPECT_EQ(SendCommand("SOURce1:FREQuency?", answer, kWriteRead), qrv::kExchangeDone);
    EXPECT_LT(Clock::now() - start, 300ms) << "must not sleep the whole 500 ms";
    EXPECT_EQ(answer, "1000");
    EXPECT_EQ(peer.ReceivedTexts(), std::vector<std::string>{"SOURce1:FREQuency?"});
}

TEST_F(LanLink, ModesSendAndReadOnlyWhatTheyShould) {
    std::string answer = "untouched";
    EXPECT_EQ(SendCommand("DISPlay:REFResh", answer, kWriteOnly), qrv::kExchangeDone);
    EXPECT_EQ(answer, "untouched");
    EXPECT_EQ(SendCommand("ignored", answer, kProbe), qrv::kExchangeDone);
    // The reply is queued once the peer has the first command, which must not take it.
    ASSERT_TRUE(peer.WaitForReceived(1));
    // Only the low 16 bits count: 0x10003 is WriteRead.
    peer.QueueReply("x");
    EXPECT_EQ(SendCommand("Q?", answer, 0x10000u | kWriteRead), qrv::kExchangeDone);
    EXPECT_EQ(answer, "x");
    ASSERT_TRUE(peer.WaitForReceived(2));
    EXPECT_EQ(peer.ReceivedTexts(), (std::vector<std::string>{"DISPlay:REFResh", "Q?"}));
}

TEST_F(LanLink, UnknownModeTouchesNothing) {
    std::string answer = "untouched";
    for (std::uint32_t mode : {4u, 5u, 0xFFFFu})
        EXPECT_EQ(SendCommand("OUTPut1 ON", answer, mode), qrv::kExchangeFailed);
    EXPECT_EQ(answer, "untouched");
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(peer.Received().empty());
}

TEST_F(LanLink, LateAnswerIsLostThenReturnedByTheNextReadOnly) {
    peer.QueueReply("late", 600ms);
    std::string answer = "before";
    const auto start = Clock::now();
    EXPECT_EQ(SendCommand("SOURce1:VOLTage?", answer, kWriteRead), qrv::kExchangeFailed);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 490ms);
    EXPECT_LT(waited, 590ms);
    EXPECT_EQ(answer, "before") << "a failed exchange leaves the answer alone";
    // ReadOnly discards nothing: it picks up the late answer.
    EXPECT_EQ(SendCommand("", answer, kReadOnly), qrv::kExchangeDone);
    EXPECT_EQ(answer, "late");
    EXPECT_EQ(peer.Received().size(), 1u) << "ReadOnly sends nothing";
}

TEST_F(LanLink, StaleAnswerIsNeverTakenForTheNextCommand) {
    peer.QueueReply("stale", 520ms);
    std::string answer;
    EXPECT_EQ(SendCommand("SOURce1:VOLTage?", answer, kWriteRead), qrv::kExchangeFailed);
    std::this_thread::sleep_for(100ms);  // the stale answer is now waiting in the socket
    peer.QueueReply("fresh");
    EXPECT_EQ(SendCommand("SOURce1:FREQuency?", answer, kWriteRead), qrv::kExchangeDone);
    EXPECT_EQ(answer, "fresh");
}

TEST_F(LanLink, DatagramsFromOtherHostsAreDroppedAndTheWaitGoesOn) {
    peer.QueueReply("genuine", 200ms);
    std::string answer;
    auto exchange = std::async(std::launch::async, [&] { return SendCommand("OUTPut1?", answer, kWriteRead); });
    ASSERT_TRUE(peer.WaitForReceived(1));
    const sockaddr_in library = peer.Received().front().from;
    zorbel::test::SendDatagramFrom(zorbel::test::UniqueLoopbackAddress(), library, "forged");
    EXPECT_EQ(exchange.get(), qrv::kExchangeDone);
    EXPECT_EQ(answer, "genuine");
}

TEST_F(LanLink, LaterCommandsFollowTheAnswersSourcePort) {
    ScriptedUdpPeer::Reply reply;
    reply.datagrams = {"ON"};
    reply.fromAlternatePort = true;
    peer.QueueReply(reply);
    std::string answer;
    ASSERT_EQ(SendCommand("OUTPut1?", answer, kWriteRead), qrv::kExchangeDone);
    EXPECT_EQ(SendCommand("DISPlay:REFResh", answer, kWriteOnly), qrv::kExchangeDone);
    ASSERT_TRUE(peer.WaitForReceived(2));
    const auto received = peer.Received();
    EXPECT_FALSE(received[0].toAlternatePort);
    EXPECT_TRUE(received[1].toAlternatePort);
    // A re-open starts again at port 9966.
    qmkHDInitComType(1, peer.addressValue());
    EXPECT_EQ(SendCommand("DISPlay:REFResh", answer, kWriteOnly), qrv::kExchangeDone);
    ASSERT_TRUE(peer.WaitForReceived(3));
    EXPECT_FALSE(peer.Received()[2].toAlternatePort);
}

TEST_F(LanLink, AnswerSizesAndEmbeddedNuls) {
    struct Case {
        std::string sent;
        std::size_t expectedLength;
    };
    const Case cases[] = {
        {std::string(qrv::kMaxBufLen, '7'), qrv::kMaxBufLen},         // largest answer, no NUL anywhere
        {std::string(qrv::kMaxBufLen + 2000, '8'), qrv::kMaxBufLen},  // cut to the buffer
        {std::string("AB\0CD", 5), 2},                                // taken up to the first NUL
        {std::string(1, '\0'), 0},                                    // received, but empty text
    };
    for (const auto& c : cases) {
        peer.QueueReply(c.sent);
        std::string answer = "old";
        EXPECT_EQ(SendCommand("Q?", answer, kWriteRead), qrv::kExchangeDone);
        EXPECT_EQ(answer.size(), c.expectedLength);
        EXPECT_EQ(answer, c.sent.substr(0, c.expectedLength));
    }
}

TEST_F(LanLink, EmptyDatagramCountsAsNoAnswer) {
    peer.QueueReply("");
    std::string answer = "old";
    EXPECT_EQ(SendCommand("Q?", answer, kWriteRead), qrv::kExchangeFailed);
    EXPECT_EQ(answer, "old");
}

TEST_F(LanLink, CommandsLongerThanTheBufferAreRefusedNotCut) {
    std::string answer;
    const std::string longest(qrv::kMaxBufLen - 1, 'a');
    EXPECT_EQ(SendCommand(longest, answer, kWriteOnly), qrv::kExchangeDone);
    EXPECT_EQ(SendCommand(longest + "b", answer, kWriteOnly), qrv::kExchangeFailed);
    ASSERT_TRUE(peer.WaitForReceived(1));
    std::this_thread::sleep_for(30ms);
    ASSERT_EQ(peer.Received().size(), 1u);
    EXPECT_EQ(peer.Received()[0].bytes, longest);
}

TEST_F(LanLink, BinaryCommandsGoOutByTheirExactLength) {
    const std::string packet("SOURce1:DATA:DAC16:BIN 4,4,4,#2 8\x00\x01\xFF\x7F\x00\x00\x01\x80;\r\n", 44);
    std::string answer;
    EXPECT_EQ(SendCommand(packet, answer, kWriteOnly), qrv::kExchangeDone);
    ASSERT_TRUE(peer.WaitForReceived(1));
    EXPECT_EQ(peer.Received()[0].bytes, packet);
}

TEST_F(LanLink, RefreshSendsWithoutWaiting) {
    const auto start = Clock::now();
    EXPECT_EQ(qmkHDRefreshDevice(), 2);
    EXPECT_LT(Clock::now() - start, 100ms);
    ASSERT_TRUE(peer.WaitForReceived(1));
    EXPECT_EQ(peer.Received()[0].bytes, "DISPlay:REFResh");
}

TEST(LanLinkAlone, ConnectReportsAnOpenSocketWithoutTraffic) {
    // Nobody listens on this address: connect still succeeds, a query fails.
    const std::string nobody = zorbel::test::UniqueLoopbackAddress();
    qmkHDInitComType(1, zorbel::test::AddressValue(nobody));
    EXPECT_EQ(qmkHDDeviceConnect(), 1);
    double value = 0;
    EXPECT_EQ(qmkHDReadChannelFrequency(0, &value, 1e6, 0), 1);
}

TEST(LanLinkAlone, InitComTypeStoresTheAddressWhateverTheType) {
    qmkHDInitComType(0, 0x0A000102);
    EXPECT_EQ(qrv::CurrentLanAddress(), "10.0.1.2");
    EXPECT_EQ(qrv::CurrentComType(), 0);
    EXPECT_TRUE(qrv::LanLinkOpen()) << "the UDP socket is re-opened even for USB";
    qmkHDInitComType(7, 0xFFFFFFFF);
    EXPECT_EQ(qrv::CurrentLanAddress(), "255.255.255.255");
    EXPECT_EQ(qrv::CurrentComType(), 7);
    qmkHDInitComType(1, 0x7F000001);
    EXPECT_EQ(qrv::CurrentLanAddress(), "127.0.0.1");
}

}  // namespace
