// The six arbitrary-waveform exports that talk to the instrument, over LAN and
// the virtual USB device against scripted instruments: exact command bytes,
// rejection without traffic, confirmation of the divider, binary packets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "QRVHardDll.h"
#include "arbitrary_block.h"
#include "scripted_udp_peer.h"
#include "scripted_usb_peer.h"

namespace {

using namespace std::chrono_literals;
using zorbel::test::ScriptedUdpPeer;
using zorbel::test::ScriptedUsbPeer;

// One scripted instrument behind either link, seen as command payloads.
class Instrument {
public:
    virtual ~Instrument() = default;
    virtual void Answer(const std::string& text) = 0;
    // Every command payload received so far, after waiting for `expected`.
    virtual std::vector<std::string> Commands(std::size_t expected) = 0;
};

class LanInstrument final : public Instrument {
public:
    LanInstrument() { qmkHDInitComType(1, peer_.addressValue()); }
    void Answer(const std::string& text) override { peer_.QueueReply(text); }
    std::vector<std::string> Commands(std::size_t expected) override {
        if (expected == 0) std::this_thread::sleep_for(50ms);  // give a stray datagram time to show
        EXPECT_TRUE(peer_.WaitForReceived(expected));
        return peer_.ReceivedTexts();
    }

private:
    ScriptedUdpPeer peer_;
};

class UsbInstrument final : public Instrument {
public:
    UsbInstrument() {
        setenv("QRV_USB_DEVICE", peer_.device().c_str(), 1);
        qmkHDInitComType(0, 0x7F000001);
    }
    ~UsbInstrument() override { unsetenv("QRV_USB_DEVICE"); }
    void Answer(const std::string& text) override { peer_.QueueReply(text); }
    // Each exchange is one connection whose first packet carries the command
    // with tag 0 (header checked against the independent encoder).
    std::vector<std::string> Commands(std::size_t expected) override {
        if (expected == 0) std::this_thread::sleep_for(50ms);  // give a stray exchange time to show
        EXPECT_TRUE(peer_.WaitForClosedConnections(expected));
        std::vector<std::string> commands;
        for (const auto& connection : peer_.Connections()) {
            if (connection.empty() || connection[0].size() < 12) {
                ADD_FAILURE() << "connection without a command packet";
                continue;
            }
            const std::string payload = connection[0].substr(12);
            EXPECT_EQ(connection[0], zorbel::test::UsbCommandPacket(0, payload));
            commands.push_back(payload);
        }
        return commands;
    }

private:
    ScriptedUsbPeer peer_;
};

enum class Link { Lan, Usb };

void PrintTo(Link link, std::ostream* os) { *os << (link == Link::Lan ? "LAN" : "virtual USB"); }

class ArbitraryCommands : public ::testing::TestWithParam<Link> {
protected:
    void SetUp() override {
        if (GetParam() == Link::Lan)
            instrument = std::make_unique<LanInstrument>();
        else
            instrument = std::make_unique<UsbInstrument>();
    }
    std::unique_ptr<Instrument> instrument;
};

TEST_P(ArbitraryCommands, WindowsAndGainAreSentWithoutWaitingForAnAnswer) {
    EXPECT_EQ(qmkHDWriteArbitraryZoomValue(1, 20), 2);
    EXPECT_EQ(qmkHDWriteArbitraryAddressAndLength(0, 100, 2000), 2);
    EXPECT_EQ(qmkHDWriteDeviceArbitraryOutput(0, 0, 67108864), 2);  // the whole memory is allowed
    EXPECT_EQ(instrument->Commands(3),
              (std::vector<std::string>{"SOURce2:DATA:GAIN 20", "SOURce1:DATA:DOWNload 100,2000",
                                        "SOURce1:DATA:OUTPut 0,67108864"}));
}

TEST_P(ArbitraryCommands, RejectedArgumentsCauseNoTraffic) {
    const double samples[4] = {};
    EXPECT_EQ(qmkHDWriteArbitraryZoomValue(0, 2), 3);
    EXPECT_EQ(qmkHDWriteArbitraryZoomValue(0, 0), 3);
    EXPECT_EQ(qmkHDWriteArbitrarySampleRateDiv(0, 251), 3);
    EXPECT_EQ(qmkHDReadArbitrarySampleRateDiv(0, nullptr), 3);
    EXPECT_EQ(qmkHDWriteArbitraryAddressAndLength(0, 67108864, 1), 3);
    EXPECT_EQ(qmkHDWriteArbitraryAddressAndLength(0, 1, 67108864), 3);
    // Would wrap to 1 in 32 bits and pass a naive check.
    EXPECT_EQ(qmkHDWriteArbitraryAddressAndLength(0, 0xFFFFFFFFu, 2), 3);
    EXPECT_EQ(qmkHDWriteDeviceArbitraryOutput(0, 0xFFFFFFF0u, 0x20), 3);
    EXPECT_EQ(qmkHDWriteArbitraryData(0, samples, 4, 0, 4, 5), 3);
    EXPECT_EQ(qmkHDWriteArbitraryData(0, samples, 4, 0, 5, 1), 3);
    EXPECT_EQ(qmkHDWriteArbitraryData(0, nullptr, 4, 0, 4, 1), 3);
    EXPECT_TRUE(instrument->Commands(0).empty());
}

TEST_P(ArbitraryCommands, DividerWriteNeedsTheValueRepeated) {
    struct Row {
        const char* answer;
        uint16_t status;
    };
    const Row rows[] = {{"7", 2}, {"7.00000001", 2}, {"8", 3}, {"7\n", 3}, {"seven", 3}};
    for (const Row& r : rows) {
        instrument->Answer(r.answer);
        EXPECT_EQ(qmkHDWriteArbitrarySampleRateDiv(0, 7), r.status) << r.answer;
    }
    const auto commands = instrument->Commands(std::size(rows));
    ASSERT_EQ(commands.size(), std::size(rows));
    EXPECT_EQ(commands[0], "SOURce1:FUNCtion:ARBitrary:SRATe 7");
}

TEST_P(ArbitraryCommands, DividerReadStoresOnlyValuesTheInstrumentCanHave) {
    struct Row {
        const char* answer;
        uint16_t status;
        int16_t stored;
    };
    const Row rows[] = {{"12.9", 2, 12}, {"250", 2, 250}, {"0", 2, 0},   {"251", 3, -1},
                        {"-1", 3, -1},   {"1E6", 3, -1},  {"12 ", 3, -1}};
    for (const Row& r : rows) {
        instrument->Answer(r.answer);
        int16_t divider = -1;
        EXPECT_EQ(qmkHDReadArbitrarySampleRateDiv(1, &divider), r.status) << '"' << r.answer << '"';
        EXPECT_EQ(divider, r.stored) << '"' << r.answer << '"';
    }
    EXPECT_EQ(instrument->Commands(std::size(rows))[0], "SOURce2:FUNCtion:ARBitrary:SRATe?");
}

// Packets carry NUL bytes and must arrive whole, one per datagram or transfer.
TEST_P(ArbitraryCommands, DownloadSendsEachPacketByItsExactLength) {
    std::vector<double> wave(2000);
    for (std::size_t i = 0; i < wave.size(); ++i) wave[i] = (i % 7 == 0) ? 0.0 : 0.5 - 0.001 * i;
    ASSERT_EQ(qmkHDWriteArbitraryData(1, wave.data(), 2000, 0, 2000, 4), 2);
    const auto commands = instrument->Commands(3);
    ASSERT_EQ(commands.size(), 3u);
    const std::uint32_t starts[] = {0, 960, 1920};
    const std::uint32_t counts[] = {960, 960, 80};
    for (std::size_t p = 0; p < 3; ++p) {
        std::string want;
        qrv::arb::BuildDac16Packet(want, 1, 2000, starts[p] + counts[p], wave.data() + starts[p], counts[p], 4);
        EXPECT_EQ(commands[p], want) << "packet " << p;
    }
}

INSTANTIATE_TEST_SUITE_P(BothLinks, ArbitraryCommands, ::testing::Values(Link::Lan, Link::Usb),
                         [](const auto& info) { return info.param == Link::Lan ? "Lan" : "Usb"; });

TEST(ArbitraryWithoutDevice, DownloadReportsNoLink) {
    setenv("QRV_USB_DEVICE", "unix:/nonexistent/zorbel-no-device", 1);
    qmkHDInitComType(0, 0x7F000001);
    const double samples[2] = {0.1, 0.2};
    EXPECT_EQ(qmkHDWriteArbitraryData(0, samples, 2, 0, 2, 1), 0);
    EXPECT_EQ(qmkHDWriteArbitraryZoomValue(0, 1), 0);
    unsetenv("QRV_USB_DEVICE");
}

}  // namespace
