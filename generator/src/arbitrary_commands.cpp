// The six arbitrary-waveform exports that talk to the instrument: gain,
// sample-clock divider, download and output windows, and the data download.
#include <cmath>
#include <string>
#include <string_view>

#include "QRVHardDll.h"
#include "arbitrary_block.h"
#include "arbitrary_control.h"
#include "arbitrary_download.h"
#include "export_guard.h"
#include "link.h"
#include "number_rules.h"
#include "zorbel/numbers.h"

namespace qrv::arb {
namespace {

// A repeated divider counts as confirmed within this (absolute, divider units).
constexpr double kConfirmTolerance = 1e-7;

// "SOURce<channel+1>:" + rest.
std::string SourceCommand(std::uint16_t channel, std::string_view rest) {
    std::string command = "SOURce";
    command += zorbel::FormatInt(channel + 1LL);
    command += ':';
    command += rest;
    return command;
}

// Commands the instrument does not answer: 2 once sent.
std::uint16_t SendWithoutAnswer(const std::string& command) {
    std::string unused;
    const int result = SendCommand(command, unused, static_cast<std::uint32_t>(ExchangeMode::WriteOnly));
    return result == kExchangeDone ? kStatusOk : FailureStatus(result);
}

// Sends `command` and parses the answer by the instrument's number rules.
// Returns 2 with `value` set, or the failure / rejection status.
std::uint16_t AskNumber(const std::string& command, double& value) {
    std::string answer;
    const int result = SendCommand(command, answer, static_cast<std::uint32_t>(ExchangeMode::WriteRead));
    if (result != kExchangeDone) return FailureStatus(result);
    return TurnStringIntoDouble(answer, value) ? kStatusOk : kStatusRejected;
}

// "SOURce%d:DATA:<word> %ld,%ld": download and output windows of the memory.
std::uint16_t WriteWindow(std::uint16_t channel, std::string_view word, std::uint32_t address, std::uint32_t length) {
    if (!FitsWaveMemory(address, length)) return kStatusRejected;
    std::string rest = "DATA:";
    rest += word;
    rest += ' ';
    rest += zorbel::FormatInt(address);
    rest += ',';
    rest += zorbel::FormatInt(length);
    return SendWithoutAnswer(SourceCommand(channel, rest));
}

}  // namespace
}  // namespace qrv::arb

using namespace qrv;
using namespace qrv::arb;

extern "C" {

QRV_API uint16_t qmkHDWriteArbitraryZoomValue(uint16_t channel, uint16_t gain) {
    return NoThrow([&] {
        if (!IsGainCode(gain)) return kStatusRejected;
        return SendWithoutAnswer(SourceCommand(channel, "DATA:GAIN " + zorbel::FormatInt(gain)));
    });
}

QRV_API uint16_t qmkHDWriteArbitrarySampleRateDiv(uint16_t channel, uint16_t divider) {
    return NoThrow([&] {
        if (divider > kMaxDivider) return kStatusRejected;
        double repeated = 0;
        const std::uint16_t status =
            AskNumber(SourceCommand(channel, "FUNCtion:ARBitrary:SRATe " + zorbel::FormatInt(divider)), repeated);
        if (status != kStatusOk) return status;
        return std::fabs(repeated - divider) < kConfirmTolerance ? kStatusOk : kStatusRejected;
    });
}

QRV_API uint16_t qmkHDReadArbitrarySampleRateDiv(uint16_t channel, int16_t* divider) {
    return NoThrow([&] {
        if (divider == nullptr) return kStatusRejected;
        double value = 0;
        const std::uint16_t status = AskNumber(SourceCommand(channel, "FUNCtion:ARBitrary:SRATe?"), value);
        if (status != kStatusOk) return status;
        if (!(value >= 0.0 && value <= kMaxDivider)) return kStatusRejected;
        *divider = static_cast<int16_t>(value);  // truncated; 0..250 always fits
        return kStatusOk;
    });
}

QRV_API uint16_t qmkHDWriteArbitraryAddressAndLength(uint16_t channel, uint32_t address, uint32_t length) {
    return NoThrow([&] { return WriteWindow(channel, "DOWNload", address, length); });
}

QRV_API uint16_t qmkHDWriteDeviceArbitraryOutput(uint16_t channel, uint32_t address, uint32_t length) {
    return NoThrow([&] { return WriteWindow(channel, "OUTPut", address, length); });
}

QRV_API uint16_t qmkHDWriteArbitraryData(uint16_t channel, const double* data, uint32_t points, uint32_t first,
                                         uint32_t count, uint16_t gain) {
    return NoThrow([&] {
        const PacketBatchSender send = [](std::span<const std::string_view> packets) { return SendPackets(packets); };
        return DownloadArbitraryData({channel, data, points, first, count, gain}, send);
    });
}

}  // extern "C"
