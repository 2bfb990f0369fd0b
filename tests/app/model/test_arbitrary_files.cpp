// The .arb and .qwf formats: exact lines written, what a load applies and
// queues, short files, refused files that must change nothing, and number
// texts under a decimal-comma locale.
#include <gtest/gtest.h>

#include <stop_token>

#include "fake_generator.h"
#include "file_helpers.h"
#include "locale_guard.h"
#include "temp_dir.h"
#include "zorbel/model/arbitrary_edit.h"
#include "zorbel/model/arbitrary_files.h"
#include "zorbel/model/formula.h"
#include "zorbel/model/waveform_import.h"
#include "zorbel/numbers.h"

namespace zorbel::test {
namespace {

class ArbitraryFiles : public ::testing::Test {
protected:
    // `samples` become channel `ch`'s waveform with its point count set to
    // their number (a multiple of 16 or not: the writers take what is there).
    void SetWaveform(std::uint16_t ch, const std::vector<double>& samples, std::uint16_t zoom, std::uint16_t divider) {
        settings.ModifyRecord(ch, [&](ChannelRecord& r) {
            r.arbitrarySamples = samples;
            r.arbitraryPointCount = static_cast<std::uint32_t>(samples.size());
            r.arbitraryZoom = zoom;
            r.arbitraryDivider = divider;
            r.arbitraryFrequency = 1234.5;
        });
    }
    std::string Arb(std::uint16_t ch = 0) {
        StringSink sink;
        EXPECT_TRUE(WriteArbFile(settings, sink, ch));
        return sink.Text();
    }
    std::string Qwf(std::uint16_t ch = 0) {
        StringSink sink;
        EXPECT_TRUE(WriteQwfFile(settings, sink, ch));
        return sink.Text();
    }

