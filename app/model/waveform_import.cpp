// Sound files through libsndfile and tables of values as arbitrary waveforms.
#include "zorbel/model/waveform_import.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/file_texts.h"
#include "zorbel/numbers.h"

namespace zorbel {
namespace {

constexpr std::size_t kMinimumPoints = 16;
// Values one read of a sound file takes: large blocks keep libsndfile's
// calls few; between two the import looks for a stop request.
constexpr sf_count_t kValuesPerRead = sf_count_t{1} << 20;
// Table lines between two looks for a stop request.
constexpr std::size_t kLinesPerLook = std::size_t{1} << 16;

bool Fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

void Warn(LoadWarnings* warnings, std::string text) {
    if (warnings) warnings->push_back(std::move(text));
}

std::string Count(std::size_t n) { return FormatInt(static_cast<long long>(n)); }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerExtension(std::string_view path) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    std::string extension(path.substr(dot));
    for (char& c : extension) c = LowerAscii(c);
    return extension;
}

// What a clamped sample exceeded, in the remark for one and for more.
struct Beyond {
    FileText one;
    FileText many;
};
constexpr Beyond kBeyondFullScale{FileText::OneBeyondFullScale, FileText::BeyondFullScale};
constexpr Beyond kBeyondPointLimit{FileText::OneBeyondPointLimit, FileText::BeyondPointLimit};

// What every import does with the `held` samples of a file, of which
// `samples` were taken (volts, up to the waveform memory): at least 16, the
// count rounded down to 16 (the rest are not played, so they go), each
// clamped to +-limit. `beyond` names what a clamped sample exceeded.
bool FinishSamples(std::size_t held, std::vector<double>& samples, double limit, const Beyond& beyond,
                   std::string* error, LoadWarnings* warnings) {
    if (samples.size() < kMinimumPoints) {
        return Fail(error, FileTextOf(samples.size() == 1 ? FileText::OneValue : FileText::TooFewValues,
                                      {Count(samples.size())}));
    }
    if (held > samples.size()) {
        Warn(warnings, FileTextOf(FileText::FirstSamplesTaken, {Count(held), Count(samples.size())}));
    }
    if (auto rounded = RoundedCountWarning(samples.size())) Warn(warnings, std::move(*rounded));
    samples.resize(samples.size() & ~std::size_t{15});
    std::size_t clamped = 0;
    for (double& volts : samples) {
        if (std::fabs(volts) > limit) ++clamped;
        volts = ClampArbitraryVoltage(volts, limit);
    }
    if (clamped > 0) {
        Warn(warnings, FileTextOf(clamped == 1 ? beyond.one : beyond.many, {Count(clamped), FormatWindowsG(limit)}));
    }
    return true;
}

// libsndfile fits the frame count to the bytes present when the data chunk
// announces more than the file holds; its log keeps the announced length as
// "data : 4000 (should be 2001)" (AIFF: "SSND"). A streamed file's
// placeholder length (0, 0xFFFFFFFF) is not a truncation.
bool HeaderAnnouncesMore(SNDFILE* file) {
    std::array<char, 4096> log{};
    sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
    std::string_view text(log.data());
    for (std::size_t start = 0; start < text.size();) {
        const auto end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        const auto colon = line.find(':');
        const auto should = line.find("(should be ");
        if (colon == std::string_view::npos || should == std::string_view::npos) continue;
        const std::string_view chunk = line.substr(0, line.find_first_of(" :"));
        if (chunk != "data" && chunk != "SSND") continue;
        double announced = 0.0;
        double present = 0.0;
        ParseDoublePrefix(line.substr(line.find_first_not_of(' ', colon + 1)), announced);
        ParseDoublePrefix(line.substr(should + 11), present);
        if (announced > present && announced != 0xFFFFFFFF) return true;
    }
    return false;
}

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

// A sound file in memory for libsndfile's virtual I/O: reads and seeks
// within the bytes, nothing is written.
struct MemoryFile {
    std::string_view bytes;
    sf_count_t at = 0;

