// Sample codes and DAC16 packet bytes of the arbitrary waveform download.
#include "arbitrary_block.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "zorbel/numbers.h"

namespace qrv::arb {

bool IsGainCode(unsigned gain) { return gain == 1 || gain == 4 || gain == 20; }

namespace {

// The code of one sample from volts already divided by the gain, written
// without branches so that the loop over a packet becomes vector
// instructions: the conversion is most of what a download costs on this side
// of the link.
inline std::int16_t CodeOf(double scaledVolts) {
    double code = scaledVolts * kCodesPerVoltAtGain1;
    code = code == code ? code : 0.0;  // NaN
    code = std::min(std::max(code, -double{kMaxSampleCode}), double{kMaxSampleCode});
    return static_cast<std::int16_t>(static_cast<std::int32_t>(code));  // truncates toward zero
}

template <class Scale>
void StoreCodes(char* dst, const double* samplesVolts, std::uint32_t count, Scale scale) {
    for (std::uint32_t k = 0; k < count; ++k) {
        const auto code = static_cast<std::uint16_t>(CodeOf(scale(samplesVolts[k])));
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(dst + 2 * static_cast<std::size_t>(k), &code, 2);  // low byte first
        } else {
            dst[2 * static_cast<std::size_t>(k)] = static_cast<char>(code & 0xFF);
            dst[2 * static_cast<std::size_t>(k) + 1] = static_cast<char>(code >> 8);
        }
    }
}

}  // namespace

std::int16_t SampleCode(double volts, unsigned gain) { return CodeOf(volts / gain); }

void BuildDac16Block(std::string& out, const double* samplesVolts, std::uint32_t count, unsigned gain) {
    if (count == 0) return;
    // The digit count of the header follows the point count, not the byte count.
    const std::size_t width = count < 50 ? 2 : count < 500 ? 3 : 4;
    const std::string bytes = zorbel::FormatInt(2LL * count);
    out += '#';
    out += static_cast<char>('0' + width);
    if (bytes.size() < width) out.append(width - bytes.size(), ' ');
    out += bytes;

    const std::size_t start = out.size();
    out.resize(start + 2 * static_cast<std::size_t>(count));
    char* dst = out.data() + start;
    // volts / gain, rounded once: the reciprocals of gains 1 and 4 are powers
    // of two, so multiplying by them gives the very same result, and much
    // sooner than a division.
    if (gain == 1 || gain == 4) {
        const double reciprocal = 1.0 / gain;
        StoreCodes(dst, samplesVolts, count, [reciprocal](double v) { return v * reciprocal; });
    } else {
        const double g = gain;
        StoreCodes(dst, samplesVolts, count, [g](double v) { return v / g; });
    }
}

void BuildDac16Packet(std::string& packet, std::uint16_t channel, std::uint32_t totalPoints, std::uint32_t endIndex,
                      const double* samplesVolts, std::uint32_t count, unsigned gain) {
    packet.clear();
    packet += "SOURce";
    packet += zorbel::FormatInt(channel + 1LL);
    packet += ":DATA:DAC16:BIN ";
    packet += zorbel::FormatInt(totalPoints);
    packet += ',';
    packet += zorbel::FormatInt(endIndex);
    packet += ',';
    packet += zorbel::FormatInt(count);
    packet += ',';
    BuildDac16Block(packet, samplesVolts, count, gain);
    packet += ";\r\n";
}

}  // namespace qrv::arb
