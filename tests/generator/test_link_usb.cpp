// The USB link over the virtual device against a scripted instrument that
// checks every byte: headers, tags and complements, lengths, reply handling.
#include "QRVHardDll.h"
#include "link.h"
#include "scripted_usb_peer.h"
#include "usb_link.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

using namespace std::chrono_literals;
using qrv::SendCommand;
using zorbel::test::ScriptedUsbPeer;
using zorbel::test::UsbCommandPacket;
using zorbel::test::UsbReadRequest;
using zorbel::test::UsbReplyPacket;

constexpr std::uint32_t kProbe = 0, kWriteOnly = 1, kReadOnly = 2, kWriteRead = 3;

class UsbLink : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("QRV_USB_DEVICE", peer.device().c_str(), 1);
        qmkHDInitComType(0, 0x7F000001);
    }
    void TearDown() override { unsetenv("QRV_USB_DEVICE"); }

    // The packets of the one exchange the test made (waits until it is closed).
    std::vector<std::string> OnlyExchange() {
        EXPECT_TRUE(peer.WaitForClosedConnections(1));
        const auto connections = peer.Connections();
        EXPECT_EQ(connections.size(), 1u);
        return connections.empty() ? std::vector<std::string>{} : connections[0];
    }

    ScriptedUsbPeer peer;
};

TEST_F(UsbLink, WriteReadSendsTagZeroThenAReadRequestWithTagOne) {
    peer.QueueReply("1000");
    std::string answer;
    ASSERT_EQ(SendCommand("SOURce1:FREQuency?", answer, kWriteRead), qrv::kExchangeDone);
    EXPECT_EQ(answer, "1000");
    const auto packets = OnlyExchange();
    ASSERT_EQ(packets.size(), 2u);
    // Byte by byte: type 1, tag 0, complement 0xFF, length 18, end of message.
    EXPECT_EQ(packets[0], std::string("\x01\x00\xFF\x00\x12\x00\x00\x00\x01\x00\x00\x00", 12) + "SOURce1:FREQuency?");
    // Type 2, tag 1, complement 0xFE, 10255 bytes requested (0x280F), flag 0.
    EXPECT_EQ(packets[1], std::string("\x02\x01\xFE\x00\x0F\x28\x00\x00\x00\x00\x00\x00", 12));
}

TEST_F(UsbLink, EachModeMakesItsOwnConnectionAndPackets) {
    std::string answer = "untouched";
    EXPECT_EQ(SendCommand("OUTPut1 ON", answer, kWriteOnly), qrv::kExchangeDone);
    EXPECT_EQ(answer, "untouched");
    peer.QueueReply("piece");
    EXPECT_EQ(SendCommand("", answer, kReadOnly), qrv::kExchangeDone);
    EXPECT_EQ(answer, "piece");
    EXPECT_EQ(SendCommand("", answer, kProbe), qrv::kExchangeDone);
    ASSERT_TRUE(peer.WaitForClosedConnections(3));
    const auto connections = peer.Connections();
    ASSERT_EQ(connections.size(), 3u);
    EXPECT_EQ(connections[0], std::vector<std::string>{UsbCommandPacket(0, "OUTPut1 ON")});
    EXPECT_EQ(connections[1], std::vector<std::string>{UsbReadRequest(0)}) << "a new exchange starts at tag 0";
    EXPECT_TRUE(connections[2].empty()) << "a probe only opens and closes the device";
}

TEST_F(UsbLink, UnknownModeDoesNotEvenOpenTheDevice) {
    std::string answer = "untouched";
    EXPECT_EQ(SendCommand("OUTPut1 ON", answer, 4), qrv::kExchangeFailed);
    EXPECT_EQ(answer, "untouched");
    EXPECT_EQ(SendCommand("", answer, kProbe), qrv::kExchangeDone);  // a marker exchange
    ASSERT_TRUE(peer.WaitForClosedConnections(1));
    EXPECT_EQ(peer.Connections().size(), 1u);
}

TEST_F(UsbLink, OverlongReplyHeaderIsReportedAndCut) {
    ScriptedUsbPeer::Reply reply;
    reply.payload = std::string(20000, 'Z');
    peer.QueueReply(reply);
    std::string answer;
    testing::internal::CaptureStderr();
    EXPECT_EQ(SendCommand("MMEMory:UPLoad \"big\"", answer, kWriteRead), qrv::kExchangeDone);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(message, "After ReadFile:nchars(20000) > MAX_BUF_LEN\n");
    EXPECT_EQ(answer, std::string(qrv::kMaxBufLen, 'Z'));
}

TEST_F(UsbLink, ReplyLengthIsNeverTrustedBeyondWhatArrived) {
    struct Case {
        std::string payload;
        std::uint32_t claimed;
        std::string expected;
        bool message;
    };
    const Case cases[] = {
        {"hello", 100, "hello", false},              // claims more than it carries
        {"hello world", 5, "hello", false},          // claims less: only the claimed bytes
        {"abc", 0xFFFFFFFFu, "abc", true},           // absurd length: reported unsigned, no overrun
        {std::string("AB\0CD", 5), 5, "AB", false},  // taken up to the first NUL
    };
    for (const auto& c : cases) {
        ScriptedUsbPeer::Reply reply;
        reply.payload = c.payload;
        reply.claimedLength = c.claimed;
        peer.QueueReply(reply);
        std::string answer = "old";
        testing::internal::CaptureStderr();
        EXPECT_EQ(SendCommand("Q?", answer, kWriteRead), qrv::kExchangeDone);
        const std::string message = testing::internal::GetCapturedStderr();
        EXPECT_EQ(answer, c.expected);
        EXPECT_EQ(message.empty(), !c.message) << message;
        if (c.message) {
            EXPECT_EQ(message, "After ReadFile:nchars(4294967295) > MAX_BUF_LEN\n");
        }
    }
}

