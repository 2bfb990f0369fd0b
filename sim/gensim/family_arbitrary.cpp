// Waveform memory of both outputs: gain, sample-clock divider, download and
// output windows, and the DAC16 data packets, which are decoded and checked
// byte for byte. Two simulator-only queries let tests see what is held:
//   "SIMulator:ARBitrary? <n>"  gain,divider,download address,download length,
//                               output address,output length,packets taken,
//                               packets refused
//   "SIMulator:ARBitrary:DATA? <n>,<address>,<count>"  the codes stored at
//                               address.. as comma-separated integers (at most
//                               1000 per query; never-written points are 0).
#include <algorithm>
#include <array>
#include <cstdint>
#include <iostream>
#include <memory>
#include <unordered_map>

#include "command_text.h"
#include "family.h"
#include "zorbel/numbers.h"

namespace gensim {

namespace {

constexpr std::uint32_t kMemoryPoints = 67'108'864;  // 2^26 points per channel
constexpr long long kMaxDivider = 250;
constexpr long long kMaxDumpCodes = 1000;  // keeps an answer far below 10255 bytes

// Sparse memory: only pages that were written exist (a full channel would be 128 MiB).
class WaveMemory {
public:
    void Store(std::uint32_t address, const unsigned char* littleEndian, std::uint32_t count) {
        // Page by page: one look-up per page, not per point.
        while (count > 0) {
            auto& page = pages_[address / kPagePoints];
            if (!page) page = std::make_unique<Page>();  // zero-filled
            const std::uint32_t offset = address % kPagePoints;
            const std::uint32_t run = std::min(count, kPagePoints - offset);
            for (std::uint32_t k = 0; k < run; ++k)
                (*page)[offset + k] = static_cast<std::int16_t>(littleEndian[2 * k] | (littleEndian[2 * k + 1] << 8));
            littleEndian += 2 * static_cast<std::size_t>(run);
            address += run;
            count -= run;
        }
    }
    std::int16_t At(std::uint32_t address) const {
        const auto it = pages_.find(address / kPagePoints);
        return it == pages_.end() ? 0 : (*it->second)[address % kPagePoints];
    }

private:
    static constexpr std::uint32_t kPagePoints = 65536;
    using Page = std::array<std::int16_t, kPagePoints>;
    std::unordered_map<std::uint32_t, std::unique_ptr<Page>> pages_;
};

struct Window {
    long long address = 0;
    long long length = kMemoryPoints;
};

struct ArbitraryChannel {
    long long gain = 1;
    long long divider = 1;
    Window download;
    Window output;
    long long packetsTaken = 0;
    long long packetsRefused = 0;
    WaveMemory memory;
};

// Reads the comma-terminated integer at the front of `text` and drops it.
bool TakeInt(std::string_view& text, long long& value) {
    const auto comma = text.find(',');
    if (comma == std::string_view::npos || !zorbel::ParseInt(text.substr(0, comma), value)) return false;
    text.remove_prefix(comma + 1);
    return true;
}

// "<address>,<length>" within the memory.
bool ParseWindow(std::string_view argument, Window& window) {
    const auto comma = argument.find(',');
    Window parsed;
    if (comma == std::string_view::npos || !zorbel::ParseInt(argument.substr(0, comma), parsed.address) ||
        !zorbel::ParseInt(argument.substr(comma + 1), parsed.length))
        return false;
    if (parsed.address < 0 || parsed.length < 0 || parsed.address + parsed.length > kMemoryPoints) return false;
    window = parsed;
    return true;
}

class ArbitraryFamily final : public CommandFamily {
public:
    explicit ArbitraryFamily(const SimOptions& options) : verbose_(options.verbose) {}