    FakeGenerator fake;
    DeviceSettings settings{fake};
    FakeGenerator loadedFake;
    DeviceSettings loaded{loadedFake};
};

std::vector<double> Alternating(std::size_t n) {
    std::vector<double> s(n);
    for (std::size_t i = 0; i < n; ++i) s[i] = i % 2 ? 1.0 : -0.5 - 0.125 * static_cast<double>(i);
    return s;
}

TEST_F(ArbitraryFiles, Arb32SamplesWithZoom20Has38LinesAndRoundTrips) {
    SetWaveform(0, Alternating(32), 20, 7);
    const std::string text = Arb();
    const std::vector<std::string> lines = CrLfLines(text);
    ASSERT_EQ(lines.size(), 38u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    const std::vector<std::string> header(lines.begin(), lines.begin() + 6);
    EXPECT_EQ(header, (std::vector<std::string>{"version,16", "type,2", "samples,32", "sps,250000000.000000",
                                                "#zoom,20", "div,7"}));
    EXPECT_EQ(lines[6], "-0.025000");  // -0.5 / 20
    EXPECT_EQ(lines[7], "0.050000");   // 1.0 / 20, six decimals

    StringLines file(text);
    ASSERT_TRUE(ReadArbFile(loaded, file, 1));
    const ChannelRecord r = loaded.Record(1);
    EXPECT_EQ(r.arbitraryPointCount, 32u);
    EXPECT_EQ(r.arbitraryZoom, 20);
    EXPECT_EQ(r.arbitraryDivider, 7);
    const std::vector<double> expected = Alternating(32);
    for (std::size_t i = 0; i < 32; ++i) EXPECT_NEAR(r.arbitrarySamples[i], expected[i], 20 * 5e-7) << i;
    EXPECT_EQ(Pending(loaded), (std::vector<CodeAndChannel>{{code::kArbDivider, 1}}));
    EXPECT_DOUBLE_EQ(loaded.Record(1).arbitraryFrequency, 250e6 / (4 * 7) / 32);  // what the points play
}

std::string ArbText(const std::string& samplesLine, const std::string& zoomLine, std::size_t sampleLines) {
    std::string text =
        "version,16\r\ntype,2\r\n" + samplesLine + "\r\nsps,250000000.000000\r\n" + zoomLine + "\r\ndiv,3\r\n";
    for (std::size_t i = 0; i < sampleLines; ++i) text += std::to_string(i + 1) + "\n";  // LF lines are read too
    return text;
}

struct CountRow {
    std::size_t announced;
    std::size_t present;       // sample lines in the file
    std::uint32_t pointCount;  // announced rounded down to 16
};

TEST_F(ArbitraryFiles, ArbLoadsTheAnnouncedCountWithZerosForMissingLines) {
    const CountRow rows[] = {{100, 100, 96}, {100, 120, 96}, {40, 5, 32}, {15, 15, 0}};
    for (const CountRow& row : rows) {
        SCOPED_TRACE(row.announced);
        StringLines file(ArbText("samples," + std::to_string(row.announced), "#zoom,4", row.present));
        std::string error;
        ASSERT_TRUE(ReadArbFile(loaded, file, 0, &error)) << error;
        const ChannelRecord r = loaded.Record(0);
        EXPECT_EQ(r.arbitraryPointCount, row.pointCount);
        ASSERT_EQ(r.arbitrarySamples.size(), row.announced);
        for (std::size_t i = 0; i < row.announced; ++i)
            ASSERT_EQ(r.arbitrarySamples[i], i < row.present ? 4.0 * static_cast<double>(i + 1) : 0.0) << i;
    }
}

std::string WithDivider(std::string text, const std::string& line) { return text.replace(text.find("div,3"), 5, line); }

std::string WithSample(std::string text, std::size_t index, const std::string& sample) {
    const std::string line = "\n" + std::to_string(index + 1) + "\n";
    return text.replace(text.find(line), line.size(), "\n" + sample + "\n");
}

TEST_F(ArbitraryFiles, RefusedFilesChangeNothing) {
    const std::string qwfHead = "#Total=2.5E+008\r\n#SAMPLE=9\r\n";
    const std::string qwfTail = "#SIZE=16\r\n#Freq=10.0\r\n";
    const struct {
        bool qwf;
        std::string text;
        const char* names;  // what the message must show; nullptr: any message
    } rows[] = {
        {false, ArbText("samples,-1", "#zoom,1", 0), "-1"},
        {false, ArbText("samples,67108865", "#zoom,1", 0), "67108865"},
        {false, ArbText("samples,99999999999", "#zoom,1", 0), "announces 99999999999 samples"},  // as written
        {false, ArbText("samples,32", "#zoom,0", 32), nullptr},
        {false, ArbText("samples,32", "#zoom,3", 32), nullptr},
        {false, ArbText("samples,32", "#zoom,65556", 32), "65556"},
        {false, "", nullptr},  // no zoom at all
        {true, qwfHead + "#SIZE=-16\r\n#Freq=10.0\r\n1,2,", "-16"},
        {true, qwfHead + "#SIZE=67108880\r\n#Freq=10.0\r\n1,2,", "67108880"},
        // Values the instrument does not take: the divider beyond 250 (65536
        // must not pass as 0), numbers that are not finite.
        {false, WithDivider(ArbText("samples,32", "#zoom,1", 32), "div,1000"), "(div) 1000 is outside 0 to 250"},
        {false, WithDivider(ArbText("samples,32", "#zoom,1", 32), "div,65536"), "65536"},
        {false, WithDivider(ArbText("samples,32", "#zoom,1", 32), "div,-1"), "-1"},
        {false, WithDivider(ArbText("samples,32", "#zoom,1", 32), "div,INF"), "INF"},
        {false, WithSample(ArbText("samples,32", "#zoom,1", 32), 4, "1E+999"), "line 11: the sample 1E+999"},
        {false, WithSample(ArbText("samples,32", "#zoom,1", 32), 0, "-inf"), "-inf"},
        {false, WithSample(ArbText("samples,32", "#zoom,1", 32), 31, "NAN"), "NAN"},
        {false, WithSample(ArbText("samples,32", "#zoom,1", 32), 2, "-1.#IND"), "-1.#IND"},
        {true, "#Total=2.5E+008\r\n#SAMPLE=251\r\n" + qwfTail + "1,2,", "(#SAMPLE) 251"},
        {true, qwfHead + "#SIZE=16\r\n#Freq=1E+999\r\n1,2,", "(#Freq) 1E+999"},
        {true, qwfHead + qwfTail + "1,2,3\r\n4,NAN,6,", "line 6: the sample NAN"},
        {true, qwfHead + qwfTail + "1,2,3\r\n4,5,6,-1E+400", "-1E+400"},
    };
    SetWaveform(0, Alternating(48), 20, 5);
    const ChannelRecord before = settings.Record(0);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 80));
        StringLines file(row.text);
        std::string error;
        EXPECT_FALSE(row.qwf ? ReadQwfFile(settings, file, 0, &error) : ReadArbFile(settings, file, 0, &error));
        EXPECT_FALSE(error.empty());
        if (row.names) {
            EXPECT_NE(error.find(row.names), std::string::npos) << error;
        }
        const ChannelRecord after = settings.Record(0);
        EXPECT_EQ(after.arbitrarySamples, before.arbitrarySamples);
        EXPECT_EQ(after.arbitraryPointCount, before.arbitraryPointCount);
        EXPECT_EQ(after.arbitraryZoom, before.arbitraryZoom);
        EXPECT_EQ(after.arbitraryDivider, before.arbitraryDivider);
        EXPECT_EQ(after.arbitraryFrequency, before.arbitraryFrequency);
        EXPECT_TRUE(settings.PendingCommands().empty());
    }
}