TEST_F(UsbLink, RepliesWithoutAnswerBytesFailTheExchange) {
    ScriptedUsbPeer::Reply shortPacket;
    shortPacket.rawPacket = std::string("\x02\x01\xFE", 3);  // not even a whole header
    const ScriptedUsbPeer::Reply emptyReply;                 // header with length 0
    for (const auto& reply : {shortPacket, emptyReply}) {
        peer.QueueReply(reply);
        std::string answer = "old";
        EXPECT_EQ(SendCommand("Q?", answer, kWriteRead), qrv::kExchangeFailed);
        EXPECT_EQ(answer, "old");
    }
}

TEST_F(UsbLink, SilentInstrumentTimesOutAfterTwoSeconds) {
    ScriptedUsbPeer::Reply silent;
    silent.silent = true;
    peer.QueueReply(silent);
    std::string answer = "old";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendCommand("Q?", answer, kWriteRead), qrv::kExchangeFailed);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 1900ms);
    EXPECT_LT(waited, 3000ms);
    EXPECT_EQ(answer, "old");
}

TEST_F(UsbLink, EmptyCommandIsNotWritten) {
    std::string answer;
    EXPECT_EQ(SendCommand("", answer, kWriteOnly), qrv::kExchangeFailed);
    EXPECT_TRUE(OnlyExchange().empty());
}

TEST_F(UsbLink, LongestCommandGoesOutWhole) {
    const std::string longest(qrv::kMaxBufLen - 1, 'c');
    std::string answer;
    EXPECT_EQ(SendCommand(longest, answer, kWriteOnly), qrv::kExchangeDone);
    EXPECT_EQ(OnlyExchange(), std::vector<std::string>{UsbCommandPacket(0, longest)});
}

TEST(UsbTags, CycleThroughOneToTwoHundredFiftyFive) {
    EXPECT_EQ(qrv::NextUsbTag(0), 1);
    EXPECT_EQ(qrv::NextUsbTag(1), 2);
    EXPECT_EQ(qrv::NextUsbTag(254), 255);
    EXPECT_EQ(qrv::NextUsbTag(255), 1);
    const auto header = qrv::MakeUsbHeader(qrv::kUsbCommandPacket, 200, 0x01020304);
    EXPECT_EQ(std::string(header.begin(), header.end()),
              UsbCommandPacket(200, "").substr(0, 4) + "\x04\x03\x02\x01" + std::string("\x01\x00\x00\x00", 4));
}

TEST(UsbNoDevice, ConnectAndRefreshReportNoLink) {
    setenv("QRV_USB_DEVICE", "unix:/nonexistent/zorbel/usb.sock", 1);
    qmkHDInitComType(0, 0x7F000001);
    EXPECT_EQ(qmkHDDeviceConnect(), 0);
    EXPECT_EQ(qmkHDRefreshDevice(), 0);
    double value = 0;
    EXPECT_EQ(qmkHDReadChannelAmplitude(0, &value, 10, 0), 0);
    unsetenv("QRV_USB_DEVICE");
}

TEST(UsbNoDevice, LibusbFindsNoSuchDevice) {
    // No device has this id: the real libusb path ends as "no device", whether
    // or not the machine has a USB subsystem at all.
    unsetenv("QRV_USB_DEVICE");
    setenv("QRV_USB_ID", "fffe:fffd", 1);
    qmkHDInitComType(0, 0x7F000001);
    EXPECT_EQ(qmkHDDeviceConnect(), 0);
    unsetenv("QRV_USB_ID");
}

// A device variable the link cannot use means no device, and says why in
// one line with the program's name, once however often the link looks.
TEST(UsbNoDevice, UnusableVariablesAreNoDeviceAndSaySoOnce) {
    const std::string tooLong = "unix:/tmp/" + std::string(100, 's') + ".sock";  // 110 bytes of path
    const struct {
        const char* device;  // QRV_USB_DEVICE, or nullptr for libusb
        const char* id;      // QRV_USB_ID
        std::string line;
    } rows[] = {
        {"tcp:127.0.0.1", nullptr, "QRV_USB_DEVICE=tcp:127.0.0.1: not unix:PATH; no USB device is used"},
        {"unix:", nullptr, "QRV_USB_DEVICE=unix:: not unix:PATH; no USB device is used"},
        {tooLong.c_str(), nullptr,
         "QRV_USB_DEVICE=" + tooLong + ": the socket path has 110 bytes, the system allows 107; no USB device is used"},
        {nullptr, "12345", "QRV_USB_ID=12345: not vvvv:pppp in hex digits; no USB device is used"},
        {nullptr, "fffe:g", "QRV_USB_ID=fffe:g: not vvvv:pppp in hex digits; no USB device is used"},
        {nullptr, "fffe:fffc", "QRV_USB_ID=fffe:fffc: no USB device has this id"},
    };
    qmkHDInitComType(0, 0x7F000001);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        if (row.device)
            setenv("QRV_USB_DEVICE", row.device, 1);
        else
            unsetenv("QRV_USB_DEVICE");
        if (row.id)
            setenv("QRV_USB_ID", row.id, 1);
        else
            unsetenv("QRV_USB_ID");
        testing::internal::CaptureStderr();
        EXPECT_EQ(qmkHDDeviceConnect(), 0);
        EXPECT_EQ(qmkHDDeviceConnect(), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string(program_invocation_short_name) + ": " + row.line + "\n");
    }
    unsetenv("QRV_USB_DEVICE");
    unsetenv("QRV_USB_ID");
}

}  // namespace