    static MemoryFile& Of(void* data) { return *static_cast<MemoryFile*>(data); }
    static sf_count_t Length(void* data) { return static_cast<sf_count_t>(Of(data).bytes.size()); }
    static sf_count_t Seek(sf_count_t offset, int whence, void* data) {
        MemoryFile& m = Of(data);
        const auto size = static_cast<sf_count_t>(m.bytes.size());
        const sf_count_t base = whence == SEEK_CUR ? m.at : whence == SEEK_END ? size : 0;
        // Beyond either end libsndfile gets an error; reads past the end give nothing.
        if ((offset < 0 && -offset > base) || (offset > 0 && offset > std::numeric_limits<sf_count_t>::max() - base))
            return -1;
        m.at = base + offset;
        return m.at;
    }
    static sf_count_t Read(void* into, sf_count_t count, void* data) {
        MemoryFile& m = Of(data);
        const auto size = static_cast<sf_count_t>(m.bytes.size());
        const sf_count_t n = m.at >= size || count <= 0 ? 0 : std::min(count, size - m.at);
        if (n > 0) std::memcpy(into, m.bytes.data() + m.at, static_cast<std::size_t>(n));
        m.at += n;
        return n;
    }
    static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t Tell(void* data) { return Of(data).at; }
};

// Opens the sound file for reading into `info`; null when libsndfile cannot.
using SoundOpener = std::function<SNDFILE*(SF_INFO& info)>;

bool ReadSound(const SoundOpener& open, double limit, std::vector<double>& samples, std::string* error,
               LoadWarnings* warnings, JobProgress* progress) {
    SF_INFO info{};
    const std::unique_ptr<SNDFILE, SoundFileCloser> file(open(info));
    if (!file) return Fail(error, FileTextOf(FileText::NotSoundFile, {sf_strerror(nullptr)}));
    if (info.channels < 1 || info.frames < 0) return Fail(error, FileTextOf(FileText::SoundWithoutSamples));
    if (HeaderAnnouncesMore(file.get())) return Fail(error, FileTextOf(FileText::SoundHeaderTruncated));
    // Integer samples come normalized to -1..1; float samples as stored, so
    // that those beyond full scale are seen and clamped.
    sf_command(file.get(), SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);

    const auto held = static_cast<std::size_t>(info.frames);
    const std::size_t wanted = std::min<std::size_t>(held, kMaxArbitraryPoints);
    const auto channels = static_cast<std::size_t>(info.channels);
    // One channel is read straight into the waveform; of several, a block
    // of at most kValuesPerRead values at a time and the first taken (a
    // header may announce up to 1024 channels for a handful of frames).
    const sf_count_t framesPerRead = std::max<sf_count_t>(1, kValuesPerRead / static_cast<sf_count_t>(channels));
    // The memory is reserved at once but filled block by block: a header
    // that announces more than the file holds (a compressed one's count is
    // not checked against its bytes) costs no more than what is read.
    std::vector<double> taken;
    ReserveWaveform(taken, wanted);
    std::vector<double> block(channels > 1 ? std::min(static_cast<std::size_t>(framesPerRead), wanted) * channels : 0);
    std::size_t filled = 0;
    while (filled < wanted) {
        if (progress && progress->StopRequested()) return false;
        const sf_count_t asked = std::min<sf_count_t>(framesPerRead, static_cast<sf_count_t>(wanted - filled));
        taken.resize(filled + static_cast<std::size_t>(asked));
        double* into = taken.data() + filled;
        const sf_count_t got = sf_readf_double(file.get(), channels > 1 ? block.data() : into, asked);
        for (sf_count_t i = 0; i < got; ++i) {
            const double value = channels > 1 ? block[static_cast<std::size_t>(i) * channels] : into[i];
            if (!std::isfinite(value))
                return Fail(error,
                            FileTextOf(FileText::SoundSampleNotFinite, {Count(filled + static_cast<std::size_t>(i))}));
            into[i] = value * limit;
        }
        filled += static_cast<std::size_t>(std::max<sf_count_t>(got, 0));
        if (progress) progress->Set(static_cast<double>(filled) / static_cast<double>(wanted));
        if (got < asked) {
            return Fail(error,
                        FileTextOf(FileText::SoundEndsEarly, {Count(filled), Count(held), sf_strerror(file.get())}));
        }
    }
    if (!FinishSamples(held, taken, limit, kBeyondFullScale, error, warnings)) return false;
    samples = std::move(taken);
    return true;
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\"");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\"");
    return text.substr(first, last - first + 1);
}

// The value field of a table line: the last column.
std::string_view ValueField(std::string_view line) {
    const auto separator = line.find_last_of(line.find(';') != std::string_view::npos ? ';' : ',');
    return Trimmed(separator == std::string_view::npos ? line : line.substr(separator + 1));
}

bool ReadTable(LineSource& file, double limit, std::vector<double>& samples, std::string* error, LoadWarnings* warnings,
               JobProgress* progress) {
    std::vector<double> taken;
    std::size_t held = 0;
    std::size_t lineNumber = 0;
    bool firstLine = true;
    std::string line;
    while (file.NextLine(line)) {
        ++lineNumber;
        if (progress && lineNumber % kLinesPerLook == 0 && progress->StopRequested()) return false;
        if (Trimmed(line).empty()) continue;
        const std::string_view field = ValueField(line);
        double value = 0.0;
        if (!ParseDouble(field, value) || !std::isfinite(value)) {
            if (firstLine) {  // a header: the column names
                firstLine = false;
                continue;
            }
            return Fail(error,
                        FileTextOf(FileText::TableNotNumber, {Count(lineNumber), std::string(field.substr(0, 40))}));
        }
        firstLine = false;
        if (++held <= kMaxArbitraryPoints) taken.push_back(value);
    }
    if (file.Failed()) return Fail(error, file.Error());
    if (held == 0) return Fail(error, FileTextOf(FileText::TableWithoutNumbers));
    if (!FinishSamples(held, taken, limit, kBeyondPointLimit, error, warnings)) return false;
    samples = std::move(taken);
    return true;
}

