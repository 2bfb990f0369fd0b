// The generator as the file fuzz targets need it: no instrument (every
// instrument call reports no link), the pure computations of the real
// library. Unlike the library itself it makes a model cheap to construct:
// the default arbitrary waveform's candidate search is skipped (the model
// then starts with no arbitrary points), so each input gets a fresh model.
#pragma once

#include "QRVHardDll.h"
#include "zorbel/model/generator_api.h"

namespace zorbel::fuzz {

class OfflineGenerator final : public GeneratorApi {
public:
    std::uint16_t InitComType(std::uint16_t, std::uint32_t) override { return 1; }
    std::uint16_t DeviceConnect() override { return 0; }
    std::uint16_t RefreshDevice() override { return ToNumber(GeneratorStatus::NoLink); }
    std::uint16_t WriteOnOff(std::uint16_t, std::uint16_t) override { return ToNumber(GeneratorStatus::NoLink); }
    std::uint16_t ReadOnOff(std::uint16_t, std::int16_t*) override { return ToNumber(GeneratorStatus::NoLink); }
    std::uint16_t WriteWaveType(std::uint16_t, std::uint16_t) override { return ToNumber(GeneratorStatus::NoLink); }
    std::uint16_t ReadWaveType(std::uint16_t, std::int16_t*) override { return ToNumber(GeneratorStatus::NoLink); }
    std::uint16_t WriteParameter(Parameter, std::uint16_t, double, double, double) override {
        return ToNumber(GeneratorStatus::NoLink);
    }
    std::uint16_t ReadParameter(Parameter, std::uint16_t, double*, double, double) override {
        return ToNumber(GeneratorStatus::NoLink);
    }
    std::uint16_t ReadParameterRange(Parameter, std::uint16_t, double*, double*) override {
        return ToNumber(GeneratorStatus::NoLink);
    }
    std::uint16_t WriteArbitraryAddressAndLength(std::uint16_t, std::uint32_t, std::uint32_t) override {
        return ToNumber(GeneratorStatus::NoLink);
    }
    std::uint16_t WriteArbitraryData(std::uint16_t, const double*, std::uint32_t, std::uint32_t, std::uint32_t,
                                     std::uint16_t) override {
        return ToNumber(GeneratorStatus::NoLink);
    }
    std::uint16_t WriteArbitraryZoomValue(std::uint16_t, std::uint16_t) override {
        return ToNumber(GeneratorStatus::NoLink);
    }
    std::uint16_t WriteDeviceArbitraryOutput(std::uint16_t, std::uint32_t, std::uint32_t) override {
        return ToNumber(GeneratorStatus::NoLink);
    }
    std::uint16_t WriteArbitrarySampleRateDiv(std::uint16_t, std::uint16_t) override {
        return ToNumber(GeneratorStatus::NoLink);
    }
    std::uint16_t CSelectCalibrateChannel(std::uint16_t) override { return ToNumber(GeneratorStatus::NoLink); }
    std::uint16_t CReadCalibrateStepTotalNum(std::int16_t*) override { return ToNumber(GeneratorStatus::NoLink); }
    std::uint16_t CSetCalibrateCurStep(std::uint16_t, std::int16_t*) override {
        return ToNumber(GeneratorStatus::NoLink);
    }
    std::uint16_t CReadCalibrateRefValueVsCurStep(double*, double*) override {
        return ToNumber(GeneratorStatus::NoLink);
    }
    std::uint16_t CWriteCalibrateMeasResultVsCurStep(double) override { return ToNumber(GeneratorStatus::NoLink); }
    std::uint16_t CReadCalibrateStateVsCurStep(std::int16_t*) override { return ToNumber(GeneratorStatus::NoLink); }
    std::uint16_t CSaveCalibrateData() override { return ToNumber(GeneratorStatus::NoLink); }

    std::uint16_t GetBestArbitraryControlFromFreq(ArbitraryControl*, double, std::uint32_t, std::uint32_t) override {
        return 0;
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

}  // namespace zorbel::fuzz
