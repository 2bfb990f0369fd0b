// The arbitrary waveform readers (.arb and .qwf; the first input byte picks
// the format): any file either is refused and leaves the channel as it was,
// or loads only values the instrument takes; what loaded is written in the
// same format and must load again into the other channel with the same
// points (within the format's digits).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "offline_generator.h"
#include "zorbel/model/arbitrary_files.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/text_file.h"

namespace {

using zorbel::ChannelRecord;
using zorbel::DeviceSettings;

// Announced counts up to the whole waveform memory are legal, but each costs
// half a gigabyte; the fuzzer keeps to counts of at most six digits (the
// unit tests cover the large ones). The header's blanks are removed before
// its numbers are read, so "1111 1 111" counts as eight digits.
bool HasLongNumber(std::string_view text) {
    std::size_t run = 0;
    for (char c : text) {
        if (c == ' ') continue;
        run = (c >= '0' && c <= '9') ? run + 1 : 0;
        if (run > 6) return true;
    }
    return false;
}

bool Read(bool arb, DeviceSettings& settings, std::string_view text, std::uint16_t channel) {
    zorbel::StringLines lines{std::string(text)};
    std::string error;
    const bool loaded = arb ? zorbel::ReadArbFile(settings, lines, channel, &error)
                            : zorbel::ReadQwfFile(settings, lines, channel, &error);
    FUZZ_CHECK(loaded || !error.empty());
    return loaded;
}

bool Close(double a, double b, double relative, double absolute) {
    return std::fabs(a - b) <= std::fabs(a) * relative + absolute;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > (1u << 20)) return 0;
    const bool arb = (data[0] & 1) == 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (HasLongNumber(text.substr(0, 200))) return 0;

    zorbel::fuzz::OfflineGenerator generator;
    DeviceSettings settings(generator);
    const ChannelRecord before = settings.Record(0);
    if (!Read(arb, settings, text, 0)) {
        const ChannelRecord after = settings.Record(0);
        FUZZ_CHECK(after.arbitrarySamples == before.arbitrarySamples);
        FUZZ_CHECK(after.arbitraryPointCount == before.arbitraryPointCount);
        FUZZ_CHECK(after.arbitraryZoom == before.arbitraryZoom && after.arbitraryDivider == before.arbitraryDivider);
        return 0;
    }
    const ChannelRecord loaded = settings.Record(0);
    FUZZ_CHECK(loaded.arbitraryPointCount % 16 == 0);
    FUZZ_CHECK(loaded.arbitraryPointCount <= loaded.arbitrarySamples.size());
    FUZZ_CHECK(loaded.arbitrarySamples.size() - loaded.arbitraryPointCount < 16);
    FUZZ_CHECK(loaded.arbitraryZoom == 1 || loaded.arbitraryZoom == 4 || loaded.arbitraryZoom == 20);
    // Nothing the instrument would refuse loads.
    FUZZ_CHECK(loaded.arbitraryDivider <= zorbel::kMaxArbitraryDivider);
    FUZZ_CHECK(std::isfinite(loaded.arbitraryFrequency));
    for (double sample : loaded.arbitrarySamples) FUZZ_CHECK(std::isfinite(sample));

    zorbel::StringSink sink;
    std::string error;
    FUZZ_CHECK(arb ? zorbel::WriteArbFile(settings, sink, 0, &error) : zorbel::WriteQwfFile(settings, sink, 0, &error));
    FUZZ_CHECK(Read(arb, settings, sink.Text(), 1));
    const ChannelRecord copy = settings.Record(1);
    FUZZ_CHECK(copy.arbitraryPointCount == loaded.arbitraryPointCount);
    FUZZ_CHECK(copy.arbitraryDivider == loaded.arbitraryDivider);
    if (arb) FUZZ_CHECK(copy.arbitraryZoom == loaded.arbitraryZoom);
    for (std::size_t i = 0; i < loaded.arbitraryPointCount; ++i) {
        // .arb: "%f" of sample / gain; .qwf: "%G", six significant digits.
        const double a = loaded.arbitrarySamples[i];
        const double b = copy.arbitrarySamples[i];
        FUZZ_CHECK(arb ? Close(a, b, 1e-15, 5e-7 * loaded.arbitraryZoom) : Close(a, b, 5e-6, 1e-300));
    }
    return 0;
}
