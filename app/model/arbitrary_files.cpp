// Readers and writers of the .arb and .qwf arbitrary waveform files.
//
// Readers parse the whole file into a staging copy and check it before the
// channel is touched, so a refused file changes nothing. Writers take a copy
// of the waveform under the records lock and format outside it.
#include "zorbel/model/arbitrary_files.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "file_numbers.h"
#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/file_texts.h"
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

// `text` is the count as the file writes it: a count beyond 32 bits reads
// as the largest 32-bit value, which is not what the user wrote.
bool CheckPointCount(std::int32_t announced, std::string_view text, std::string* error) {
    if (announced >= 0 && static_cast<std::uint32_t>(announced) <= kMaxArbitraryPoints) return true;
    return Fail(error, FileTextOf(FileText::CountOutside, {files::ShownText(text), FormatInt(kMaxArbitraryPoints)}));
}

// The divider as the file holds it, checked before it is narrowed to 16
// bits: 65536 must not pass as 0. `name` is the header's, for the message.
bool CheckDivider(double divider, std::string_view text, std::string_view name, std::string* error) {
    if (divider >= 0 && divider <= kMaxArbitraryDivider) return true;
    return Fail(error, FileTextOf(FileText::DividerOutside,
                                  {std::string(name), files::ShownText(text), FormatInt(kMaxArbitraryDivider)}));
}

bool IsGainCode(double code) { return code == 1.0 || code == 4.0 || code == 20.0; }

// What the sample readers met on the way, for the warnings of a load that
// succeeded.
struct SampleTally {
    std::size_t notNumbers = 0;  // loaded as 0
    std::size_t tooLarge = 0;    // beyond what the instrument plays; a download clamps them
};

// One sample, volts: the field's number times `scale`. Nothing for a value
// that is not finite (or is not once scaled); the reader refuses the file then.
std::optional<double> TakeSample(std::string_view text, double scale, SampleTally& tally) {
    const std::optional<double> value = files::ReadFiniteReal(text);
    if (!value || !std::isfinite(*value * scale)) return std::nullopt;
    if (!files::StartsWithNumber(text)) ++tally.notNumbers;
    const double volts = *value * scale;
    if (!(std::fabs(volts) <= kMaxArbitraryVolts)) ++tally.tooLarge;
    return volts;
}

bool RefuseSample(std::string* error, std::size_t lineNumber, std::string_view text) {
    return Fail(error, FileTextOf(FileText::SampleNotFinite,
                                  {FormatInt(static_cast<long long>(lineNumber)), files::ShownText(text)}));
}

void Warn(LoadWarnings* warnings, std::string text) {
    if (warnings) warnings->push_back(std::move(text));
}

std::string Count(std::size_t count) { return FormatInt(static_cast<long long>(count)); }

// The remarks of a load that succeeded: `announced` samples written as
// `announcedText`, `present` of the `expected` ones found in the file.
void WarnAboutSamples(LoadWarnings* warnings, std::string_view announcedText, std::size_t announced,
                      std::size_t expected, std::size_t present, const SampleTally& tally) {
    if (present < expected) {
        Warn(warnings, FileTextOf(FileText::FewerSamplesHeld,
                                  {files::ShownText(announcedText), Count(present), Count(announced - present)}));
    }
    if (tally.notNumbers > 0)
        Warn(warnings, FileTextOf(tally.notNumbers == 1 ? FileText::OneNotNumber : FileText::NotNumbers,
                                  {Count(tally.notNumbers)}));
    if (tally.tooLarge > 0) {
        Warn(warnings, FileTextOf(tally.tooLarge == 1 ? FileText::OneBeyondInstrument : FileText::BeyondInstrument,
                                  {Count(tally.tooLarge), FormatWindowsG(kMaxArbitraryVolts)}));
    }
    if (auto rounded = RoundedCountWarning(announced)) Warn(warnings, std::move(*rounded));
}

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

// Lines between two looks for a stop request and two progress notes.
constexpr std::size_t kLinesPerLook = std::size_t{1} << 14;

// Room for `count` samples, all 0: a large array in the memory of a waveform.
std::vector<double> ZeroSamples(std::size_t count) {
    std::vector<double> samples;
    ReserveWaveform(samples, count);
    samples.resize(count, 0.0);
    return samples;
}

// False when the reader is to stop (no error then); notes the share read.
bool GoOn(JobProgress* progress, std::size_t done, std::size_t total) {
    if (!progress) return true;
    if (total > 0) progress->Set(static_cast<double>(done) / static_cast<double>(total));
    return !progress->StopRequested();
}