template <class Reader, class... Args>
bool Guarded(std::string* error, Reader reader, Args&&... args) {
    try {
        return reader(std::forward<Args>(args)...);
    } catch (const std::bad_alloc&) {
        return Fail(error, FileTextOf(FileText::NoMemory));
    }
}

}  // namespace

bool FinishWaveformSamples(std::size_t held, std::vector<double>& samples, double limit, std::string* error,
                           LoadWarnings* warnings) {
    return FinishSamples(held, samples, limit, kBeyondPointLimit, error, warnings);
}

ImportKind ImportKindOf(std::string_view path) {
    const std::string extension = LowerExtension(path);
    if (extension == ".wav" || extension == ".flac" || extension == ".aif" || extension == ".aiff")
        return ImportKind::Sound;
    if (extension == ".csv" || extension == ".txt") return ImportKind::Table;
    return ImportKind::None;
}

bool ReadSoundFile(const std::string& path, double limit, std::vector<double>& samples, std::string* error,
                   LoadWarnings* warnings, JobProgress* progress) {
    const SoundOpener open = [&path](SF_INFO& info) { return sf_open(path.c_str(), SFM_READ, &info); };
    return Guarded(error, ReadSound, open, limit, samples, error, warnings, progress);
}

bool ReadSoundBytes(std::string_view bytes, double limit, std::vector<double>& samples, std::string* error,
                    LoadWarnings* warnings, JobProgress* progress) {
    MemoryFile memory{bytes};
    SF_VIRTUAL_IO io{&MemoryFile::Length, &MemoryFile::Seek, &MemoryFile::Read, &MemoryFile::Write, &MemoryFile::Tell};
    const SoundOpener open = [&](SF_INFO& info) { return sf_open_virtual(&io, SFM_READ, &info, &memory); };
    return Guarded(error, ReadSound, open, limit, samples, error, warnings, progress);
}

bool ReadTableFile(LineSource& file, double limit, std::vector<double>& samples, std::string* error,
                   LoadWarnings* warnings, JobProgress* progress) {
    return Guarded(error, ReadTable, file, limit, samples, error, warnings, progress);
}

bool ReadWaveformFile(const std::string& path, double limit, std::vector<double>& samples, std::string* error,
                      LoadWarnings* warnings, JobProgress* progress) {
    switch (ImportKindOf(path)) {
    case ImportKind::Sound:
        return ReadSoundFile(path, limit, samples, error, warnings, progress);
    case ImportKind::Table: {
        FileLines file;
        if (!file.Open(path)) return Fail(error, file.Error());
        return ReadTableFile(file, limit, samples, error, warnings, progress);
    }
    case ImportKind::None:
        break;
    }
    return Fail(error, FileTextOf(FileText::NotImportable));
}

bool ImportWaveformFile(DeviceSettings& settings, const std::string& path, std::uint16_t channel, std::string* error,
                        LoadWarnings* warnings) {
    if (channel >= kChannelCount) return Fail(error, FileTextOf(FileText::NoSuchChannel));
    const double limit = ArbitraryVoltageLimit(settings.CopyLimits(channel));
    std::vector<double> samples;
    LoadWarnings remarks;
    if (!ReadWaveformFile(path, limit, samples, error, &remarks)) return false;
    EditArbitrary(settings, channel, ArbitraryEdit::Replace(std::move(samples)));
    settings.ZoomFromData(channel);
    if (warnings) warnings->insert(warnings->end(), remarks.begin(), remarks.end());
    return true;
}

LongJob ImportJob(DeviceSettings& settings, const std::string& path, std::uint16_t channel, RedrawSink* sink,
                  std::function<void(const ImportOutcome&)> done) {
    LongJob job;
    job.name = "Import Data";
    std::error_code failed;
    const std::uintmax_t bytes = std::filesystem::file_size(path, failed);
    job.small = failed || bytes < kSmallImportBytes;
    job.work = [&settings, path, channel, sink, done = std::move(done)](JobProgress& progress) -> JobFinish {
        auto outcome = std::make_shared<ImportOutcome>();
        if (channel >= kChannelCount) {
            outcome->error = FileTextOf(FileText::NoSuchChannel);
            return [done, outcome] { done(*outcome); };
        }
        const double limit = ArbitraryVoltageLimit(settings.CopyLimits(channel));
        auto samples = std::make_shared<std::vector<double>>();
        const bool read = ReadWaveformFile(path, limit, *samples, &outcome->error, &outcome->warnings, &progress);
        if (progress.StopRequested()) return {};
        if (!read) return [done, outcome] { done(*outcome); };
        // The gain code the points need, found here rather than on the interface thread.
        double high = 0.0, low = 0.0;
        if (!samples->empty()) {
            const auto [lo, hi] = std::minmax_element(samples->begin(), samples->end());
            high = *hi;
            low = *lo;
        }
        return [&settings, channel, sink, done, outcome, samples, high, low] {
            EditArbitrary(settings, channel, ArbitraryEdit::Replace(std::move(*samples)), sink);
            settings.ZoomFromRange(channel, high, low);
            outcome->imported = true;
            done(*outcome);
        };
    };
    return job;
}

}  // namespace zorbel
