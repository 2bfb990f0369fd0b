// The numeric channel settings: one table, one write, one read, twenty exports.
#include "numeric_settings.h"

#include "QRVHardDll.h"
#include "export_guard.h"
#include "link.h"
#include "number_rules.h"
#include "zorbel/numbers.h"

#include <cmath>

namespace qrv {

namespace {

// Absolute tolerance, in instrument units, for the instrument's repeat of a value.
constexpr double kConfirmTolerance = 1e-7;

constexpr std::array<NumericSetting, kNumericQuantityCount> kSettings = {{
    {NumericQuantity::Amplitude, "amplitude", "VOLTage", 1, 1, LimitRule::A},
    {NumericQuantity::Frequency, "frequency", "FREQuency", 1, 1, LimitRule::A},
    {NumericQuantity::OffsetVoltage, "offset voltage", "VOLTage:OFFSet", 1, 1, LimitRule::B},
    {NumericQuantity::InitPhase, "initial phase", "PHASe", 1, 1, LimitRule::A},
    {NumericQuantity::SquareDuty, "square duty", "FUNCtion:SQUare:DCYCle", 100, 0.01, LimitRule::A},
    {NumericQuantity::RampSymmetry, "ramp symmetry", "FUNCtion:RAMP:SYMMetry", 100, 0.01, LimitRule::C},
    {NumericQuantity::PulseDuty, "pulse duty", "FUNCtion:PULSe:DCYCle", 100, 0.01, LimitRule::A},
    {NumericQuantity::PulseWidth, "pulse width", "FUNCtion:PULSe:WIDTh", 1, 1, LimitRule::A},
    {NumericQuantity::PulseLeading, "pulse leading edge", "FUNCtion:PULSe:TRANsition:LEADing", 1, 1, LimitRule::A},
    {NumericQuantity::PulseTrailing, "pulse trailing edge", "FUNCtion:PULSe:TRANsition:TRAiling", 1, 1, LimitRule::A},
}};

// Every order-based table of the quantities (this one, the exports below, the
// range exports) indexes by NumericQuantity: a row out of place fails the build.
constexpr bool RowsInEnumerationOrder() {
    for (std::size_t i = 0; i < kSettings.size(); ++i)
        if (static_cast<std::size_t>(kSettings[i].quantity) != i) return false;
    return true;
}
static_assert(RowsInEnumerationOrder(), "kSettings rows must follow NumericQuantity");

std::string Prefix(NumericQuantity quantity, std::uint16_t channel) {
    std::string text = "SOURce" + zorbel::formatInt(static_cast<long long>(channel) + 1) + ":";
    text += Setting(quantity).word;
    return text;
}

// Written as "all must hold" so that a NaN anywhere rejects.
bool LimitsAcceptable(LimitRule rule, double maximum, double minimum) {
    if (rule == LimitRule::B) return maximum >= minimum;
    return maximum > 0 && minimum >= 0 && maximum >= minimum;
}

bool WriteValueInRange(LimitRule rule, double value, double maximum, double minimum) {
    if (rule == LimitRule::B) return minimum < value && value <= maximum;
    return minimum <= value && value <= maximum;
}

}  // namespace

const NumericSetting& Setting(NumericQuantity quantity) { return kSettings[static_cast<std::size_t>(quantity)]; }

std::string SetCommand(NumericQuantity quantity, std::uint16_t channel, std::string_view valueText) {
    std::string text = Prefix(quantity, channel);
    text += ' ';
    text += valueText;
    return text;
}

std::string QueryCommand(NumericQuantity quantity, std::uint16_t channel) { return Prefix(quantity, channel) + "?"; }

std::string RangeQueryCommand(NumericQuantity quantity, std::uint16_t channel, std::string_view bound) {
    std::string text = QueryCommand(quantity, channel);
    text += ' ';
    text += bound;
    return text;
}

std::uint16_t WriteNumeric(NumericQuantity quantity, std::uint16_t channel, double value, double maximum,
                           double minimum) {
    const NumericSetting& setting = Setting(quantity);
    if (!LimitsAcceptable(setting.rule, maximum, minimum)) return kStatusRejected;
    if (!WriteValueInRange(setting.rule, value, maximum, minimum))
        return setting.rule == LimitRule::C ? kStatusNoLink : kStatusRejected;
    // "INF" is no number the instrument knows; an infinite limit must not let it through.
    if (!std::isfinite(value)) return kStatusRejected;

    // "%G" keeps six significant digits: the instrument gets the rounded
    // value, so its repeat is compared with that, read back from the very
    // text sent. Comparing with the unrounded value would refuse every value
    // of seven digits the instrument took, and latch the session.
    const std::string valueText = zorbel::formatWindowsG(value * setting.toInstrument);
    double sentValue = 0;
    if (!TurnStringIntoDouble(valueText, sentValue)) return kStatusRejected;
    std::string answer;
    const int sent = SendCommand(SetCommand(quantity, channel, valueText), answer,
                                 static_cast<std::uint32_t>(ExchangeMode::WriteRead));
    if (sent != kExchangeDone) return FailureStatus(sent);
    double repeated = 0;
    if (!TurnStringIntoDouble(answer, repeated)) return kStatusRejected;
    return std::fabs(repeated - sentValue) < kConfirmTolerance ? kStatusOk : kStatusRejected;
}

std::uint16_t ReadNumeric(NumericQuantity quantity, std::uint16_t channel, double* value, double maximum,
                          double minimum) {
    const NumericSetting& setting = Setting(quantity);
    if (value == nullptr || !LimitsAcceptable(setting.rule, maximum, minimum)) return kStatusRejected;
    std::string answer;
    const int sent =
        SendCommand(QueryCommand(quantity, channel), answer, static_cast<std::uint32_t>(ExchangeMode::WriteRead));
    if (sent != kExchangeDone) return FailureStatus(sent);
    double parsed = 0;
    if (!TurnStringIntoDouble(answer, parsed)) return kStatusRejected;
    const double scaled = parsed * setting.fromInstrument;
    if (!(minimum <= scaled && scaled <= maximum)) return kStatusRejected;
    *value = scaled;
    return kStatusOk;
}

}  // namespace qrv