bool ParseArb(LineSource& file, ArbitraryFileContent& content, std::string* error, JobProgress* progress) {
    std::array<std::string, 6> header;
    if (!ReadHeader(file, header)) return Fail(error, file.Error());
    const std::string_view countText = HeaderValue(header[2], ',');
    const std::int32_t announced = files::ReadInteger(countText);
    if (!CheckPointCount(announced, countText, error)) return false;
    const std::string_view zoomText = HeaderValue(header[4], ',');
    const double zoom = std::trunc(files::ReadFiniteReal(zoomText).value_or(0.0));
    if (!IsGainCode(zoom)) {
        return Fail(error, FileTextOf(FileText::HeaderGainCode, {files::ShownText(zoomText)}));
    }
    const std::string_view dividerText = HeaderValue(header[5], ',');
    const double divider = std::trunc(files::ReadFiniteReal(dividerText).value_or(-1.0));
    if (!CheckDivider(divider, dividerText, "div", error)) return false;

    std::vector<double> samples = ZeroSamples(static_cast<std::size_t>(announced));
    SampleTally tally;
    std::size_t present = 0;
    std::string line;
    for (; present < samples.size() && file.NextLine(line); ++present) {
        if (present % kLinesPerLook == 0 && !GoOn(progress, present, samples.size())) return false;
        RemoveBlanks(line);
        const std::optional<double> sample = TakeSample(line, zoom, tally);
        if (!sample) return RefuseSample(error, present + header.size() + 1, line);
        samples[present] = *sample;
    }
    if (file.Failed()) return Fail(error, file.Error());

    content.samples = std::move(samples);
    content.zoom = static_cast<std::uint16_t>(zoom);
    content.divider = static_cast<std::uint16_t>(divider);
    WarnAboutSamples(&content.warnings, countText, static_cast<std::size_t>(announced),
                     static_cast<std::size_t>(announced), present, tally);
    return true;
}

bool ParseQwf(LineSource& file, ArbitraryFileContent& content, std::string* error, JobProgress* progress) {
    std::array<std::string, 4> header;
    if (!ReadHeader(file, header)) return Fail(error, file.Error());
    const std::string_view dividerText = HeaderValue(header[1], '=');
    const std::int32_t divider = files::ReadInteger(dividerText);
    if (!CheckDivider(divider, dividerText, "#SAMPLE", error)) return false;
    const std::string_view countText = HeaderValue(header[2], '=');
    const std::int32_t announced = files::ReadInteger(countText);
    if (!CheckPointCount(announced, countText, error)) return false;
    const std::string_view frequencyText = HeaderValue(header[3], '=');
    // #Freq is only checked: the frequency shown is the one the file's
    // points and divider play, whatever it claims.
    if (!files::ReadFiniteReal(frequencyText)) {
        return Fail(error, FileTextOf(FileText::FrequencyNotFinite, {files::ShownText(frequencyText)}));
    }

    std::vector<double> samples = ZeroSamples(static_cast<std::size_t>(announced));
    const std::size_t wanted = samples.size() & ~std::size_t{15};
    SampleTally tally;
    std::size_t taken = 0;
    std::size_t lineNumber = header.size();
    std::string line;
    while (taken < wanted && file.NextLine(line)) {
        ++lineNumber;
        if (lineNumber % kLinesPerLook == 0 && !GoOn(progress, taken, wanted)) return false;
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
            const std::optional<double> sample = TakeSample(value, 1.0, tally);
            if (!sample) return RefuseSample(error, lineNumber, value);
            samples[taken++] = *sample;
        }
    }
    if (file.Failed()) return Fail(error, file.Error());

    // The gain code the played points need, found here rather than where
    // the waveform is swapped in.
    const auto [lo, hi] = std::minmax_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(wanted));
    content.range = wanted > 0 ? std::pair{*hi, *lo} : std::pair{0.0, 0.0};
    content.samples = std::move(samples);
    content.divider = static_cast<std::uint16_t>(divider);
    WarnAboutSamples(&content.warnings, countText, static_cast<std::size_t>(announced), wanted, taken, tally);
    return true;
}

// A reader that refuses rather than throws: exhausted memory is a refusal.
template <class Parser>
bool Guarded(Parser parse, LineSource& file, ArbitraryFileContent& content, std::string* error, JobProgress* progress) {
    try {
        return parse(file, content, error, progress);
    } catch (const std::bad_alloc&) {
        return Fail(error, FileTextOf(FileText::NoMemory));
    }
}

bool ParseArbitraryFile(ArbitraryFormat format, LineSource& file, ArbitraryFileContent& content, std::string* error,
                        JobProgress* progress) {
    return format == ArbitraryFormat::Arb ? Guarded(ParseArb, file, content, error, progress)
                                          : Guarded(ParseQwf, file, content, error, progress);
}

bool ReadInto(ArbitraryFormat format, DeviceSettings& settings, LineSource& file, std::uint16_t channel,
              std::string* error, LoadWarnings* warnings) {
    if (channel >= kChannelCount) return Fail(error, FileTextOf(FileText::NoSuchChannel));
    ArbitraryFileContent content;
    if (!ParseArbitraryFile(format, file, content, error, nullptr)) return false;
    if (warnings) warnings->insert(warnings->end(), content.warnings.begin(), content.warnings.end());
    ApplyArbitraryFile(settings, channel, std::move(content));
    return true;
}

}  // namespace

