// The table import (.csv, .txt: one value per line, or columns whose last
// holds the value): any text either is refused with a reason or gives 16 to
// the waveform memory's count of values, a multiple of 16, each finite and
// within the point limit. The program reads the file from disk (FileLines);
// the same text in memory (StringLines) must give the same outcome.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_files.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/text_file.h"
#include "zorbel/model/waveform_import.h"

namespace {

constexpr double kLimit = 10.0;
zorbel::fuzz::ScratchFile gFile;

struct Outcome {
    bool read = false;
    std::vector<double> samples;
    std::string error;
    zorbel::LoadWarnings warnings;
};

Outcome ReadFrom(zorbel::LineSource& lines) {
    Outcome o;
    o.read = zorbel::ReadTableFile(lines, kLimit, o.samples, &o.error, &o.warnings);
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gFile.Create(".csv");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    zorbel::StringLines memory{std::string(text)};
    const Outcome fromMemory = ReadFrom(memory);
    if (!fromMemory.read) {
        FUZZ_CHECK(!fromMemory.error.empty());
        FUZZ_CHECK(fromMemory.samples.empty());
    } else {
        const std::size_t n = fromMemory.samples.size();
        FUZZ_CHECK(n >= 16 && n % 16 == 0 && n <= zorbel::kMaxArbitraryPoints);
        for (double v : fromMemory.samples) FUZZ_CHECK(std::isfinite(v) && std::fabs(v) <= kLimit);
    }

    // The import as the program runs it, from a file of that name.
    gFile.Write(text);
    std::vector<double> samples;
    std::string error;
    zorbel::LoadWarnings warnings;
    const bool read = zorbel::ReadWaveformFile(gFile.Path(), kLimit, samples, &error, &warnings);
    FUZZ_CHECK(read == fromMemory.read);
    FUZZ_CHECK(samples == fromMemory.samples);
    FUZZ_CHECK(error == fromMemory.error);
    FUZZ_CHECK(warnings == fromMemory.warnings);
    return 0;
}