    std::optional<Answers> Handle(std::string_view command, GeneratorState&) override {
        int channel = 0;
        std::string_view rest;
        if (SplitChannelCommand(command, "SOURce", channel, rest) && rest.substr(0, 1) == ":")
            return Source(channels_[channel - 1], rest.substr(1));
        constexpr std::string_view kSim = "SIMulator:ARBitrary";
        if (command.substr(0, kSim.size()) == kSim) return Simulator(command.substr(kSim.size()));
        return std::nullopt;
    }

private:
    std::optional<Answers> Source(ArbitraryChannel& ch, std::string_view rest) {
        constexpr std::string_view kData = "DATA:DAC16:BIN ";
        if (rest.substr(0, kData.size()) == kData) {
            if (TakePacket(ch, rest.substr(kData.size()))) {
                ++ch.packetsTaken;
            } else {
                ++ch.packetsRefused;
                if (verbose_) std::cerr << "gensim: refused data packet: " << Printable(rest.substr(0, 80)) << '\n';
            }
            return Answers{};  // the instrument never answers a data packet
        }
        std::string_view header;
        std::string_view argument;
        SplitHeader(rest, header, argument);
        long long value = 0;
        if (header == "FUNCtion:ARBitrary:SRATe?" && argument.empty()) return Answers{zorbel::FormatInt(ch.divider)};
        if (header == "FUNCtion:ARBitrary:SRATe") {
            if (zorbel::ParseInt(argument, value) && value >= 0 && value <= kMaxDivider) ch.divider = value;
            return Answers{zorbel::FormatInt(ch.divider)};  // the divider as now set
        }
        if (header == "DATA:GAIN") {
            if (zorbel::ParseInt(argument, value) && (value == 1 || value == 4 || value == 20)) ch.gain = value;
            return Answers{};
        }
        if (header == "DATA:DOWNload") {
            ParseWindow(argument, ch.download);
            return Answers{};
        }
        if (header == "DATA:OUTPut") {
            ParseWindow(argument, ch.output);
            return Answers{};
        }
        return std::nullopt;
    }

    // "<total>,<end>,<count>,#<d><bytes><samples>;\r\n" (no block for 0 points).
    // The samples land at download address + end - count; a packet that does
    // not add up, or reaches beyond the download window, changes nothing.
    static bool TakePacket(ArbitraryChannel& ch, std::string_view text) {
        long long total = 0, end = 0, count = 0;
        if (!TakeInt(text, total) || !TakeInt(text, end) || !TakeInt(text, count)) return false;
        if (total < 0 || count < 0 || end < count || end > total || end > ch.download.length) return false;
        constexpr std::string_view kClose = ";\r\n";
        if (text.size() < kClose.size() || text.substr(text.size() - kClose.size()) != kClose) return false;
        text.remove_suffix(kClose.size());
        if (count == 0) return text.empty();

        if (text.size() < 2 || text[0] != '#' || text[1] < '1' || text[1] > '9') return false;
        const std::size_t width = static_cast<std::size_t>(text[1] - '0');
        std::string_view field = text.substr(2, width);
        if (field.size() != width) return false;
        field.remove_prefix(std::min(field.find_first_not_of(' '), field.size()));  // blank-padded
        long long bytes = 0;
        if (!zorbel::ParseInt(field, bytes) || bytes != 2 * count) return false;
        const std::string_view samples = text.substr(2 + width);
        if (static_cast<long long>(samples.size()) != bytes) return false;

        ch.memory.Store(static_cast<std::uint32_t>(ch.download.address + end - count),
                        reinterpret_cast<const unsigned char*>(samples.data()), static_cast<std::uint32_t>(count));
        return true;
    }

    std::optional<Answers> Simulator(std::string_view rest) {
        std::string_view header;
        std::string_view argument;
        SplitHeader(rest, header, argument);
        long long channel = 0;
        if (header == "?") {
            if (!zorbel::ParseInt(argument, channel) || channel < 1 || channel > 2) return std::nullopt;
            const ArbitraryChannel& ch = channels_[channel - 1];
            std::string answer;
            for (long long v : {ch.gain, ch.divider, ch.download.address, ch.download.length, ch.output.address,
                                ch.output.length, ch.packetsTaken, ch.packetsRefused}) {
                if (!answer.empty()) answer += ',';
                answer += zorbel::FormatInt(v);
            }
            return Answers{answer};
        }
        if (header == ":DATA?") {
            std::string_view args = argument;
            long long address = 0, count = 0;
            if (!TakeInt(args, channel) || channel < 1 || channel > 2 || !TakeInt(args, address) ||
                !zorbel::ParseInt(args, count) || address < 0 || count < 1)
                return std::nullopt;
            count = std::min({count, kMaxDumpCodes, kMemoryPoints - address});
            if (count < 1) return std::nullopt;
            const ArbitraryChannel& ch = channels_[channel - 1];
            std::string answer;
            for (long long k = 0; k < count; ++k) {
                if (k > 0) answer += ',';
                answer += zorbel::FormatInt(ch.memory.At(static_cast<std::uint32_t>(address + k)));
            }
            return Answers{answer};
        }
        return std::nullopt;
    }

    bool verbose_;
    std::array<ArbitraryChannel, 2> channels_;  // index 0 is "SOURce1"
};

}  // namespace

std::unique_ptr<CommandFamily> MakeArbitraryFamily(const SimOptions& options) {
    return std::make_unique<ArbitraryFamily>(options);
}

}  // namespace gensim
