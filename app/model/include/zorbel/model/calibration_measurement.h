// What the calibration reads from the oscilloscope: which measurement items
// it sets up and reads, how long it lets the instrument settle, and how the
// instrument's value texts ("1.234mV", "12.5kHz") become volts and hertz.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

namespace zorbel {

// Time the oscilloscope gets to settle on a new calibration step before it is
// read. The program keeps this; tests set 0 (DeviceSettings::SetCalibrationSettleTime).
inline constexpr std::chrono::milliseconds kCalibrationSettleTime{3000};

// Size of the buffers handed to the oscilloscope library: any reply frame fits.
inline constexpr std::uint32_t kOscilloscopeBufferSize = 65535;

// The oscilloscope's input the generator output is wired to: CH1.
inline constexpr std::uint16_t kOscilloscopeSource = 0;
// Items set up at the start: item i measures type i, 1 to 8. Of them the
// calibration reads these three.
inline constexpr std::uint16_t kMeasurementItemCount = 8;
inline constexpr std::uint16_t kFrequencyItem = 1;
inline constexpr std::uint16_t kMeanItem = 3;
inline constexpr std::uint16_t kPeakToPeakItem = 4;

// Measurement kinds the generator names when a step is selected.
inline constexpr std::int16_t kKindNoMeasurement = 0;
inline constexpr std::int16_t kKindMean = 1;
inline constexpr std::int16_t kKindPeakToPeak = 2;

// Written back when the oscilloscope gives no usable voltage, volts.
inline constexpr double kFallbackVolts = 0.2;

// The program's one conversion of a number text (0 when it is none).
using NumberText = std::function<double(std::string_view)>;

// Volts of a text ending in "V" or "mV" (either case), the number before the
// unit; kFallbackVolts for a text of at most two characters or without the unit.
double MeasuredVoltage(std::string_view text, const NumberText& number);
// Hertz of a text ending in "Hz", "kHz" or "MHz" (either case; "m" counts as
// mega, as the instrument has no millihertz); 0 for a text of at most three
// characters or without the unit.
double MeasuredFrequency(std::string_view text, const NumberText& number);

}  // namespace zorbel