using qrv::NoThrow;
using qrv::NumericQuantity;

namespace {

std::uint16_t Write(NumericQuantity q, uint16_t channel, double value, double maximum, double minimum) {
    return NoThrow([&] { return qrv::WriteNumeric(q, channel, value, maximum, minimum); });
}

std::uint16_t Read(NumericQuantity q, uint16_t channel, double* value, double maximum, double minimum) {
    return NoThrow([&] { return qrv::ReadNumeric(q, channel, value, maximum, minimum); });
}

}  // namespace

// clang-format off
uint16_t qmkHDWriteChannelAmplitude(uint16_t c, double v, double max, double min) { return Write(NumericQuantity::Amplitude, c, v, max, min); }
uint16_t qmkHDWriteChannelFrequency(uint16_t c, double v, double max, double min) { return Write(NumericQuantity::Frequency, c, v, max, min); }
uint16_t qmkHDWriteChannelOffsetVoltage(uint16_t c, double v, double max, double min) { return Write(NumericQuantity::OffsetVoltage, c, v, max, min); }
uint16_t qmkHDWriteChannelInitPhase(uint16_t c, double v, double max, double min) { return Write(NumericQuantity::InitPhase, c, v, max, min); }
uint16_t qmkHDWriteChannelSquareDuty(uint16_t c, double v, double max, double min) { return Write(NumericQuantity::SquareDuty, c, v, max, min); }
uint16_t qmkHDWriteChannelRampSymmetry(uint16_t c, double v, double max, double min) { return Write(NumericQuantity::RampSymmetry, c, v, max, min); }
uint16_t qmkHDWriteChannelPulseDuty(uint16_t c, double v, double max, double min) { return Write(NumericQuantity::PulseDuty, c, v, max, min); }
uint16_t qmkHDWriteChannelPulseWidth(uint16_t c, double v, double max, double min) { return Write(NumericQuantity::PulseWidth, c, v, max, min); }
uint16_t qmkHDWriteChannelPulseLeading(uint16_t c, double v, double max, double min) { return Write(NumericQuantity::PulseLeading, c, v, max, min); }
uint16_t qmkHDWriteChannelPulseTrailing(uint16_t c, double v, double max, double min) { return Write(NumericQuantity::PulseTrailing, c, v, max, min); }

uint16_t qmkHDReadChannelAmplitude(uint16_t c, double* v, double max, double min) { return Read(NumericQuantity::Amplitude, c, v, max, min); }
uint16_t qmkHDReadChannelFrequency(uint16_t c, double* v, double max, double min) { return Read(NumericQuantity::Frequency, c, v, max, min); }
uint16_t qmkHDReadChannelOffsetVoltage(uint16_t c, double* v, double max, double min) { return Read(NumericQuantity::OffsetVoltage, c, v, max, min); }
uint16_t qmkHDReadChannelInitPhase(uint16_t c, double* v, double max, double min) { return Read(NumericQuantity::InitPhase, c, v, max, min); }
uint16_t qmkHDReadChannelSquareDuty(uint16_t c, double* v, double max, double min) { return Read(NumericQuantity::SquareDuty, c, v, max, min); }
uint16_t qmkHDReadChannelRampSymmetry(uint16_t c, double* v, double max, double min) { return Read(NumericQuantity::RampSymmetry, c, v, max, min); }
uint16_t qmkHDReadChannelPulseDuty(uint16_t c, double* v, double max, double min) { return Read(NumericQuantity::PulseDuty, c, v, max, min); }
uint16_t qmkHDReadChannelPulseWidth(uint16_t c, double* v, double max, double min) { return Read(NumericQuantity::PulseWidth, c, v, max, min); }
uint16_t qmkHDReadChannelPulseLeading(uint16_t c, double* v, double max, double min) { return Read(NumericQuantity::PulseLeading, c, v, max, min); }
uint16_t qmkHDReadChannelPulseTrailing(uint16_t c, double* v, double max, double min) { return Read(NumericQuantity::PulseTrailing, c, v, max, min); }
// clang-format on
