// Calibration commands: select the channel, walk the instrument's numbered
// steps, read each step's reference values, write the measured value back,
// read the verdict and finally store the calibration data in the instrument.
// The order of these calls is the calibration procedure's, not this file's.
#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "QRVHardDll.h"
#include "answer_parsers.h"
#include "export_guard.h"
#include "link.h"
#include "zorbel/numbers.h"

namespace qrv {

namespace {

constexpr auto kWriteOnly = static_cast<std::uint32_t>(ExchangeMode::WriteOnly);
constexpr auto kWriteRead = static_cast<std::uint32_t>(ExchangeMode::WriteRead);

// A command without answer: 2 once sent.
std::uint16_t Send(const std::string& command) {
    std::string unused;
    const int sent = SendCommand(command, unused, kWriteOnly);
    return sent == kExchangeDone ? kStatusOk : FailureStatus(sent);
}

// A query whose answer must hold exactly values.size() leading numbers;
// `values` is written only then.
std::uint16_t QueryNumbers(std::string_view command, std::span<double> values) {
    std::string answer;
    const int sent = SendCommand(command, answer, kWriteRead);
    if (sent != kExchangeDone) return FailureStatus(sent);
    std::array<double, 2> parsed{};  // the longest answer read is two numbers
    const auto wanted = std::span(parsed).first(std::min(values.size(), parsed.size()));
    if (ParseNumberList(answer, wanted) != values.size()) return kStatusRejected;
    std::copy(wanted.begin(), wanted.end(), values.begin());
    return kStatusOk;
}

// A query of one number, truncated toward zero into `out`. A number beyond
// 16 bits is not acceptable rather than wrapped.
std::uint16_t QueryInt16(std::string_view command, std::int16_t* out) {
    if (out == nullptr) return kStatusRejected;
    double value = 0.0;
    const auto status = QueryNumbers(command, std::span(&value, 1));
    if (status != kStatusOk) return status;
    return TruncateToInt16(value, *out) ? kStatusOk : kStatusRejected;
}

}  // namespace

}  // namespace qrv

using qrv::NoThrow;

extern "C" {

QRV_API uint16_t qmkHDCSelectCalibrateChannel(uint16_t channel) {
    return NoThrow([&] { return qrv::Send("CALibration:SOURce CH" + zorbel::FormatInt(channel + 1)); });
}

QRV_API uint16_t qmkHDCReadCalibrateStepTotalNum(int16_t* steps) {
    return NoThrow([&] { return qrv::QueryInt16("CALibration:COUNt?", steps); });
}

// The step number goes out as given: the instrument counts steps from 1.
QRV_API uint16_t qmkHDCSetCalibrateCurStep(uint16_t step, int16_t* result) {
    if (result == nullptr) return qrv::kStatusRejected;
    return NoThrow([&] { return qrv::QueryInt16("CALibration:SETup " + zorbel::FormatInt(step), result); });
}

// First value: reference voltage (V); second: reference frequency (Hz).
QRV_API uint16_t qmkHDCReadCalibrateRefValueVsCurStep(double* first, double* second) {
    if (first == nullptr || second == nullptr) return qrv::kStatusRejected;
    return NoThrow([&] {
        double values[2] = {};
        const auto status = qrv::QueryNumbers("CALibration:MEASure?", values);
        if (status == qrv::kStatusOk) {
            *first = values[0];
            *second = values[1];
        }
        return status;
    });
}

QRV_API uint16_t qmkHDCWriteCalibrateMeasResultVsCurStep(double measured) {
    return NoThrow([&] { return qrv::Send("CALibration:VALue " + zorbel::FormatWindowsG(measured)); });
}

// Verdict of the current step: 0 pass, -1 fail, -2 fail that needs the previous step again.
QRV_API uint16_t qmkHDCReadCalibrateStateVsCurStep(int16_t* state) {
    return NoThrow([&] { return qrv::QueryInt16("CALibration?", state); });
}

QRV_API uint16_t qmkHDCSaveCalibrateData(void) {
    return NoThrow([&] { return qrv::Send("CALibration:STORe"); });
}

}  // extern "C"
