// Request handling of the simulated oscilloscope (see scope_instrument.h).
#include "scope_instrument.h"

#include <algorithm>
#include <string>

#include "zorbel/numbers.h"

namespace scopesim {

namespace {

using qmk::Bytes;
constexpr std::uint8_t kStatusOk = 0x00;
constexpr std::uint8_t kStatusRejected = 0x01;
constexpr std::size_t kCaptureSamples = 600;  // one screen: 50 per division

Bytes Reply(std::uint8_t requestCode, std::span<const std::uint8_t> data) {
    return qmk::BuildFrame(requestCode | qmk::kReplyBit, data);
}

Bytes Reply(std::uint8_t requestCode, std::initializer_list<std::uint8_t> data) {
    return Reply(requestCode, std::span<const std::uint8_t>(data.begin(), data.size()));
}

std::string ChannelKey(int channel, const char* field) {
    return "VERT-CH" + zorbel::formatInt(channel + 1) + "-" + field;
}

// Smallest step index whose value is at least `needed` (the last one if none).
std::size_t FirstStepAtLeast(std::span<const double> steps, double needed) {
    for (std::size_t i = 0; i < steps.size(); ++i)
        if (steps[i] >= needed) return i;
    return steps.size() - 1;
}

}  // namespace

ScopeInstrument::ScopeInstrument(SignalSource& signals, Faults faults) : signals_(signals), faults_(faults) {}

std::vector<Bytes> ScopeInstrument::Handle(std::span<const std::uint8_t> request) {
    if (request.size() < qmk::kHeaderSize + 1 || request[0] != qmk::kFrameStart) return {};
    const std::size_t n = request[1] | (request[2] << 8);
    if (n < 2 || request.size() != n + 3) return {};
    const std::uint8_t code = request[3];
    // File requests end in a fixed byte; every other request in its checksum.
    const std::uint8_t expected =
        code == qmk::kCodeReadFile ? qmk::kFileRequestTrailer : qmk::Checksum(request.first(n + 2));
    if (request[n + 2] != expected) return {};
    const auto data = request.subspan(qmk::kHeaderSize, n - 2);

    std::vector<Bytes> replies;
    switch (code) {
    case qmk::kCodeSync:
        return Sync(data);
    case qmk::kCodeReadBlock:
        replies = {Reply(code, block_.Bytes())};
        break;
    case qmk::kCodeWriteBlock:
        replies = WriteBlock(data);
        break;
    case qmk::kCodeReadFile:
        replies = ReadFile(data);
        break;
    case qmk::kCodeControl:
        replies = Control(data);
        break;
    case qmk::kCodeAutoset:
        replies = Autoset();
        break;
    case qmk::kCodeMeasure:
        replies = Measure(data);
        break;
    case qmk::kCodeCapture:
        replies = Capture(data);
        break;
    default:
        return {};
    }
    if (!replies.empty() && faults_.corruptChecksum > 0) {
        --faults_.corruptChecksum;
        replies.front().back() ^= 0x5A;
    }
    return replies;
}

std::vector<Bytes> ScopeInstrument::Sync(std::span<const std::uint8_t> data) {
    if (data.size() != 2) return {};
    if (faults_.otherCode > 0) {
        --faults_.otherCode;
        return {Reply(qmk::kCodeReadBlock, block_.Bytes())};  // a stale answer to an earlier read
    }
    std::vector<Bytes> replies;
    if (faults_.wrongSequence > 0) {
        --faults_.wrongSequence;
        const std::uint16_t older = static_cast<std::uint16_t>(((data[0] << 8) | data[1]) - 1);
        replies.push_back(
            Reply(qmk::kCodeSync, {static_cast<std::uint8_t>(older >> 8), static_cast<std::uint8_t>(older & 0xFF)}));
    }
    replies.push_back(Reply(qmk::kCodeSync, data));
    return replies;
}

std::vector<Bytes> ScopeInstrument::ReadFile(std::span<const std::uint8_t> data) {
    if (data.empty()) return {};
    const std::string name(data.begin() + 1, data.end());
    std::string text;
    if (name == "/protocol.inf")
        text = TableText(BlockFields());
    else if (name == "/keyprotocol.inf")
        text = TableText(KeyFields());
    else
        return {Reply(qmk::kCodeReadFile, {0x00})};  // no such file
    Bytes body{0x01};
    body.insert(body.end(), text.begin(), text.end());
    return {Reply(qmk::kCodeReadFile, body), Reply(qmk::kCodeReadFile, {0x02})};
}

std::vector<Bytes> ScopeInstrument::WriteBlock(std::span<const std::uint8_t> data) {
    return {Reply(qmk::kCodeWriteBlock, {block_.Replace(data) ? kStatusOk : kStatusRejected})};
}

std::vector<Bytes> ScopeInstrument::Control(std::span<const std::uint8_t> data) {
    if (data.size() != 2 || data[0] > 1) return {};
    block_.Set(data[0] == 0 ? "CONTROL-RUN" : "CONTROL-KEYLOCK", data[1]);
    return {Reply(qmk::kCodeControl, data)};
}

std::vector<Bytes> ScopeInstrument::Autoset() {
    ++autosets_;
    int trigger = -1;
    for (int channel = 0; channel < 2; ++channel) {
        const ChannelSignal signal = signals_.Signal(channel);
        if (!signal.on) continue;
        // About six divisions for the wave, two periods across the screen.
        const double span = std::max(signal.amplitudeVpp + 2 * std::abs(signal.offsetV), 1e-3) * Probe(channel);
        block_.Set(ChannelKey(channel, "VB"),
                   static_cast<std::int64_t>(FirstStepAtLeast(VoltsPerDivision(), span / 6)));
        block_.Set(ChannelKey(channel, "POS"), 0);
        block_.Set(ChannelKey(channel, "DISP"), 1);
        if (trigger < 0 && signal.wave != Wave::Noise && signal.frequencyHz > 0) {
            trigger = channel;
            const auto tb =
                static_cast<std::int64_t>(FirstStepAtLeast(SecondsPerDivision(), 2 / signal.frequencyHz / 12));
            block_.Set("HORIZ-TB", tb);
            block_.Set("HORIZ-WIN-TB", tb);
        }
    }
    if (trigger >= 0) block_.Set("TRIG-SRC", trigger);
    return {Reply(qmk::kCodeAutoset, {0x11, kStatusOk})};
}

std::vector<Bytes> ScopeInstrument::Measure(std::span<const std::uint8_t> data) {
    if (data.size() != 3) return {};
    const std::uint8_t item = data[0];
    const std::uint8_t source = data[1];
    std::string text = "?";
    if (item >= 1 && item <= 8 && source <= 1) {
        const auto type = static_cast<std::uint8_t>(block_.Get("MEASURE-ITEM" + zorbel::formatInt(item)));
        text = MeasurementText(type, signals_.Signal(source), Probe(source));
    }
    return {Reply(qmk::kCodeMeasure,
                  std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()))};
}

