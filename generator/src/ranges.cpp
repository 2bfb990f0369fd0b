// Parameter range queries: the instrument's own maximum and minimum of each
// numeric channel quantity, which the program then passes as limits to the
// channel-setting writes and reads.
#include <string>
#include <string_view>

#include "QRVHardDll.h"
#include "export_guard.h"
#include "link.h"
#include "number_rules.h"
#include "numeric_settings.h"

namespace qrv {

namespace {

// Sends one bound query; on success `value` holds the answer in interface units.
std::uint16_t QueryBound(NumericQuantity quantity, std::uint16_t channel, std::string_view bound, double& value) {
    std::string answer;
    const int sent = SendCommand(RangeQueryCommand(quantity, channel, bound), answer,
                                 static_cast<std::uint32_t>(ExchangeMode::WriteRead));
    if (sent != kExchangeDone) return FailureStatus(sent);
    if (!TurnStringIntoDouble(answer, value)) return kStatusRejected;
    value *= Setting(quantity).fromInstrument;
    return kStatusOk;
}

// The maximum is stored as soon as it is read, even when the minimum then
// fails: callers that must keep old limits read into temporaries.
std::uint16_t ReadRange(NumericQuantity quantity, std::uint16_t channel, double* maximum, double* minimum) {
    if (maximum == nullptr || minimum == nullptr) return kStatusRejected;
    return NoThrow([&]() -> std::uint16_t {
        double value = 0.0;
        if (const auto s = QueryBound(quantity, channel, "MAXimum", value); s != kStatusOk) return s;
        *maximum = value;
        if (const auto s = QueryBound(quantity, channel, "MINimum", value); s != kStatusOk) return s;
        *minimum = value;
        return *maximum < *minimum ? kStatusRejected : kStatusOk;
    });
}

}  // namespace

}  // namespace qrv

using qrv::NumericQuantity;
using qrv::ReadRange;

extern "C" {

// One line per quantity, as the numeric setting exports.
// clang-format off
QRV_API uint16_t qmkHDReadChannelAmplitudeStandard(uint16_t c, double* max, double* min) { return ReadRange(NumericQuantity::Amplitude, c, max, min); }
QRV_API uint16_t qmkHDReadChannelFrequencyStandard(uint16_t c, double* max, double* min) { return ReadRange(NumericQuantity::Frequency, c, max, min); }
QRV_API uint16_t qmkHDReadChannelOffsetVoltageStandard(uint16_t c, double* max, double* min) { return ReadRange(NumericQuantity::OffsetVoltage, c, max, min); }
QRV_API uint16_t qmkHDReadChannelInitPhaseStandard(uint16_t c, double* max, double* min) { return ReadRange(NumericQuantity::InitPhase, c, max, min); }
QRV_API uint16_t qmkHDReadChannelSquareDutyStandard(uint16_t c, double* max, double* min) { return ReadRange(NumericQuantity::SquareDuty, c, max, min); }
QRV_API uint16_t qmkHDReadChannelRampSymmetryStandard(uint16_t c, double* max, double* min) { return ReadRange(NumericQuantity::RampSymmetry, c, max, min); }
QRV_API uint16_t qmkHDReadChannelPulseDutyStandard(uint16_t c, double* max, double* min) { return ReadRange(NumericQuantity::PulseDuty, c, max, min); }
QRV_API uint16_t qmkHDReadChannelPulseWidthStandard(uint16_t c, double* max, double* min) { return ReadRange(NumericQuantity::PulseWidth, c, max, min); }
QRV_API uint16_t qmkHDReadChannelPulseLeadingStandard(uint16_t c, double* max, double* min) { return ReadRange(NumericQuantity::PulseLeading, c, max, min); }
QRV_API uint16_t qmkHDReadChannelPulseTrailingStandard(uint16_t c, double* max, double* min) { return ReadRange(NumericQuantity::PulseTrailing, c, max, min); }
// clang-format on

}  // extern "C"
