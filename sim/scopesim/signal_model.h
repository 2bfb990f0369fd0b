// What the simulated oscilloscope sees on its inputs, what it measures and
// what it captures.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace scopesim {

enum class Wave { Sine, Square, Ramp, Pulse, Noise, Arbitrary, Harmonic };

// The signal at one input, as the generator produces it.
struct ChannelSignal {
    bool on = true;
    Wave wave = Wave::Sine;
    double frequencyHz = 1000;
    double amplitudeVpp = 2;  // volts peak to peak
    double offsetV = 0;       // volts
};

// Where the input signals come from: built in, or asked from the generator
// simulator at each measurement.
class SignalSource {
public:
    virtual ~SignalSource() = default;
    // channel 0 (CH1) or 1 (CH2)
    virtual ChannelSignal Signal(int channel) = 0;
};

// CH1: 1 kHz sine, 2 Vpp. CH2: 12.5 kHz square, 500 mVpp, 250 mV offset.
std::unique_ptr<SignalSource> MakeBuiltInSignals();

// The wave of a generator wave word ("SINusoid", "SQUare", ... any case,
// abbreviated or not); sine for words it does not know.
Wave WaveFromWord(const std::string& word);

// Measurement types the instrument offers (the MEASURE-ITEMn field values).
enum MeasurementType : std::uint8_t {
    kMeasureOff = 0,
    kMeasureFrequency = 1,
    kMeasurePeriod = 2,
    kMeasureMean = 3,
    kMeasurePeakToPeak = 4,
    kMeasureRms = 5,
    kMeasureMaximum = 6,
    kMeasureMinimum = 7,
    kMeasureAmplitude = 8,
    kMeasureRiseTime = 9,
    kMeasureFallTime = 10,
    kMeasureDuty = 11,
};

// The value text the instrument shows for a measurement, number and unit
// ("1.234mV", "2.50V", "12.5kHz", "?" when there is nothing to measure).
// `probeFactor` scales voltages as the probe setting tells the instrument.
std::string MeasurementText(std::uint8_t type, const ChannelSignal& signal, double probeFactor);

// A number with a unit prefix and three significant digits (four for
// millivolts below 10).
std::string EngineeringText(double value, const std::string& unit);

// Screen samples: 25 codes per vertical division around `positionCodes`,
// clamped to a signed byte, over 12 horizontal divisions.
std::vector<std::int8_t> CaptureSamples(const ChannelSignal& signal, double probeFactor, double voltsPerDivision,
                                        double secondsPerDivision, int positionCodes, std::size_t count);

}  // namespace scopesim
