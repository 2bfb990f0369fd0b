// The sound-file import (.wav, .flac, .aif, .aiff through libsndfile, read
// from memory through its virtual I/O): any bytes are refused with a reason
// or give 16 to the waveform memory's count of samples, a multiple of 16,
// each finite and within the point limit. The same bytes read from a file,
// as the program reads them, give the same outcome.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_files.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/waveform_import.h"

namespace {

constexpr double kLimit = 10.0;
zorbel::fuzz::ScratchFile gFile;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gFile.Create(".wav");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<double> samples;
    std::string error;
    zorbel::LoadWarnings warnings;
    const bool read = zorbel::ReadSoundBytes(bytes, kLimit, samples, &error, &warnings);
    if (!read) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(samples.empty());
    } else {
        FUZZ_CHECK(samples.size() >= 16 && samples.size() % 16 == 0);
        FUZZ_CHECK(samples.size() <= zorbel::kMaxArbitraryPoints);
        for (double v : samples) FUZZ_CHECK(std::isfinite(v) && std::fabs(v) <= kLimit);
    }

    gFile.Write(bytes);
    std::vector<double> fromFile;
    std::string fileError;
    zorbel::LoadWarnings fileWarnings;
    FUZZ_CHECK(zorbel::ReadWaveformFile(gFile.Path(), kLimit, fromFile, &fileError, &fileWarnings) == read);
    FUZZ_CHECK(fromFile == samples);
    // libsndfile's own reason may name the file's origin; the program's part is the same.
    FUZZ_CHECK(fileError.empty() == error.empty());
    FUZZ_CHECK(fileWarnings == warnings);
    return 0;
}
