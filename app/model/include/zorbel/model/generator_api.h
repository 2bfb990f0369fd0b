// The generator library as the model sees it: one small interface, so that the
// session logic can be exercised against a scripted double. The default
// implementation forwards every call to the exported qmkHD* functions.
//
// Results are the library's 16-bit numbers, as they cross its C interface;
// the model turns them into a GeneratorStatus (session_state.h) where it
// stores them.
#pragma once

#include <cstdint>

#include "QRVHardDll.h"
#include "zorbel/model/parameters.h"
#include "zorbel/model/session_state.h"

namespace zorbel {

class GeneratorApi {
public:
    virtual ~GeneratorApi() = default;

    // Link.
    virtual std::uint16_t InitComType(std::uint16_t type, std::uint32_t address) = 0;
    virtual std::uint16_t DeviceConnect() = 0;
    virtual std::uint16_t RefreshDevice() = 0;

    // Channel settings; the numeric family is addressed by its table position.
    virtual std::uint16_t WriteOnOff(std::uint16_t channel, std::uint16_t state) = 0;
    virtual std::uint16_t ReadOnOff(std::uint16_t channel, std::int16_t* state) = 0;
    virtual std::uint16_t WriteWaveType(std::uint16_t channel, std::uint16_t type) = 0;
    virtual std::uint16_t ReadWaveType(std::uint16_t channel, std::int16_t* type) = 0;
    virtual std::uint16_t WriteParameter(Parameter p, std::uint16_t channel, double value, double maximum,
                                         double minimum) = 0;
    virtual std::uint16_t ReadParameter(Parameter p, std::uint16_t channel, double* value, double maximum,
                                        double minimum) = 0;
    virtual std::uint16_t ReadParameterRange(Parameter p, std::uint16_t channel, double* maximum, double* minimum) = 0;

    // Arbitrary waveform.
    virtual std::uint16_t WriteArbitraryAddressAndLength(std::uint16_t channel, std::uint32_t address,
                                                         std::uint32_t length) = 0;
    virtual std::uint16_t WriteArbitraryData(std::uint16_t channel, const double* data, std::uint32_t points,
                                             std::uint32_t first, std::uint32_t count, std::uint16_t gain) = 0;
    virtual std::uint16_t WriteArbitraryZoomValue(std::uint16_t channel, std::uint16_t gain) = 0;
    virtual std::uint16_t WriteDeviceArbitraryOutput(std::uint16_t channel, std::uint32_t address,
                                                     std::uint32_t length) = 0;
    virtual std::uint16_t WriteArbitrarySampleRateDiv(std::uint16_t channel, std::uint16_t divider) = 0;

    // Calibration steps.
    virtual std::uint16_t CSelectCalibrateChannel(std::uint16_t channel) = 0;
    virtual std::uint16_t CReadCalibrateStepTotalNum(std::int16_t* steps) = 0;
    virtual std::uint16_t CSetCalibrateCurStep(std::uint16_t step, std::int16_t* result) = 0;
    virtual std::uint16_t CReadCalibrateRefValueVsCurStep(double* first, double* second) = 0;
    virtual std::uint16_t CWriteCalibrateMeasResultVsCurStep(double measured) = 0;
    virtual std::uint16_t CReadCalibrateStateVsCurStep(std::int16_t* state) = 0;
    virtual std::uint16_t CSaveCalibrateData() = 0;

    // Pure computations: no instrument traffic, callable from any thread.
    virtual std::uint16_t GetBestArbitraryControlFromFreq(ArbitraryControl* best, double frequency,
                                                          std::uint32_t minimumPoints, std::uint32_t maximumPoints) = 0;
    virtual std::uint16_t GetZoomFromData(double maximum, double minimum) = 0;
    // The frequency an arbitrary waveform of `points` points plays at with
    // sample clock divider `divider`, hertz.
    virtual std::uint16_t GetArbFrequency(double* frequency, std::uint32_t points, std::uint16_t divider) = 0;
    virtual std::uint16_t TurnStringIntoDouble(double* value, const char* text, std::int32_t length) = 0;
};

// The real generator library (process-wide; lives as long as the program).
GeneratorApi& LibraryGenerator();

}  // namespace zorbel
