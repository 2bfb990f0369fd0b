// Sound files and tables of values as a channel's waveform: scaling, the
// first channel, clamping, separators and a header, the rounded count, and
// refused files that leave the channel as it was.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>

#include "fake_generator.h"
#include "file_helpers.h"
#include "sound_file.h"
#include "temp_dir.h"
#include "zorbel/model/waveform_import.h"

namespace zorbel::test {
namespace {

constexpr double kFullScale = 10.0;  // half the built-in amplitude maximum

// `count` frames of two channels: the first a ramp from -1 up in steps of
// 1/16, the second a constant that must not be taken.
std::vector<double> TwoChannelRamp(std::size_t count) {
    std::vector<double> frames;
    for (std::size_t i = 0; i < count; ++i) {
        frames.push_back(-1.0 + static_cast<double>(i) / 16.0);
        frames.push_back(0.75);
    }
    return frames;
}

std::string Lines(std::size_t count, const std::function<std::string(std::size_t)>& line) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += line(i) + "\r\n";
    return text;
}

struct ImportCase {
    const char* name;
    const char* file;
    std::function<void(const std::string& path)> make;
    std::uint32_t points = 0;              // 0: refused
    std::map<std::size_t, double> values;  // index -> volts
    const char* message = "";              // in a warning, or in the refusal
};

const ImportCase kImportCases[] = {
    {"16-bit WAV, first channel of two",
     "ramp.wav",
     [](const std::string& p) { WriteSoundFile(p, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, TwoChannelRamp(32)); },
     32,
     {{0, -kFullScale}, {16, 0.0}, {24, 5.0}, {31, 9.375}}},
    {"float WAV beyond full scale",
     "loud.wav",
     [](const std::string& p) {
         std::vector<double> frames(16, 0.25);
         frames[3] = 1.5;
         frames[4] = -2.0;
         WriteSoundFile(p, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, frames);
     },
     16,
     {{0, 2.5}, {3, kFullScale}, {4, -kFullScale}},
     "2 samples beyond full scale clamped to 10 V"},
    {"CSV with a header and commas",
     "scope.csv",
     [](const std::string& p) {
         WriteText(p, "time,volts\r\n" + Lines(16, [](std::size_t i) {
                          return std::to_string(i) + "e-6, " + std::to_string(i) + ".5";
                      }));
     },
     16,
     {{0, 0.5}, {9, 9.5}, {15, 10.0}},
     "6 samples beyond the point limit clamped to 10 V"},
    {"CSV with semicolons",
     "table.csv",
     [](const std::string& p) { WriteText(p, Lines(16, [](std::size_t i) { return "1;-0." + std::to_string(i); })); },
     16,
     {{1, -0.1}, {9, -0.9}}},
    {"17 values, one a line",
     "values.txt",
     [](const std::string& p) { WriteText(p, Lines(17, [](std::size_t i) { return std::to_string(i) + ".25"; })); },
     16,
     {{2, 2.25}},
     "the point count 17 was rounded down to 16"},
    {"truncated WAV",
     "cut.wav",
     [](const std::string& p) {
         WriteSoundFile(p, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, TwoChannelRamp(64));
         std::filesystem::resize_file(p, std::filesystem::file_size(p) - 101);
     },
     0,
     {},
     "truncated"},
    {"text named .wav",
     "notes.wav",
     [](const std::string& p) { WriteText(p, "0.5\n0.25\n"); },
     0,
     {},
     "not a sound file"},
    {"15 samples",
     "short.flac",
     [](const std::string& p) { WriteSoundFile(p, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, std::vector<double>(15)); },
     0,
     {},
     "holds 15 values; a waveform needs at least 16"},
    {"a word among the values",
     "mixed.csv",
     [](const std::string& p) {
         WriteText(p, "value\n" + Lines(20, [](std::size_t i) { return i == 5 ? "n/a" : "1"; }));
     },
     0,
     {},
     "line 7: \"n/a\" is not a number"},
    {"no numbers", "empty.csv", [](const std::string& p) { WriteText(p, "value\n\n"); }, 0, {}, "no numbers"},
};

TEST(WaveformImport, SoundFilesAndTables) {
    TempDir dir;
    for (const ImportCase& c : kImportCases) {
        SCOPED_TRACE(c.name);
        FakeGenerator fake;
        DeviceSettings settings{fake};
        settings.ResizeArbitrary(1, 48);
        settings.ModifyRecord(1, [](ChannelRecord& r) { r.arbitrarySamples[0] = 1.5; });
        const ChannelRecord before = settings.Record(1);

        const std::string path = dir.File(c.file);
        c.make(path);
        std::string error;
        LoadWarnings warnings;
        const bool imported = ImportWaveformFile(settings, path, 1, &error, &warnings);
        const ChannelRecord after = settings.Record(1);
        if (c.points == 0) {
            EXPECT_FALSE(imported);
            EXPECT_NE(error.find(c.message), std::string::npos) << error;
            EXPECT_EQ(after.arbitrarySamples, before.arbitrarySamples);
            EXPECT_EQ(after.arbitraryPointCount, before.arbitraryPointCount);
            continue;
        }
        ASSERT_TRUE(imported) << error;
        EXPECT_EQ(after.arbitraryPointCount, c.points);
        // 16-bit samples are written as value x 32767 and read as / 32768.
        for (const auto& [index, volts] : c.values) EXPECT_NEAR(after.arbitrarySamples[index], volts, 1e-3) << index;
        std::string remarks;
        for (const std::string& w : warnings) remarks += w + "\n";
        if (*c.message)
            EXPECT_NE(remarks.find(c.message), std::string::npos) << remarks;
        else
            EXPECT_EQ(remarks, "");
    }
}

}  // namespace
}  // namespace zorbel::test