std::vector<Bytes> ScopeInstrument::Capture(std::span<const std::uint8_t> data) {
    if (data.size() != 2 || data[0] != 0x01 || data[1] > 1) return {};
    const int channel = data[1];
    const auto vb = std::min<std::size_t>(block_.Get(ChannelKey(channel, "VB")), VoltsPerDivision().size() - 1);
    const auto tb = std::min<std::size_t>(block_.Get("HORIZ-TB"), SecondsPerDivision().size() - 1);
    const auto samples =
        CaptureSamples(signals_.Signal(channel), Probe(channel), VoltsPerDivision()[vb], SecondsPerDivision()[tb],
                       static_cast<int>(block_.GetSigned(ChannelKey(channel, "POS"))), kCaptureSamples);
    const std::size_t count = samples.size();
    Bytes body{0x01, static_cast<std::uint8_t>(channel)};
    for (std::int8_t s : samples) body.push_back(static_cast<std::uint8_t>(s));
    return {Reply(qmk::kCodeCapture,
                  {0x00, static_cast<std::uint8_t>(count & 0xFF), static_cast<std::uint8_t>((count >> 8) & 0xFF),
                   static_cast<std::uint8_t>((count >> 16) & 0xFF)}),
            Reply(qmk::kCodeCapture, body)};
}

double ScopeInstrument::Probe(int channel) const { return ProbeFactor(block_.Get(ChannelKey(channel, "PROBE"))); }

}  // namespace scopesim