// A file that loads but not as written tells the user so; the load succeeds.
TEST_F(ArbitraryFiles, LoadsWarnAboutWhatTheFileDidNotHoldAsAnnounced) {
    const std::string arbHead = "version,16\r\ntype,2\r\nsamples,";
    const std::string arbRest = "\r\nsps,250000000.000000\r\n#zoom,1\r\ndiv,3\r\n";
    const std::string qwfHead = "#Total=2.5E+008\r\n#SAMPLE=9\r\n#SIZE=";
    std::string whole;
    for (int i = 0; i < 32; ++i) whole += "0.5\r\n";
    const struct {
        bool qwf;
        std::string text;
        std::vector<std::string> warnings;
    } rows[] = {
        {false, arbHead + "32" + arbRest + whole, {}},
        {false,
         arbHead + "40" + arbRest + "0.5\r\nabc\r\n\r\n20\r\n-13\r\n",
         {"the file announces 40 samples but holds 5; the other 35 are 0", "2 samples are not numbers, loaded as 0",
          "2 samples beyond 12.5 V either way (the most the instrument plays), clamped by the download",
          "the point count 40 was rounded down to 32, a multiple of 16"}},
        {false,
         arbHead + "17" + arbRest + "1\r\n x \r\n",
         {"the file announces 17 samples but holds 2; the other 15 are 0", "1 sample is not a number, loaded as 0",
          "the point count 17 was rounded down to 16, a multiple of 16"}},
        {true,
         qwfHead + "20\r\n#Freq=10\r\n1,2,3,4,5,6,7,8,9,10,\r\n1,2,3,4,5,6,",
         {"the point count 20 was rounded down to 16, a multiple of 16"}},
        {true,
         qwfHead + "32\r\n#Freq=10\r\n1,2,3,4,5,6,7,8,9,10,",
         {"the file announces 32 samples but holds 10; the other 22 are 0"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 120));
        StringLines file(row.text);
        std::string error;
        LoadWarnings warnings;
        ASSERT_TRUE(row.qwf ? ReadQwfFile(loaded, file, 0, &error, &warnings)
                            : ReadArbFile(loaded, file, 0, &error, &warnings))
            << error;
        EXPECT_EQ(warnings, row.warnings);
    }
}

