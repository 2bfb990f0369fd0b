// Readers and writers of the .arb and .qwf arbitrary waveform files.
//
// Readers parse the whole file into a staging copy and check it before the
// channel is touched, so a refused file changes nothing. Writers take a copy
// of the waveform under the records lock and format outside it.
#include "zorbel/model/arbitrary_files.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <vector>

#include "file_numbers.h"
#include "zorbel/numbers.h"

namespace zorbel {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kFlushBytes = 64 * 1024;
constexpr std::size_t kQwfValuesPerLine = 10;
constexpr int kQwfFieldWidth = 14;

// Records why an operation is refused; always false, for "return Fail(...)".
bool Fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

void RemoveBlanks(std::string& line) { std::erase(line, ' '); }

// The text after the last `separator`, or the whole line without one.
std::string_view HeaderValue(std::string_view line, char separator) {
    const auto at = line.rfind(separator);
    return at == std::string_view::npos ? line : line.substr(at + 1);
}

// Reads `count` header lines, blanks removed; lines missing at the end of the
// file read as empty. False only when reading failed.
template <std::size_t Count>
bool ReadHeader(LineSource& file, std::array<std::string, Count>& lines) {
    for (std::string& line : lines) {
        if (!file.NextLine(line)) {
            if (file.Failed()) return false;
            line.clear();
        }
        RemoveBlanks(line);
    }
    return true;
}

bool CheckPointCount(std::int32_t announced, std::string* error) {
    if (announced >= 0 && static_cast<std::uint32_t>(announced) <= kMaxArbitraryPoints) return true;
    return Fail(error, "the file announces " + formatInt(announced) + " samples; 0 to " +
                           formatInt(kMaxArbitraryPoints) + " are possible");
}

bool IsGainCode(double code) { return code == 1.0 || code == 4.0 || code == 20.0; }

// Lines of the file text, batched into large writes.
class LineWriter {
public:
    explicit LineWriter(TextSink& sink) : sink_(sink) { buffer_.reserve(kFlushBytes + 256); }

    void Append(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= kFlushBytes) Flush();
    }
    void Line(std::string_view text) {
        buffer_.append(text);
        Append(kLineEnd);
    }
    bool Finish() {
        Flush();
        return ok_;
    }

private:
    void Flush() {
        if (ok_ && !buffer_.empty()) ok_ = sink_.Write(buffer_);
        buffer_.clear();
    }

    TextSink& sink_;
    std::string buffer_;
    bool ok_ = true;
};

struct WaveformCopy {
    std::vector<double> samples;  // the first point-count samples, volts
    std::uint16_t zoom = 0;
    std::uint16_t divider = 0;
    double frequency = 0.0;  // hertz
};

WaveformCopy CopyWaveform(const DeviceSettings& settings, std::uint16_t channel) {
    return settings.ReadRecord(channel, [](const ChannelRecord& r) {
        const std::size_t n = std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size());
        return WaveformCopy{std::vector<double>(r.arbitrarySamples.begin(), r.arbitrarySamples.begin() + n),
                            r.arbitraryZoom, r.arbitraryDivider, r.arbitraryFrequency};
    });
}

// Buffer of `announced` samples (the file's N) and the point count, N
// rounded down to 16, replace the channel's; nothing is left half done when
// memory runs out, as the resize allocates before it changes anything.
void ReplaceSamples(DeviceSettings& settings, std::uint16_t channel, std::vector<double>& samples) {
    settings.ResizeArbitrary(channel, static_cast<std::uint32_t>(samples.size()));
    settings.ModifyRecord(channel, [&](ChannelRecord& r) { r.arbitrarySamples.swap(samples); });
}

bool ReadArb(DeviceSettings& settings, LineSource& file, std::uint16_t channel, std::string* error) {
    std::array<std::string, 6> header;
    if (!ReadHeader(file, header)) return Fail(error, file.Error());
    const std::int32_t announced = files::ReadInteger(HeaderValue(header[2], ','));
    if (!CheckPointCount(announced, error)) return false;
    const double zoom = std::trunc(files::ReadReal(HeaderValue(header[4], ',')));
    if (!IsGainCode(zoom)) {
        return Fail(error, "the gain code (#zoom) " + formatWindowsG(zoom) + " is not 1, 4 or 20");
    }
    const std::uint16_t divider = files::TruncatedLow16(files::ReadReal(HeaderValue(header[5], ',')));

    std::vector<double> samples(static_cast<std::size_t>(announced), 0.0);
    std::string line;
    for (std::size_t i = 0; i < samples.size() && file.NextLine(line); ++i) {
        RemoveBlanks(line);
        samples[i] = files::ReadReal(line) * zoom;
    }
    if (file.Failed()) return Fail(error, file.Error());

    ReplaceSamples(settings, channel, samples);
    settings.ModifyRecord(channel, [&](ChannelRecord& r) { r.arbitraryZoom = static_cast<std::uint16_t>(zoom); });
    settings.SetArbitraryDivider(channel, divider);  // queues the divider write
    return true;
}

