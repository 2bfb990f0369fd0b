// Sample codes, DAC16 packet bytes and the chunking of the arbitrary download,
// with the packets captured instead of sent.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "arbitrary_block.h"
#include "arbitrary_download.h"

namespace {

using qrv::arb::BuildDac16Block;
using qrv::arb::BuildDac16Packet;
using qrv::arb::DownloadArbitraryData;
using qrv::arb::DownloadRequest;
using qrv::arb::SampleCode;

std::string Bytes(std::initializer_list<unsigned> values) {
    std::string out;
    for (unsigned v : values) out += static_cast<char>(v);
    return out;
}

TEST(SampleCode, TruncatesTowardZeroAndClampsAtFullScale) {
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    struct Row {
        double volts;
        unsigned gain;
        int code;
    };
    for (const Row& r : {Row{0.625, 1, 32767}, Row{-0.625, 1, -32767},  // full scale exactly
                         Row{1e-4, 1, 5}, Row{-1e-4, 1, -5},            // 5.24 codes, toward zero
                         Row{1.25, 4, 16383}, Row{-12.5, 20, -32767}, Row{0.7, 1, 32767},
                         Row{-0.7, 1, -32767},                       // beyond full scale: clamped,
                         Row{3.0, 4, 32767}, Row{100.0, 20, 32767},  // not wrapped to the other sign
                         Row{kInf, 1, 32767}, Row{-kInf, 1, -32767}, Row{kNan, 1, 0}})
        EXPECT_EQ(SampleCode(r.volts, r.gain), r.code) << r.volts << " V at gain " << r.gain;
}

TEST(Dac16Block, HeaderCountsBytesInAFieldChosenByPoints) {
    struct Row {
        std::uint32_t points;
        std::string header;
    };
    for (const Row& r : {Row{1, "#2 2"}, Row{4, "#2 8"}, Row{49, "#298"}, Row{50, "#3100"}, Row{80, "#3160"},
                         Row{499, "#3998"}, Row{500, "#41000"}, Row{960, "#41920"}}) {
        const std::vector<double> samples(r.points, 0.0);
        std::string block;
        BuildDac16Block(block, samples.data(), r.points, 1);
        ASSERT_EQ(block.size(), r.header.size() + 2 * r.points) << r.points;
        EXPECT_EQ(block.substr(0, r.header.size()), r.header) << r.points;
    }
    std::string empty;
    BuildDac16Block(empty, nullptr, 0, 1);
    EXPECT_EQ(empty, "");
}

TEST(Dac16Packet, ExactBytesWithLittleEndianSamples) {
    const double samples[] = {0.625, -0.625, 0.0, 0.7};
    std::string packet = "left over from an earlier packet";
    BuildDac16Packet(packet, 1, 2000, 1984, samples, 4, 1);
    const std::string want =
        "SOURce2:DATA:DAC16:BIN 2000,1984,4,#2 8" + Bytes({0xFF, 0x7F, 0x01, 0x80, 0x00, 0x00, 0xFF, 0x7F}) + ";\r\n";
    EXPECT_EQ(packet, want);

    BuildDac16Packet(packet, 0, 0, 0, nullptr, 0, 20);
    EXPECT_EQ(packet, "SOURce1:DATA:DAC16:BIN 0,0,0,;\r\n");
}

// Captures packets; fails the send with `failAt` (1-based) when set.
struct Capture {
    std::vector<std::string> packets;
    std::size_t failAt = 0;
    int failResult = 0;
    int operator()(std::string_view packet) {
        packets.emplace_back(packet);
        return packets.size() == failAt ? failResult : 1;
    }
};

// Text part of a packet up to its block (or its end for 0 points).
std::string TextOf(const std::string& packet) { return packet.substr(0, packet.find('#')); }

std::vector<double> Ramp(std::size_t n) {
    std::vector<double> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = -0.6 + 1.2 * static_cast<double>(i) / n;
    return v;
}

TEST(Download, SplitsIntoPacketsOfAtMost960PointsWithEndIndices) {
    const auto wave = Ramp(2500);
    Capture capture;
    const DownloadRequest req{0, wave.data(), 2500, 300, 2000, 1};
    ASSERT_EQ(DownloadArbitraryData(req, std::ref(capture)), 2);
    ASSERT_EQ(capture.packets.size(), 3u);
    EXPECT_EQ(TextOf(capture.packets[0]), "SOURce1:DATA:DAC16:BIN 2500,1260,960,");
    EXPECT_EQ(TextOf(capture.packets[1]), "SOURce1:DATA:DAC16:BIN 2500,2220,960,");
    EXPECT_EQ(TextOf(capture.packets[2]), "SOURce1:DATA:DAC16:BIN 2500,2300,80,");
    const char* headers[] = {"#41920", "#41920", "#3160"};
    std::size_t k = 300;  // every sample, in order, from the first point on
    for (std::size_t p = 0; p < 3; ++p) {
        const std::string& packet = capture.packets[p];
        const std::size_t block = packet.find('#');
        ASSERT_EQ(packet.compare(block, std::string(headers[p]).size(), headers[p]), 0) << p;
        ASSERT_EQ(packet.substr(packet.size() - 3), ";\r\n");
        for (std::size_t at = block + std::string(headers[p]).size(); at + 3 < packet.size(); at += 2, ++k) {
            const auto code = static_cast<std::int16_t>(static_cast<std::uint8_t>(packet[at]) |
                                                        static_cast<std::uint8_t>(packet[at + 1]) << 8);
            ASSERT_EQ(code, SampleCode(wave[k], 1)) << "point " << k;
        }
    }
    EXPECT_EQ(k, 2300u);
}

TEST(Download, ZeroPointsStillSendsOnePacket) {
    Capture capture;
    ASSERT_EQ(DownloadArbitraryData({1, nullptr, 0, 0, 0, 4}, std::ref(capture)), 2);
    ASSERT_EQ(capture.packets.size(), 1u);
    EXPECT_EQ(capture.packets[0], "SOURce2:DATA:DAC16:BIN 0,0,0,;\r\n");
}

TEST(Download, CountReachingPastTheWaveformIsCut) {
    const auto wave = Ramp(1000);
    Capture capture;
    ASSERT_EQ(DownloadArbitraryData({0, wave.data(), 1000, 900, 500, 1}, std::ref(capture)), 2);
    ASSERT_EQ(capture.packets.size(), 1u);
    EXPECT_EQ(TextOf(capture.packets[0]), "SOURce1:DATA:DAC16:BIN 1000,1000,100,");
}

TEST(Download, RejectedArgumentsSendNothing) {
    const auto wave = Ramp(100);
    const std::uint32_t kMemory = 67'108'864;
    const DownloadRequest rejected[] = {
        {0, wave.data(), 100, 0, 100, 2},        // gain must be 1, 4 or 20
        {0, wave.data(), 100, 0, 101, 1},        // more points than the waveform has
        {0, wave.data(), 100, 101, 0, 1},        // first point beyond the waveform
        {0, wave.data(), kMemory + 1, 0, 0, 1},  // waveform larger than the memory
        {0, nullptr, 100, 0, 10, 1},             // no samples to send
    };
    for (const DownloadRequest& req : rejected) {
        Capture capture;
        EXPECT_EQ(DownloadArbitraryData(req, std::ref(capture)), 3)
            << req.totalPoints << " " << req.first << " " << req.count << " " << req.gain;
        EXPECT_TRUE(capture.packets.empty());
    }
    // first + count past the memory, with the waveform itself at the limit.
    Capture capture;
    EXPECT_EQ(DownloadArbitraryData({0, wave.data(), kMemory, kMemory - 5, 10, 1}, std::ref(capture)), 3);
    EXPECT_TRUE(capture.packets.empty());
}

TEST(Download, StopsAtTheFirstFailedPacketAndReportsIt) {
    const auto wave = Ramp(3000);
    struct Row {
        int sendResult;
        std::uint16_t status;
    };
    for (const Row& r : {Row{0, 1}, Row{-1, 0}}) {
        Capture capture;
        capture.failAt = 2;
        capture.failResult = r.sendResult;
        EXPECT_EQ(DownloadArbitraryData({0, wave.data(), 3000, 0, 3000, 1}, std::ref(capture)), r.status);
        EXPECT_EQ(capture.packets.size(), 2u);
    }
}

}  // namespace