// Old files end their lines with CR alone; CR LF split between two reads of
// a file is still one line end.
TEST(TextLines, LfCrLfAndCrAloneEndALine) {
    const std::string longLine(64 * 1024 - 1, 'x');
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } rows[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\rb\r\n\nc", {"a", "", "b", "", "c"}},
        {longLine + "\r\ny\r", {longLine, "y"}},
        {longLine + "\rz", {longLine, "z"}},
    };
    TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 20));
        StringLines text(row.text);
        WriteText(dir.File("lines.arb"), row.text);
        FileLines file;
        ASSERT_TRUE(file.Open(dir.File("lines.arb"))) << file.Error();
        for (LineSource* source : {static_cast<LineSource*>(&text), static_cast<LineSource*>(&file)}) {
            std::vector<std::string> lines;
            for (std::string line; source->NextLine(line);) lines.push_back(line);
            EXPECT_FALSE(source->Failed());
            EXPECT_EQ(lines, row.lines);
        }
    }
}

TEST_F(ArbitraryFiles, QwfExportOf25SamplesLineByLine) {
    std::vector<double> samples(25);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = 0.25 * static_cast<double>(i) - 1.0;
    samples[3] = 1234567.0;  // needs the exponent form
    SetWaveform(0, samples, 4, 12);
    const std::string text = Qwf();
    const std::vector<std::string> lines = CrLfLines(text);
    ASSERT_EQ(lines.size(), 7u);
    const std::vector<std::string> header(lines.begin(), lines.begin() + 4);
    EXPECT_EQ(header, (std::vector<std::string>{"#Total=2.5E+008", "#SAMPLE=12", "#SIZE=25", "#Freq=1234.500000"}));
    EXPECT_EQ(lines[4],
              "            -1,         -0.75,          -0.5,  1.23457E+006,             0,"
              "          0.25,           0.5,          0.75,             1,          1.25,");
    EXPECT_EQ(lines[5].size(), 150u);
    EXPECT_EQ(lines[6], "             4,          4.25,           4.5,          4.75,             5,");
    EXPECT_EQ(text.back(), ',');  // the last line has no line break
}

TEST_F(ArbitraryFiles, QwfImportFillsSamplesAcrossLinesOfEightValues) {
    // 36 announced: 32 values are taken (the point count), the rest stay 0.
    std::string text = "#Total=2.5E+008\r\n#SAMPLE=17\r\n#SIZE=36\r\n#Freq=2500.5\r\n";
    for (int line = 0; line < 5; ++line) {
        for (int k = 0; k < 8; ++k) text += "  " + std::to_string(line * 8 + k) + ".5 ,";
        text += "\r\n";
    }
    StringLines file(text);
    ASSERT_TRUE(ReadQwfFile(loaded, file, 0));
    const ChannelRecord r = loaded.Record(0);
    EXPECT_EQ(r.arbitraryPointCount, 32u);
    ASSERT_EQ(r.arbitrarySamples.size(), 36u);
    for (std::size_t i = 0; i < 36; ++i)
        EXPECT_EQ(r.arbitrarySamples[i], i < 32 ? static_cast<double>(i) + 0.5 : 0.0) << i;
    EXPECT_DOUBLE_EQ(r.arbitraryFrequency, 250e6 / (4 * 17) / 32);  // played, not #Freq
    EXPECT_EQ(r.arbitraryDivider, 17);
    EXPECT_EQ(r.arbitraryZoom, 4);  // what the gain query answered
    EXPECT_EQ(loadedFake.LastZoomQuery(), (std::pair{31.5, 0.5}));
    EXPECT_EQ(Pending(loaded), (std::vector<CodeAndChannel>{{code::kArbDivider, 0}}));
}

TEST_F(ArbitraryFiles, WriterRefusesAGainCodeItCannotScaleBy) {
    SetWaveform(0, Alternating(16), 0, 1);
    StringSink sink;
    std::string error;
    EXPECT_FALSE(WriteArbFile(settings, sink, 0, &error));
    EXPECT_NE(error.find("gain code 0"), std::string::npos);
}

