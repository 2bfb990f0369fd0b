// Parameter range queries: the instrument's own maximum and minimum of each
// numeric channel quantity, which the program then passes as limits to the
// channel-setting writes and reads.
#include <string>
#include <string_view>

#include "QRVHardDll.h"
#include "export_guard.h"
#include "link.h"
#include "number_rules.h"
#include "zorbel/numbers.h"

namespace qrv {

namespace {

// One quantity: the query header after "SOURce<n>:" and the factor that turns
// the instrument's unit into the interface's (percent to fraction).
struct RangeQuantity {
    std::string_view header;
    double scale;
};

enum Quantity {
    kAmplitude, kFrequency, kOffset, kPhase, kSquareDuty,
    kRampSymmetry, kPulseDuty, kPulseWidth, kPulseLeading, kPulseTrailing,
};

constexpr RangeQuantity kRanges[] = {
    {"VOLTage", 1.0},                             // volts peak to peak
    {"FREQuency", 1.0},                           // hertz
    {"VOLTage:OFFSet", 1.0},                      // volts
    {"PHASe", 1.0},                               // degrees
    {"FUNCtion:SQUare:DCYCle", 0.01},             // percent
    {"FUNCtion:RAMP:SYMMetry", 0.01},             // percent
    {"FUNCtion:PULSe:DCYCle", 0.01},              // percent
    {"FUNCtion:PULSe:WIDTh", 1.0},                // seconds
    {"FUNCtion:PULSe:TRANsition:LEADing", 1.0},   // seconds
    {"FUNCtion:PULSe:TRANsition:TRAiling", 1.0},  // seconds
};

// Sends one bound query; on success `value` holds the scaled answer.
std::uint16_t QueryBound(const RangeQuantity& q, std::uint16_t channel, std::string_view bound,
                         double& value) {
    std::string command = "SOURce" + zorbel::formatInt(channel + 1) + ":";
    command.append(q.header).append("? ").append(bound);
    std::string answer;
    const int sent = SendCommand(command, answer, static_cast<std::uint32_t>(ExchangeMode::WriteRead));
    if (sent != kExchangeDone) return FailureStatus(sent);
    if (!TurnStringIntoDouble(answer, value)) return kStatusRejected;
    value *= q.scale;
    return kStatusOk;
}

// The maximum is stored as soon as it is read, even when the minimum then
// fails: callers that must keep old limits read into temporaries.
std::uint16_t ReadRange(Quantity which, std::uint16_t channel, double* maximum, double* minimum) {
    if (maximum == nullptr || minimum == nullptr) return kStatusRejected;
    return NoThrow([&]() -> std::uint16_t {
        const RangeQuantity& q = kRanges[which];
        double value = 0.0;
        if (const auto s = QueryBound(q, channel, "MAXimum", value); s != kStatusOk) return s;
        *maximum = value;
        if (const auto s = QueryBound(q, channel, "MINimum", value); s != kStatusOk) return s;
        *minimum = value;
        return *maximum < *minimum ? kStatusRejected : kStatusOk;
    });
}

}  // namespace

}  // namespace qrv

using qrv::ReadRange;

extern "C" {

QRV_API uint16_t qmkHDReadChannelAmplitudeStandard(uint16_t ch, double* max, double* min) {
    return ReadRange(qrv::kAmplitude, ch, max, min);
}
QRV_API uint16_t qmkHDReadChannelFrequencyStandard(uint16_t ch, double* max, double* min) {
    return ReadRange(qrv::kFrequency, ch, max, min);
}
QRV_API uint16_t qmkHDReadChannelOffsetVoltageStandard(uint16_t ch, double* max, double* min) {
    return ReadRange(qrv::kOffset, ch, max, min);
}
QRV_API uint16_t qmkHDReadChannelInitPhaseStandard(uint16_t ch, double* max, double* min) {
    return ReadRange(qrv::kPhase, ch, max, min);
}
QRV_API uint16_t qmkHDReadChannelSquareDutyStandard(uint16_t ch, double* max, double* min) {
    return ReadRange(qrv::kSquareDuty, ch, max, min);
}
QRV_API uint16_t qmkHDReadChannelRampSymmetryStandard(uint16_t ch, double* max, double* min) {
    return ReadRange(qrv::kRampSymmetry, ch, max, min);
}
QRV_API uint16_t qmkHDReadChannelPulseDutyStandard(uint16_t ch, double* max, double* min) {
    return ReadRange(qrv::kPulseDuty, ch, max, min);
}
QRV_API uint16_t qmkHDReadChannelPulseWidthStandard(uint16_t ch, double* max, double* min) {
    return ReadRange(qrv::kPulseWidth, ch, max, min);
}
QRV_API uint16_t qmkHDReadChannelPulseLeadingStandard(uint16_t ch, double* max, double* min) {
    return ReadRange(qrv::kPulseLeading, ch, max, min);
}
QRV_API uint16_t qmkHDReadChannelPulseTrailingStandard(uint16_t ch, double* max, double* min) {
    return ReadRange(qrv::kPulseTrailing, ch, max, min);
}

}  // extern "C"