void ApplyArbitraryFile(DeviceSettings& settings, std::uint16_t channel, ArbitraryFileContent content,
                        RedrawSink* sink) {
    EditArbitrary(settings, channel, ArbitraryEdit::Replace(std::move(content.samples)), sink);
    if (content.zoom) settings.ModifyRecord(channel, [&](ChannelRecord& r) { r.arbitraryZoom = *content.zoom; });
    settings.SetArbitraryDivider(channel, content.divider);  // queues the divider write
    if (content.range) settings.ZoomFromRange(channel, content.range->first, content.range->second);
}

LongJob ArbitraryFileJob(DeviceSettings& settings, ArbitraryFormat format, const std::string& path,
                         std::uint16_t channel, RedrawSink* sink, std::function<void(const ImportOutcome&)> done) {
    LongJob job;
    job.name = format == ArbitraryFormat::Arb ? "Load Data" : "Import Data";
    std::error_code failed;
    const std::uintmax_t bytes = std::filesystem::file_size(path, failed);
    job.small = failed || bytes < kSmallImportBytes;
    job.work = [&settings, format, path, channel, sink, done = std::move(done)](JobProgress& progress) -> JobFinish {
        auto outcome = std::make_shared<ImportOutcome>();
        auto content = std::make_shared<ArbitraryFileContent>();
        FileLines file;
        if (channel >= kChannelCount) {
            outcome->error = FileTextOf(FileText::NoSuchChannel);
        } else if (!file.Open(path)) {
            outcome->error = file.Error();
        } else {
            const bool read = ParseArbitraryFile(format, file, *content, &outcome->error, &progress);
            if (progress.StopRequested()) return {};
            outcome->imported = read;
        }
        if (!outcome->imported) return [done, outcome] { done(*outcome); };
        return [&settings, channel, sink, done, outcome, content] {
            outcome->warnings = std::move(content->warnings);
            ApplyArbitraryFile(settings, channel, std::move(*content), sink);
            done(*outcome);
        };
    };
    return job;
}

std::optional<std::string> RoundedCountWarning(std::size_t count) {
    if (count % 16 == 0) return std::nullopt;
    return FileTextOf(FileText::CountRounded, {Count(count), Count(count & ~std::size_t{15})});
}

bool ReadArbFile(DeviceSettings& settings, LineSource& file, std::uint16_t channel, std::string* error,
                 LoadWarnings* warnings) {
    return ReadInto(ArbitraryFormat::Arb, settings, file, channel, error, warnings);
}

bool ReadQwfFile(DeviceSettings& settings, LineSource& file, std::uint16_t channel, std::string* error,
                 LoadWarnings* warnings) {
    return ReadInto(ArbitraryFormat::Qwf, settings, file, channel, error, warnings);
}

bool WriteArbFile(const DeviceSettings& settings, TextSink& file, std::uint16_t channel, std::string* error) {
    if (channel >= kChannelCount) return Fail(error, FileTextOf(FileText::NoSuchChannel));
    const WaveformCopy wave = CopyWaveform(settings, channel);
    if (!IsGainCode(wave.zoom)) {
        return Fail(error, FileTextOf(FileText::GainCode, {FormatInt(wave.zoom)}));
    }
    const double zoom = wave.zoom;
    LineWriter out(file);
    out.Line("version," + FormatInt(16));
    out.Line("type," + FormatInt(2));
    out.Line("samples," + FormatInt(static_cast<long long>(wave.samples.size())));
    out.Line("sps," + FormatFixed(kArbitrarySampleRate));
    out.Line("#zoom," + FormatInt(wave.zoom));
    out.Line("div," + FormatInt(wave.divider));
    for (double sample : wave.samples) out.Line(FormatFixed(sample / zoom));
    if (!out.Finish()) return Fail(error, FileTextOf(FileText::NotWritten));
    return true;
}

bool WriteQwfFile(const DeviceSettings& settings, TextSink& file, std::uint16_t channel, std::string* error) {
    if (channel >= kChannelCount) return Fail(error, FileTextOf(FileText::NoSuchChannel));
    const WaveformCopy wave = CopyWaveform(settings, channel);
    LineWriter out(file);
    out.Line("#Total=" + FormatWindowsG(kArbitrarySampleRate));
    out.Line("#SAMPLE=" + FormatInt(wave.divider));
    out.Line("#SIZE=" + FormatInt(static_cast<long long>(wave.samples.size())));
    out.Line("#Freq=" + FormatFixed(wave.frequency));
    for (std::size_t i = 0; i < wave.samples.size(); ++i) {
        out.Append(FormatWindowsG(wave.samples[i], kQwfFieldWidth));
        // Every full line ends with its break; the last partial one without.
        out.Append((i + 1) % kQwfValuesPerLine == 0 ? std::string_view(",\r\n") : std::string_view(","));
    }
    if (!out.Finish()) return Fail(error, FileTextOf(FileText::NotWritten));
    return true;
}

}  // namespace zorbel