TEST_F(ArbitraryFiles, BothFormatsIgnoreADecimalCommaLocale) {
    DecimalCommaLocale locale;
    ASSERT_TRUE(locale.Active());
    std::vector<double> samples = Alternating(20);
    SetWaveform(0, samples, 20, 3);
    const std::string arb = Arb();
    EXPECT_NE(arb.find("\r\n0.050000\r\n"), std::string::npos);
    EXPECT_NE(arb.find("sps,250000000.000000\r\n"), std::string::npos);
    const std::string qwf = Qwf();
    EXPECT_NE(qwf.find("#Freq=1234.500000\r\n"), std::string::npos);
    EXPECT_NE(qwf.find("         -0.75,"), std::string::npos);

    StringLines arbFile(arb), qwfFile(qwf);
    ASSERT_TRUE(ReadArbFile(loaded, arbFile, 0));
    ASSERT_TRUE(ReadQwfFile(loaded, qwfFile, 1));
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_NEAR(loaded.Record(0).arbitrarySamples[i], samples[i], 1e-5) << i;
        EXPECT_EQ(loaded.Record(1).arbitrarySamples[i], samples[i]) << i;  // six digits suffice here
    }
    EXPECT_DOUBLE_EQ(loaded.Record(1).arbitraryFrequency, 250e6 / (4 * 3) / 16);
}

