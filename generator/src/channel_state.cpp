// Output on/off and wave type of a channel: words instead of numbers, each
// confirmed by the instrument repeating the word exactly.
#include "QRVHardDll.h"
#include "export_guard.h"
#include "link.h"
#include "wave_types.h"
#include "zorbel/numbers.h"

#include <string>

namespace {

using namespace qrv;

std::string ChannelNumber(uint16_t channel) { return zorbel::formatInt(static_cast<long long>(channel) + 1); }

// Sends `command` in mode WriteRead; on success the answer is in `answer`.
int Ask(const std::string& command, std::string& answer) {
    return SendCommand(command, answer, static_cast<std::uint32_t>(ExchangeMode::WriteRead));
}

}  // namespace

uint16_t qmkHDWriteChannelOnOff(uint16_t channel, uint16_t state) {
    return NoThrow([&]() -> std::uint16_t {
        const std::string word = state != 0 ? "ON" : "OFF";
        std::string answer;
        const int sent = Ask("OUTPut" + ChannelNumber(channel) + " " + word, answer);
        if (sent != kExchangeDone) return FailureStatus(sent);
        return answer == word ? kStatusOk : kStatusRejected;
    });
}

uint16_t qmkHDReadChannelOnOff(uint16_t channel, int16_t* state) {
    return NoThrow([&]() -> std::uint16_t {
        if (state == nullptr) return kStatusRejected;
        std::string answer;
        const int sent = Ask("OUTPut" + ChannelNumber(channel) + "?", answer);
        if (sent != kExchangeDone) return FailureStatus(sent);
        if (answer == "ON")
            *state = 1;
        else if (answer == "OFF")
            *state = 0;
        else
            return kStatusRejected;
        return kStatusOk;
    });
}

uint16_t qmkHDWriteChannelWaveType(uint16_t channel, uint16_t waveType) {
    return NoThrow([&]() -> std::uint16_t {
        const std::string_view word = WaveTypeName(waveType);
        if (word.empty()) return kStatusRejected;
        std::string answer;
        const int sent = Ask("SOURce" + ChannelNumber(channel) + ":FUNCtion " + std::string(word), answer);
        if (sent != kExchangeDone) return FailureStatus(sent);
        return WaveTypeCode(answer) == waveType ? kStatusOk : kStatusRejected;
    });
}

uint16_t qmkHDReadChannelWaveType(uint16_t channel, int16_t* waveType) {
    return NoThrow([&]() -> std::uint16_t {
        if (waveType == nullptr) return kStatusRejected;
        std::string answer;
        const int sent = Ask("SOURce" + ChannelNumber(channel) + ":FUNCtion?", answer);
        if (sent != kExchangeDone) return FailureStatus(sent);
        const std::uint16_t code = WaveTypeCode(answer);
        if (code == 0) return kStatusRejected;
        *waveType = static_cast<int16_t>(code);
        return kStatusOk;
    });
}
