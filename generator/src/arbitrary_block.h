// DAC16 data packets of the arbitrary waveform download: the samples as the
// instrument's signed 16-bit codes in a "#n<count>" binary block, framed by
// the download command text and ";\r\n".
#pragma once

#include <cstdint>
#include <string>

namespace qrv::arb {

// At most this many points travel in one packet (1920 sample bytes).
inline constexpr std::uint32_t kMaxChunkPoints = 960;
// Waveform memory of one channel, points; address + length must stay within it.
inline constexpr std::uint32_t kWaveMemoryPoints = 67'108'864;  // 2^26
// Codes per volt at gain 1: 65534 codes over 1.25 V, so +-0.625 V is +-32767.
inline constexpr double kCodesPerVoltAtGain1 = 65534.0 / 1.25;
// Largest magnitude of a code; values beyond full scale are clamped to it
// instead of wrapping around in 16 bits (which would play a wrong waveform).
inline constexpr int kMaxSampleCode = 32767;

// Gain codes the instrument knows: full scale +-0.625 V x gain.
bool IsGainCode(unsigned gain);

// trunc(volts / gain x 52427.2), toward zero, clamped to +-32767; NaN gives 0.
std::int16_t SampleCode(double volts, unsigned gain);

// Appends the binary block of `count` samples to `out`: "#2%2d" below 50
// points, "#3%3d" below 500, "#4%4d" otherwise, the number being the byte
// count 2 x count right-aligned with blanks ("#2 8" for 4 points), then each
// code little-endian. Nothing at all for 0 points.
void BuildDac16Block(std::string& out, const double* samplesVolts, std::uint32_t count, unsigned gain);

// Replaces `packet` with one whole data packet:
// "SOURce<channel+1>:DATA:DAC16:BIN <total>,<end>,<count>," block ";\r\n",
// where `end` is the waveform index just after the packet's last point and
// `samplesVolts` points at the packet's first point. Keeps the capacity of
// `packet`, so one buffer serves a whole download.
void BuildDac16Packet(std::string& packet, std::uint16_t channel, std::uint32_t totalPoints, std::uint32_t endIndex,
                      const double* samplesVolts, std::uint32_t count, unsigned gain);

}  // namespace qrv::arb
