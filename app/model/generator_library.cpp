// GeneratorApi over the exported functions of QRVHardDll.
#include <array>

#include "zorbel/model/generator_api.h"

namespace zorbel {
namespace {

using WriteFn = std::uint16_t (*)(std::uint16_t, double, double, double);
using ReadFn = std::uint16_t (*)(std::uint16_t, double*, double, double);
using RangeFn = std::uint16_t (*)(std::uint16_t, double*, double*);

struct ParameterExports {
    Parameter parameter;  // its own row: ties the table's order to the enumeration
    WriteFn write;
    ReadFn read;
    RangeFn range;
};

// Table order of Parameter.
constexpr std::array<ParameterExports, kParameterCount> kExports = {{
    {Parameter::Amplitude, qmkHDWriteChannelAmplitude, qmkHDReadChannelAmplitude, qmkHDReadChannelAmplitudeStandard},
    {Parameter::Frequency, qmkHDWriteChannelFrequency, qmkHDReadChannelFrequency, qmkHDReadChannelFrequencyStandard},
    {Parameter::Offset, qmkHDWriteChannelOffsetVoltage, qmkHDReadChannelOffsetVoltage,
     qmkHDReadChannelOffsetVoltageStandard},
    {Parameter::Phase, qmkHDWriteChannelInitPhase, qmkHDReadChannelInitPhase, qmkHDReadChannelInitPhaseStandard},
    {Parameter::SquareDuty, qmkHDWriteChannelSquareDuty, qmkHDReadChannelSquareDuty,
     qmkHDReadChannelSquareDutyStandard},
    {Parameter::RampSymmetry, qmkHDWriteChannelRampSymmetry, qmkHDReadChannelRampSymmetry,
     qmkHDReadChannelRampSymmetryStandard},
    {Parameter::PulseDuty, qmkHDWriteChannelPulseDuty, qmkHDReadChannelPulseDuty, qmkHDReadChannelPulseDutyStandard},
    {Parameter::PulseWidth, qmkHDWriteChannelPulseWidth, qmkHDReadChannelPulseWidth,
     qmkHDReadChannelPulseWidthStandard},
    {Parameter::PulseLeading, qmkHDWriteChannelPulseLeading, qmkHDReadChannelPulseLeading,
     qmkHDReadChannelPulseLeadingStandard},
    {Parameter::PulseTrailing, qmkHDWriteChannelPulseTrailing, qmkHDReadChannelPulseTrailing,
     qmkHDReadChannelPulseTrailingStandard},
}};
static_assert(RowsFollow(kExports), "kExports rows must follow Parameter");

class Library final : public GeneratorApi {
public:
    std::uint16_t InitComType(std::uint16_t type, std::uint32_t address) override {
        return qmkHDInitComType(type, address);
    }
    std::uint16_t DeviceConnect() override { return qmkHDDeviceConnect(); }
    std::uint16_t RefreshDevice() override { return qmkHDRefreshDevice(); }

    std::uint16_t WriteOnOff(std::uint16_t channel, std::uint16_t state) override {
        return qmkHDWriteChannelOnOff(channel, state);
    }
    std::uint16_t ReadOnOff(std::uint16_t channel, std::int16_t* state) override {
        return qmkHDReadChannelOnOff(channel, state);
    }
    std::uint16_t WriteWaveType(std::uint16_t channel, std::uint16_t type) override {
        return qmkHDWriteChannelWaveType(channel, type);
    }
    std::uint16_t ReadWaveType(std::uint16_t channel, std::int16_t* type) override {
        return qmkHDReadChannelWaveType(channel, type);
    }
    std::uint16_t WriteParameter(Parameter p, std::uint16_t channel, double value, double maximum,
                                 double minimum) override {
        return kExports[Index(p)].write(channel, value, maximum, minimum);
    }
    std::uint16_t ReadParameter(Parameter p, std::uint16_t channel, double* value, double maximum,
                                double minimum) override {
        return kExports[Index(p)].read(channel, value, maximum, minimum);
    }
    std::uint16_t ReadParameterRange(Parameter p, std::uint16_t channel, double* maximum, double* minimum) override {
        return kExports[Index(p)].range(channel, maximum, minimum);
    }

    std::uint16_t WriteArbitraryAddressAndLength(std::uint16_t channel, std::uint32_t address,
                                                 std::uint32_t length) override {
        return qmkHDWriteArbitraryAddressAndLength(channel, address, length);
    }
    std::uint16_t WriteArbitraryData(std::uint16_t channel, const double* data, std::uint32_t points,
                                     std::uint32_t first, std::uint32_t count, std::uint16_t gain) override {
        return qmkHDWriteArbitraryData(channel, data, points, first, count, gain);
    }
    std::uint16_t WriteArbitraryZoomValue(std::uint16_t channel, std::uint16_t gain) override {
        return qmkHDWriteArbitraryZoomValue(channel, gain);
    }
    std::uint16_t WriteDeviceArbitraryOutput(std::uint16_t channel, std::uint32_t address,
                                             std::uint32_t length) override {
        return qmkHDWriteDeviceArbitraryOutput(channel, address, length);
    }
    std::uint16_t WriteArbitrarySampleRateDiv(std::uint16_t channel, std::uint16_t divider) override {
        return qmkHDWriteArbitrarySampleRateDiv(channel, divider);
    }

    std::uint16_t CSelectCalibrateChannel(std::uint16_t channel) override {
        return qmkHDCSelectCalibrateChannel(channel);
    }
    std::uint16_t CReadCalibrateStepTotalNum(std::int16_t* steps) override {
        return qmkHDCReadCalibrateStepTotalNum(steps);
    }
    std::uint16_t CSetCalibrateCurStep(std::uint16_t step, std::int16_t* result) override {
        return qmkHDCSetCalibrateCurStep(step, result);
    }
    std::uint16_t CReadCalibrateRefValueVsCurStep(double* first, double* second) override {
        return qmkHDCReadCalibrateRefValueVsCurStep(first, second);
    }
    std::uint16_t CWriteCalibrateMeasResultVsCurStep(double measured) override {
        return qmkHDCWriteCalibrateMeasResultVsCurStep(measured);
    }
    std::uint16_t CReadCalibrateStateVsCurStep(std::int16_t* state) override {
        return qmkHDCReadCalibrateStateVsCurStep(state);
    }
    std::uint16_t CSaveCalibrateData() override { return qmkHDCSaveCalibrateData(); }

    std::uint16_t GetBestArbitraryControlFromFreq(ArbitraryControl* best, double frequency, std::uint32_t minimumPoints,
                                                  std::uint32_t maximumPoints) override {
        return qmkHDGetBestArbitraryControlFromFreq(best, frequency, minimumPoints, maximumPoints);
    }
    std::uint16_t GetZoomFromData(double maximum, double minimum) override {
        return qmkHDGetZoomFromData(maximum, minimum);
    }
    std::uint16_t GetArbFrequency(double* frequency, std::uint32_t points, std::uint16_t divider) override {
        return qmkHDGetArbFrequency(frequency, points, divider);
    }
    std::uint16_t TurnStringIntoDouble(double* value, const char* text, std::int32_t length) override {
        return qmkHDTurnStringIntoDouble(value, text, length);
    }
};

}  // namespace

GeneratorApi& LibraryGenerator() {
    static Library library;
    return library;
}

}  // namespace zorbel
