// Arbitrary waveform download end to end against zorbel-gensim, over LAN and
// the virtual USB device: the simulator decodes every packet, and its waveform
// memory must then hold exactly the codes of the samples sent.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "QRVHardDll.h"
#include "arbitrary_block.h"
#include "link.h"
#include "sim_process.h"
#include "zorbel/numbers.h"

namespace {

using zorbel::test::Gensim;

enum class Link { Lan, Usb };

void PrintTo(Link link, std::ostream* os) { *os << (link == Link::Lan ? "LAN" : "virtual USB"); }

std::vector<long long> SplitInts(const std::string& text) {
    std::vector<long long> values;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        long long v = 0;
        if (!zorbel::ParseInt(std::string_view(text).substr(start, comma - start), v)) return {};
        values.push_back(v);
        start = comma + 1;
    }
    return values;
}

class ArbitraryAgainstGensim : public ::testing::TestWithParam<Link> {
protected:
    void SetUp() override {
        std::string error;
        sim = Gensim::Start({}, &error);
        ASSERT_NE(sim, nullptr) << error;
        setenv("QRV_USB_DEVICE", sim->UsbDevice().c_str(), 1);
        qmkHDInitComType(GetParam() == Link::Lan ? 1 : 0, sim->LanAddressValue());
    }
    void TearDown() override { unsetenv("QRV_USB_DEVICE"); }

    std::string Ask(const std::string& query) {
        std::string answer;
        EXPECT_EQ(qrv::SendCommand(query, answer, static_cast<std::uint32_t>(qrv::ExchangeMode::WriteRead)),
                  qrv::kExchangeDone)
            << query;
        return answer;
    }

    // gain, divider, download address/length, output address/length, packets taken, refused
    std::vector<long long> MemoryState(int channel) {
        return SplitInts(Ask("SIMulator:ARBitrary? " + zorbel::FormatInt(channel + 1)));
    }

    std::vector<long long> Codes(int channel, std::uint32_t address, std::uint32_t count) {
        std::vector<long long> codes;
        while (count > 0) {
            const std::uint32_t piece = std::min<std::uint32_t>(count, 1000);
            const auto part = SplitInts(Ask("SIMulator:ARBitrary:DATA? " + zorbel::FormatInt(channel + 1) + "," +
                                            zorbel::FormatInt(address) + "," + zorbel::FormatInt(piece)));
            if (part.size() != piece) {
                ADD_FAILURE() << "dump at " << address << " gave " << part.size() << " codes";
                return codes;
            }
            codes.insert(codes.end(), part.begin(), part.end());
            address += piece;
            count -= piece;
        }
        return codes;
    }

    std::unique_ptr<Gensim> sim;
};

// The program's sequence: window, data, gain, output window, divider.
TEST_P(ArbitraryAgainstGensim, HundredThousandPointsLandExactlyInMemory) {
    constexpr std::uint32_t kPoints = 100'000, kAddress = 4096;
    const int channel = GetParam() == Link::Lan ? 0 : 1;
    std::mt19937 random(GetParam() == Link::Lan ? 17 : 23);
    // Some samples lie beyond the +-2.5 V full scale of gain 4 and must arrive clamped.
    std::uniform_real_distribution<double> volts(-2.6, 2.6);
    std::vector<double> wave(kPoints);
    for (double& v : wave) v = volts(random);

    ASSERT_EQ(qmkHDWriteArbitraryAddressAndLength(channel, kAddress, kPoints), 2);
    // One call: 105 packets back to back, with no answer in between to pace them.
    ASSERT_EQ(qmkHDWriteArbitraryData(channel, wave.data(), kPoints, 0, kPoints, 4), 2);
    MemoryState(channel);
    ASSERT_EQ(qmkHDWriteArbitraryZoomValue(channel, 4), 2);
    ASSERT_EQ(qmkHDWriteDeviceArbitraryOutput(channel, kAddress, kPoints), 2);
    ASSERT_EQ(qmkHDWriteArbitrarySampleRateDiv(channel, 11), 2);
    int16_t divider = -1;
    ASSERT_EQ(qmkHDReadArbitrarySampleRateDiv(channel, &divider), 2);
    EXPECT_EQ(divider, 11);

    const std::vector<long long> wantState = {4, 11, kAddress, kPoints, kAddress, kPoints, 105, 0};
    EXPECT_EQ(MemoryState(channel), wantState);

    const auto codes = Codes(channel, kAddress, kPoints);
    ASSERT_EQ(codes.size(), kPoints);
    std::size_t clamped = 0;
    for (std::uint32_t k = 0; k < kPoints; ++k) {
        const long long want = qrv::arb::SampleCode(wave[k], 4);
        ASSERT_EQ(codes[k], want) << "point " << k << " (" << wave[k] << " V)";
        clamped += (want == 32767 || want == -32767);
    }
    EXPECT_GT(clamped, 0u);
    // Nothing was written around the window, nor on the other channel.
    EXPECT_EQ(Codes(channel, kAddress - 1, 1), std::vector<long long>{0});
    EXPECT_EQ(Codes(channel, kAddress + kPoints, 1), std::vector<long long>{0});
    EXPECT_EQ(MemoryState(1 - channel)[6], 0);
}

// The simulator checks every packet; one whose block disagrees with its
// announced count changes nothing and is counted as refused.
TEST_P(ArbitraryAgainstGensim, MalformedPacketsAreRefused) {
    const double wave[4] = {0.1, 0.2, 0.3, 0.4};
    ASSERT_EQ(qmkHDWriteArbitraryData(0, wave, 4, 0, 4, 1), 2);
    std::string good;
    qrv::arb::BuildDac16Packet(good, 0, 4, 4, wave, 4, 1);
    std::string wrongCount = good;
    wrongCount.replace(wrongCount.find("#2 8"), 4, "#2 6");
    const std::string cut = good.substr(0, good.size() - 5) + ";\r\n";
    const std::string beyondWaveform = "SOURce1:DATA:DAC16:BIN 4,6,2,#2 4\x01\x02\x03\x04;\r\n";
    std::string unused;
    for (const std::string& bad : {wrongCount, cut, beyondWaveform}) {
        ASSERT_EQ(qrv::SendCommand(bad, unused, static_cast<std::uint32_t>(qrv::ExchangeMode::WriteOnly)),
                  qrv::kExchangeDone);
    }
    const auto state = MemoryState(0);
    ASSERT_EQ(state.size(), 8u);
    EXPECT_EQ(state[6], 1);  // the good packet
    EXPECT_EQ(state[7], 3);
    const auto codes = Codes(0, 0, 4);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(codes[k], qrv::arb::SampleCode(wave[k], 1)) << k;
}

INSTANTIATE_TEST_SUITE_P(BothLinks, ArbitraryAgainstGensim, ::testing::Values(Link::Lan, Link::Usb),
                         [](const auto& info) { return info.param == Link::Lan ? "Lan" : "Usb"; });

}  // namespace