bool ReadQwf(DeviceSettings& settings, LineSource& file, std::uint16_t channel, std::string* error) {
    std::array<std::string, 4> header;
    if (!ReadHeader(file, header)) return Fail(error, file.Error());
    const std::uint16_t divider = files::Low16(files::ReadInteger(HeaderValue(header[1], '=')));
    const std::int32_t announced = files::ReadInteger(HeaderValue(header[2], '='));
    if (!CheckPointCount(announced, error)) return false;
    const double frequency = files::ReadReal(HeaderValue(header[3], '='));

    std::vector<double> samples(static_cast<std::size_t>(announced), 0.0);
    const std::size_t wanted = samples.size() & ~std::size_t{15};
    std::size_t taken = 0;
    std::string line;
    while (taken < wanted && file.NextLine(line)) {
        RemoveBlanks(line);
        std::string_view rest = line;
        while (!rest.empty() && taken < wanted) {
            // A value ends at the next ","; a "," at the very start does not
            // end one, so such a line is taken whole (and reads as 0).
            const auto comma = rest.find(',');
            std::string_view value = rest;
            if (comma != std::string_view::npos && comma >= 1) {
                value = rest.substr(0, comma);
                rest.remove_prefix(comma + 1);
            } else {
                rest = {};
            }
            samples[taken++] = files::ReadReal(value);
        }
    }
    if (file.Failed()) return Fail(error, file.Error());

    ReplaceSamples(settings, channel, samples);
    settings.ModifyRecord(channel, [&](ChannelRecord& r) { r.arbitraryFrequency = frequency; });
    settings.SetArbitraryDivider(channel, divider);  // queues the divider write
    settings.ZoomFromData(channel);
    return true;
}

// Runs a reader, turning a bad channel and exhausted memory into a refusal.
template <class Reader>
bool Guarded(Reader reader, DeviceSettings& settings, LineSource& file, std::uint16_t channel, std::string* error) {
    if (channel >= kChannelCount) return Fail(error, "no such channel");
    try {
        return reader(settings, file, channel, error);
    } catch (const std::bad_alloc&) {
        return Fail(error, "not enough memory for the waveform");
    }
}

}  // namespace

bool ReadArbFile(DeviceSettings& settings, LineSource& file, std::uint16_t channel, std::string* error) {
    return Guarded(ReadArb, settings, file, channel, error);
}

bool ReadQwfFile(DeviceSettings& settings, LineSource& file, std::uint16_t channel, std::string* error) {
    return Guarded(ReadQwf, settings, file, channel, error);
}

bool WriteArbFile(const DeviceSettings& settings, TextSink& file, std::uint16_t channel, std::string* error) {
    if (channel >= kChannelCount) return Fail(error, "no such channel");
    const WaveformCopy wave = CopyWaveform(settings, channel);
    if (!IsGainCode(wave.zoom)) {
        return Fail(error, "the gain code " + formatInt(wave.zoom) + " is not 1, 4 or 20");
    }
    const double zoom = wave.zoom;
    LineWriter out(file);
    out.Line("version," + formatInt(16));
    out.Line("type," + formatInt(2));
    out.Line("samples," + formatInt(static_cast<long long>(wave.samples.size())));
    out.Line("sps," + formatFixed(kArbitrarySampleRate));
    out.Line("#zoom," + formatInt(wave.zoom));
    out.Line("div," + formatInt(wave.divider));
    for (double sample : wave.samples) out.Line(formatFixed(sample / zoom));
    if (!out.Finish()) return Fail(error, "the file could not be written");
    return true;
}

bool WriteQwfFile(const DeviceSettings& settings, TextSink& file, std::uint16_t channel, std::string* error) {
    if (channel >= kChannelCount) return Fail(error, "no such channel");
    const WaveformCopy wave = CopyWaveform(settings, channel);
    LineWriter out(file);
    out.Line("#Total=" + formatWindowsG(kArbitrarySampleRate));
    out.Line("#SAMPLE=" + formatInt(wave.divider));
    out.Line("#SIZE=" + formatInt(static_cast<long long>(wave.samples.size())));
    out.Line("#Freq=" + formatFixed(wave.frequency));
    for (std::size_t i = 0; i < wave.samples.size(); ++i) {
        out.Append(formatWindowsG(wave.samples[i], kQwfFieldWidth));
        // Every full line ends with its break; the last partial one without.
        out.Append((i + 1) % kQwfValuesPerLine == 0 ? std::string_view(",\r\n") : std::string_view(","));
    }
    if (!out.Finish()) return Fail(error, "the file could not be written");
    return true;
}

}  // namespace zorbel
