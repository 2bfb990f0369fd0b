// Sample codes and DAC16 packet bytes of the arbitrary waveform download.
#include "arbitrary_block.h"

#include <cmath>

#include "zorbel/numbers.h"

namespace qrv::arb {

bool IsGainCode(unsigned gain) { return gain == 1 || gain == 4 || gain == 20; }

std::int16_t SampleCode(double volts, unsigned gain) {
    const double code = volts / gain * kCodesPerVoltAtGain1;
    if (std::isnan(code)) return 0;
    if (code >= kMaxSampleCode) return kMaxSampleCode;
    if (code <= -kMaxSampleCode) return -kMaxSampleCode;
    return static_cast<std::int16_t>(code);  // truncates toward zero
}

void BuildDac16Block(std::string& out, const double* samplesVolts, std::uint32_t count, unsigned gain) {
    if (count == 0) return;
    // The digit count of the header follows the point count, not the byte count.
    const std::size_t width = count < 50 ? 2 : count < 500 ? 3 : 4;
    const std::string bytes = zorbel::formatInt(2LL * count);
    out += '#';
    out += static_cast<char>('0' + width);
    if (bytes.size() < width) out.append(width - bytes.size(), ' ');
    out += bytes;

    const std::size_t start = out.size();
    out.resize(start + 2 * static_cast<std::size_t>(count));
    char* dst = out.data() + start;
    for (std::uint32_t k = 0; k < count; ++k) {
        const auto code = static_cast<std::uint16_t>(SampleCode(samplesVolts[k], gain));
        *dst++ = static_cast<char>(code & 0xFF);  // low byte first
        *dst++ = static_cast<char>(code >> 8);
    }
}

void BuildDac16Packet(std::string& packet, std::uint16_t channel, std::uint32_t totalPoints, std::uint32_t endIndex,
                      const double* samplesVolts, std::uint32_t count, unsigned gain) {
    packet.clear();
    packet += "SOURce";
    packet += zorbel::formatInt(channel + 1LL);
    packet += ":DATA:DAC16:BIN ";
    packet += zorbel::formatInt(totalPoints);
    packet += ',';
    packet += zorbel::formatInt(endIndex);
    packet += ',';
    packet += zorbel::formatInt(count);
    packet += ',';
    BuildDac16Block(packet, samplesVolts, count, gain);
    packet += ";\r\n";
}

}  // namespace qrv::arb