// Load Data and Import Data of a large file run as a long job: read on the
// worker, applied as the reader applies it; stopped halfway, nothing
// changes and nobody is told. The files are long enough to be looked at
// for a stop request several times.
TEST_F(ArbitraryFiles, FileJobsApplyWhatTheReaderAppliesAndAStoppedOneNothing) {
    TempDir folder;
    SetWaveform(0, Alternating(400'000 + 5), 4, 9);
    WriteText(folder.File("big.arb"), Arb());
    WriteText(folder.File("big.qwf"), Qwf());
    SetWaveform(0, Alternating(64), 1, 3);
    const struct {
        ArbitraryFormat format;
        const char* file;
        bool (*read)(DeviceSettings&, LineSource&, std::uint16_t, std::string*, LoadWarnings*);
    } rows[] = {{ArbitraryFormat::Arb, "big.arb", ReadArbFile}, {ArbitraryFormat::Qwf, "big.qwf", ReadQwfFile}};
    for (const auto& row : rows) {
        for (const bool stop : {true, false}) {
            SCOPED_TRACE(std::string(row.file) + (stop ? ", stopped" : ", to its end"));
            FakeGenerator fakeBefore;
            DeviceSettings expected(fakeBefore);
            expected.ModifyRecord(1, [&](ChannelRecord& r) { r = settings.Record(0); });
            LoadWarnings expectedWarnings;
            if (!stop) {
                FileLines file;
                ASSERT_TRUE(file.Open(folder.File(row.file)));
                ASSERT_TRUE(row.read(expected, file, 1, nullptr, &expectedWarnings));
            }
            FakeGenerator fakeJob;
            DeviceSettings job(fakeJob);
            job.ModifyRecord(1, [&](ChannelRecord& r) { r = settings.Record(0); });
            std::optional<ImportOutcome> told;
            const LongJob load = ArbitraryFileJob(job, row.format, folder.File(row.file), 1, nullptr,
                                                  [&](const ImportOutcome& outcome) { told = outcome; });
            EXPECT_FALSE(load.small);
            std::stop_source source;
            if (stop) source.request_stop();
            JobProgress progress(source.get_token());
            if (JobFinish finish = load.work(progress)) finish();
            EXPECT_EQ(told.has_value(), !stop);
            if (told) {
                EXPECT_TRUE(told->imported) << told->error;
                EXPECT_EQ(told->warnings, expectedWarnings);
            }
            const ChannelRecord want = expected.Record(1), got = job.Record(1);
            EXPECT_TRUE(got.arbitrarySamples == want.arbitrarySamples);
            EXPECT_EQ(got.arbitraryPointCount, want.arbitraryPointCount);
            EXPECT_EQ(got.arbitraryZoom, want.arbitraryZoom);
            EXPECT_EQ(got.arbitraryDivider, want.arbitraryDivider);
            EXPECT_EQ(job.History().UndoSteps(1), stop ? 0u : 1u);
        }
    }
}

// The frequency the page shows, the files carry and the page prints is the
// one the instrument plays, the sample clock over the points, after every
// change of the points or the divider; only a typed frequency is kept as typed
// (the panel's own test). Each route starts from 5680 points at divider 11
// showing a typed 1000 Hz.
TEST(ArbitraryFrequency, IsTheOnePlayedAfterEveryRouteThatChangesPointsOrDivider) {
    constexpr double kClock = 250e6;
    TempDir folder;
    std::string table = "volts\n";
    for (int i = 0; i < 992; ++i) table += i % 2 ? "0.5\n" : "-0.5\n";
    WriteText(folder.File("wave.csv"), table);
    std::string qwf = "#Total=2.5E+008\r\n#SAMPLE=5\r\n#SIZE=32\r\n#Freq=1000.000000\r\n";
    for (int i = 0; i < 32; ++i) qwf += "0.25,";
    std::string arb = "version,16\r\ntype,2\r\nsamples,64\r\nsps,250000000.000000\r\n#zoom,1\r\ndiv,3\r\n";
    for (int i = 0; i < 64; ++i) arb += "0.1\r\n";
    const auto resize = [](DeviceSettings& s, std::uint32_t n) { EditArbitrary(s, 0, ArbitraryEdit::Resize(n)); };
    const struct {
        const char* what;
        std::function<void(DeviceSettings&)> route;
        double frequency;
    } rows[] = {
        {"a table of 992 values imported",
         [&](DeviceSettings& s) { EXPECT_TRUE(ImportWaveformFile(s, folder.File("wave.csv"), 0)); },
         kClock / (4 * 11) / 992},
        {"a .qwf imported: its points and divider, not its #Freq",
         [&](DeviceSettings& s) {
             StringLines file(qwf);
             EXPECT_TRUE(ReadQwfFile(s, file, 0));
         },
         kClock / (4 * 5) / 32},
        {"an .arb loaded",
         [&](DeviceSettings& s) {
             StringLines file(arb);
             EXPECT_TRUE(ReadArbFile(s, file, 0));
         },
         kClock / (4 * 3) / 64},
        {"a new divider", [](DeviceSettings& s) { s.SetArbitraryDivider(0, 25); }, kClock / (4 * 25) / 5680},
        {"divider 0: the master clock", [](DeviceSettings& s) { s.SetArbitraryDivider(0, 0); }, kClock / 5680},
        {"a new point count", [&](DeviceSettings& s) { resize(s, 1000); }, kClock / (4 * 11) / 992},
        {"the new count undone",
         [&](DeviceSettings& s) {
             resize(s, 1000);
             EditArbitrary(s, 0, ArbitraryEdit::Undo());
         },
         kClock / (4 * 11) / 5680},
        {"and redone",
         [&](DeviceSettings& s) {
             resize(s, 1000);
             EditArbitrary(s, 0, ArbitraryEdit::Undo());
             EditArbitrary(s, 0, ArbitraryEdit::Redo());
         },
         kClock / (4 * 11) / 992},
        {"a formula", [](DeviceSettings& s) { EXPECT_FALSE(ApplyFormula(s, 0, "sin(2*pi*x)")); },
         kClock / (4 * 11) / 5680},
        {"points drawn: count and divider as they were",
         [](DeviceSettings& s) {
             EditArbitrary(s, 0, ArbitraryEdit::Points(5, 5, [](std::vector<double>& v, std::uint32_t) {
                               v[5] = 1.0;
                               return std::optional<std::uint32_t>(5);
                           }));
         },
         1000.0},
        {"no points play no frequency: the last one stays", [&](DeviceSettings& s) { resize(s, 15); }, 1000.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FakeGenerator fake;
        DeviceSettings settings(fake);
        ASSERT_EQ(settings.Record(0).arbitraryPointCount, 5680u);
        ASSERT_EQ(settings.Record(0).arbitraryDivider, 11);
        ASSERT_EQ(settings.Record(0).arbitraryFrequency, 1000.0);
        row.route(settings);
        EXPECT_DOUBLE_EQ(settings.Record(0).arbitraryFrequency, row.frequency);
        StringSink exported;
        ASSERT_TRUE(WriteQwfFile(settings, exported, 0));
        EXPECT_EQ(CrLfLines(exported.Text()).at(3), "#Freq=" + FormatFixed(row.frequency));
    }
}

}  // namespace
}  // namespace zorbel::test
