// The instrument's real-time clock (date and time of day), and two memory
// exports that other hosts still import but that have nothing to do.
#include <array>
#include <cmath>
#include <span>
#include <string>

#include "QRVHardDll.h"
#include "answer_parsers.h"
#include "export_guard.h"
#include "link.h"
#include "zorbel/numbers.h"

namespace qrv {

namespace {

// "%*d": the integer right-aligned in `width` characters with blanks.
std::string Padded(std::uint16_t value, std::size_t width) {
    std::string text = zorbel::formatInt(value);
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

std::uint16_t QueryTriple(std::string_view command, std::array<double, 3>& values, std::size_t& parsed) {
    std::string answer;
    const int sent = SendCommand(command, answer, static_cast<std::uint32_t>(ExchangeMode::WriteRead));
    if (sent != kExchangeDone) return FailureStatus(sent);
    parsed = ParseNumberList(answer, values);
    return kStatusOk;
}

// Sends the three values (year, month, day or hour, minute, second) with the
// widths 4/2/2 or 2/2/2; the instrument must answer with the same three.
std::uint16_t SetTriple(std::string_view header, std::size_t firstWidth, const std::uint16_t* values,
                        std::uint32_t count) {
    if (values == nullptr || count < 3) return kStatusRejected;
    return NoThrow([&]() -> std::uint16_t {
        std::string command(header);
        command.append(" ").append(Padded(values[0], firstWidth));
        command.append(",").append(Padded(values[1], 2));
        command.append(",").append(Padded(values[2], 2));
        std::array<double, 3> answer{};
        std::size_t parsed = 0;
        if (const auto s = QueryTriple(command, answer, parsed); s != kStatusOk) return s;
        if (parsed != 3) return kStatusRejected;
        for (std::size_t i = 0; i < 3; ++i)
            if (std::trunc(answer[i]) != values[i]) return kStatusRejected;
        return kStatusOk;
    });
}

// `*count` gets how many numbers the answer held (at most 3) once an answer
// arrived; the values are stored only when there are three that fit 16 bits.
std::uint16_t GetTriple(std::string_view query, std::int16_t* values, std::uint32_t* count) {
    if (values == nullptr || count == nullptr) return kStatusRejected;
    return NoThrow([&]() -> std::uint16_t {
        std::array<double, 3> answer{};
        std::size_t parsed = 0;
        if (const auto s = QueryTriple(query, answer, parsed); s != kStatusOk) return s;
        *count = static_cast<std::uint32_t>(parsed);
        if (parsed != 3) return kStatusRejected;
        std::array<std::int16_t, 3> truncated{};
        for (std::size_t i = 0; i < 3; ++i)
            if (!TruncateToInt16(answer[i], truncated[i])) return kStatusRejected;
        std::copy(truncated.begin(), truncated.end(), values);
        return kStatusOk;
    });
}

}  // namespace

}  // namespace qrv

extern "C" {

QRV_API uint16_t qmkHDMSetDeviceSystemDate(const uint16_t* yearMonthDay, uint32_t count) {
    return qrv::SetTriple("SYSTem:DATE", 4, yearMonthDay, count);
}

QRV_API uint16_t qmkHDMGetDeviceSystemDate(int16_t* yearMonthDay, uint32_t* count) {
    return qrv::GetTriple("SYSTem:DATE?", yearMonthDay, count);
}

QRV_API uint16_t qmkHDMSetDeviceSystemTime(const uint16_t* hourMinuteSecond, uint32_t count) {
    return qrv::SetTriple("SYSTem:TIME", 2, hourMinuteSecond, count);
}

QRV_API uint16_t qmkHDMGetDeviceSystemTime(int16_t* hourMinuteSecond, uint32_t* count) {
    return qrv::GetTriple("SYSTem:TIME?", hourMinuteSecond, count);
}

QRV_API uint16_t qmkHDMReadMemoryStateValidFromUser(uint32_t, uint32_t, uint32_t, uint32_t) { return 1; }

QRV_API uint16_t qmkHDMDeleteMemoryStateValidFromUser(uint32_t, uint32_t, uint32_t) { return 1; }

}  // extern "C"
