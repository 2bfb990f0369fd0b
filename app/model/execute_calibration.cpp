// The worker's calibration commands: each step of the generator's own
// calibration, and the oscilloscope that measures it. Generator calls obey
// the session's guards (demo, latch); the oscilloscope is driven regardless,
// as it has no session of its own, and a silent one only leaves the
// measurement at its fallback values.
#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "zorbel/model/calibration_measurement.h"
#include "zorbel/model/device_settings.h"

namespace zorbel {
namespace {

// The probe setting of the oscilloscope's CH1: 0 is the plain 1:1 cable.
constexpr char kProbeKey[] = "VERT-CH1-PROBE";
constexpr std::uint8_t kProbeOneToOne = 0;

// A measurement item's value text, up to the first zero byte.
std::string ReadItem(OscilloscopeApi& scope, std::uint16_t item) {
    std::vector<char> buffer(kOscilloscopeBufferSize, '\0');
    scope.GetMeasurementItemValue(buffer.data(), kOscilloscopeBufferSize, kOscilloscopeSource, item);
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

}  // namespace

// A generator call under the guards of every library command; the channel is
// not checked, as calibration commands are for the whole instrument.
GeneratorStatus DeviceSettings::GeneratorCall(const InstrumentCommand& command,
                                              const std::function<std::uint16_t()>& call) {
    if (auto skipped = LibraryGuard(command, false)) return *skipped;
    return Store(call());
}

CommandResult DeviceSettings::ExecuteCalibration(const InstrumentCommand& command, std::stop_token stop) {
    switch (command.code) {
    case code::kCalStart: {
        const std::int64_t channel = command.integerArgument;
        if (channel >= 0 && channel < kChannelCount) currentChannel_ = static_cast<std::uint16_t>(channel);
        // Ahead of everything the dialog queues in reply to this command.
        QueueCalibrationCommand(code::kCalGetStepCount);
        GeneratorStatus status = lastStatus_;
        if (channel >= 0 && channel < kChannelCount)
            status = GeneratorCall(command,
                                   [&] { return api_.CSelectCalibrateChannel(static_cast<std::uint16_t>(channel)); });
        PrepareOscilloscope();
        return status;
    }
    case code::kCalStop:
        if (command.integerArgument != 0) return lastStatus_.load();  // discarded: nothing stored
        return GeneratorCall(command, [&] { return api_.CSaveCalibrateData(); });
    case code::kCalGetStepCount: {
        std::int16_t total = 0;
        const GeneratorStatus status = GeneratorCall(command, [&] { return api_.CReadCalibrateStepTotalNum(&total); });
        if (status == GeneratorStatus::Ok)
            ModifyCalibration([&](CalibrationValues& c) {
                c.stepTotal = static_cast<std::uint16_t>(std::max<std::int16_t>(total, 0));
            });
        return status;
    }
    case code::kCalSetStep: {
        std::int16_t kind = 0;
        const auto step = static_cast<std::uint16_t>(command.integerArgument);
        const GeneratorStatus status = GeneratorCall(command, [&] { return api_.CSetCalibrateCurStep(step, &kind); });
        if (status == GeneratorStatus::Ok) ModifyCalibration([&](CalibrationValues& c) { c.measurementKind = kind; });
        return status;
    }
    case code::kCalGetReference: {
        scope_->AutosetDevice();
        double volts = 0.0, hertz = 0.0;
        const GeneratorStatus status =
            GeneratorCall(command, [&] { return api_.CReadCalibrateRefValueVsCurStep(&volts, &hertz); });
        if (status == GeneratorStatus::Ok) {
            ModifyCalibration([&](CalibrationValues& c) {
                c.referenceVoltage = volts;
                c.referenceFrequency = hertz;
            });
        }
        return status;
    }
    case code::kCalMeasure:
        return Measure(command, stop);
    case code::kCalGetState: {
        std::int16_t state = 0;
        const GeneratorStatus status =
            GeneratorCall(command, [&] { return api_.CReadCalibrateStateVsCurStep(&state); });
        if (status == GeneratorStatus::Ok) ModifyCalibration([&](CalibrationValues& c) { c.stepState = state; });
        return status;
    }
    default:
        return GeneratorStatus::Rejected;  // 0x4002-0x4004, 0x4006: no such command
    }
}

// Tables afresh, then the set-up: every measurement item on CH1 with the
// type of its own number, the probe at 1:1, written back to the instrument.
void DeviceSettings::PrepareOscilloscope() {
    OscilloscopeApi& scope = *scope_;
    scope.ResetAllBufferValue();
    scope.ReadInfProtocol();
    scope.ReadInfKeyProtocol();
    std::vector<std::uint8_t> buffer(kOscilloscopeBufferSize, 0);
    scope.ReadAllSysParameter(buffer.data(), kOscilloscopeBufferSize);
    for (std::uint16_t item = 1; item <= kMeasurementItemCount; ++item)
        scope.SetMeasurementItem(item, kOscilloscopeSource, item);
    const std::uint8_t probe = kProbeOneToOne;
    scope.SetKeyStringToConytolValue(kProbeKey, &probe, static_cast<std::int32_t>(sizeof kProbeKey - 1), 1);
    scope.WriteAllSysParameter();
}

// Settle, read the items of the step's kind, keep the values and tell the
// generator the voltage.
GeneratorStatus DeviceSettings::Measure(const InstrumentCommand& command, std::stop_token stop) {
    {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait_for(lock, stop, CalibrationSettleTime(), [] { return false; });
    }
    // The program is closing: no half-settled value reaches the generator.
    if (stop.stop_requested()) return GeneratorStatus::Rejected;

    const std::int16_t kind = Calibration().measurementKind;
    std::string voltageText, frequencyText;
    if (kind == kKindMean) {
        voltageText = ReadItem(*scope_, kMeanItem);
    } else if (kind == kKindPeakToPeak) {
        voltageText = ReadItem(*scope_, kPeakToPeakItem);
        frequencyText = ReadItem(*scope_, kFrequencyItem);
    }
    const NumberText number = [this](std::string_view text) { return ParseNumberText(text); };
    const double volts = MeasuredVoltage(voltageText, number);
    const double hertz = MeasuredFrequency(frequencyText, number);
    ModifyCalibration([&](CalibrationValues& c) {
        c.measuredVoltage = volts;
        c.measuredFrequency = hertz;
    });
    return GeneratorCall(command, [&] { return api_.CWriteCalibrateMeasResultVsCurStep(volts); });
}

}  // namespace zorbel
