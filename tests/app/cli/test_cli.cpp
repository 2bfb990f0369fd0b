// zorbel-cli in-process, without an instrument: usage errors that must stop
// it before any traffic, the printed setup form and its round trip, and
// conversions between the two waveform formats and from sound files and
// tables into them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli.h"
#include "sound_file.h"
#include "temp_dir.h"

namespace zorbel::test {
namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result RunInProcess(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = cli::RunCli(args, out, err, false);
    return {status, out.str(), err.str()};
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct UsageRow {
    std::vector<std::string> args;
    std::string message;  // the one line on standard error
};

// None of these may reach an instrument: there is none, and USB would be tried.
TEST(Cli, BadUsageAndBadValuesExitWith2AndOneLine) {
    const UsageRow rows[] = {
        {{}, "no command given (see zorbel-cli --help)"},
        {{"frobnicate"}, "unknown command 'frobnicate' (see zorbel-cli --help)"},
        {{"--bogus", "show"}, "unknown option '--bogus' (see zorbel-cli --help)"},
        {{"--channel", "3", "read"}, "--channel is 1 or 2, not '3' (see zorbel-cli --help)"},
        {{"read", "--lan"}, "--lan needs a value (see zorbel-cli --help)"},
        {{"--lan", "10.0.0", "read"},
         "--lan needs an IPv4 address such as 192.168.1.100, not '10.0.0' (see zorbel-cli --help)"},
        {{"--timeout", "0", "read"}, "--timeout needs a number of seconds above 0, not '0' (see zorbel-cli --help)"},
        {{"--wait", "-1", "read"}, "--wait needs a number of seconds, 0 or more, not '-1' (see zorbel-cli --help)"},
        {{"read", "-o"}, "-o needs a value (see zorbel-cli --help)"},
        {{"-o", "now.set", "set", "Amplitude=1"}, "-o is for read and show only (see zorbel-cli --help)"},
        {{"write"}, "usage: zorbel-cli [options] write FILE.set (see zorbel-cli --help)"},
        {{"convert", "a.arb"}, "usage: zorbel-cli [options] convert IN OUT (see zorbel-cli --help)"},
        {{"read", "extra"}, "usage: zorbel-cli [options] read (see zorbel-cli --help)"},
        {{"set", "Frequency"}, "'Frequency' is not KEY=VALUE"},
        {{"set", "Colour=red"}, "unknown key 'Colour'"},
        {{"set", "Amplitude=1", "frequency(hz)=fast"}, "Frequency(Hz) needs a plain number, not 'fast'"},
        {{"set", "Frequency=1 kHz"}, "Frequency(Hz) needs a plain number, not '1 kHz'"},
        {{"set", "Type=9"}, "Type needs a wave type 1 to 7 or its name, not '9'"},
        {{"set", "OnOff=2"}, "OnOff needs 0 or 1, not '2'"},
        {{"arb", "wave.txt"}, "wave.txt: File is not *.arb or *.qwf"},
        {{"convert", "a.arb", "b.csv"}, "b.csv: File is not *.arb or *.qwf"},
        {{"read", "--steps", "5"},
         "--steps, --step, --log, --dwell, --repeat and --updown are for sweep only (see zorbel-cli --help)"},
        {{"sweep", "Frequency", "1", "2", "--steps", "3", "--step", "1"},
         "give --steps or --step, not both (see zorbel-cli --help)"},
        {{"--retry", "soon", "read"},
         "--retry needs a number of seconds, 0 or more, not 'soon' (see zorbel-cli --help)"},
        {{"sweep", "Frequency", "1"},
         "usage: zorbel-cli [options] sweep KEY START STOP [--steps N | --step S] [--log] [--dwell SECONDS] "
         "[--repeat N] [--updown] (see zorbel-cli --help)"},
        {{"sweep", "Frequency", "1", "2", "--repeat", "0"},
         "--repeat needs a whole number from 1 to 1000000, not '0' (see zorbel-cli --help)"},
        {{"sweep", "Frequency", "1", "2", "--steps", "1"}, "--steps needs a whole number from 2 to 100000, not '1'"},
        {{"sweep", "Frequency", "1", "1k"}, "STOP needs a plain number, not '1k'"},
        {{"sweep", "Frequency", "0", "10", "--log"}, "sweep: a logarithmic sweep needs start and stop above 0"},
        {{"sweep", "Amplitude", "1", "2", "--dwell", "0.005"}, "sweep: the dwell lies between 0.01 s and a day"},
    };
    for (const UsageRow& row : rows) {
        SCOPED_TRACE(row.message);
        const Result r = RunInProcess(row.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "zorbel-cli: " + row.message + "\n");
    }
}

TEST(Cli, HelpNamesEveryCommandAndTheExitStatuses) {
    const Result r = RunInProcess({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* word : {"show [FILE.set]", "read", "write FILE.set", "set KEY=VALUE", "arb FILE", "convert IN OUT",
                             "--lan ADDRESS", "--channel 1|2", "Exit status"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    EXPECT_EQ(r.err, "");
}

TEST(Cli, ShowPrintsTheDefaultsInSetupFileForm) {
    const Result r = RunInProcess({"--channel", "2", "show"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("[Standard_1]\nMaxFrequency(Hz)=3E+007\nMinFrequency(Hz)=1E-006\n", 0), 0u);
    EXPECT_NE(r.out.find("[Channel_2]\nOnOff=1\nType=1\nFrequency(Hz)=1000\n"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 20), "[Current]\nChannel=1\n");
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
}

// What show prints is a setup file itself (LF lines), and loads back to the same.
TEST(Cli, ShowOfAFileAppliesItAndPrintsWhatLoadsBackTheSame) {
    TempDir dir;
    const std::string path = dir.File("bench.SET");
    WriteText(path, "[Channel_2]\r\nType=6\r\nAmplitude(V)=1.5\r\n[Current]\r\nChannel=1\r\n");
    const Result first = RunInProcess({"show", path});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("[Channel_2]\nOnOff=1\nType=6\nFrequency(Hz)=1000\nAmplitude(V)=1.5\n"),
              std::string::npos);
    EXPECT_NE(first.out.find("MinRampSymmetry=0\n"), std::string::npos);  // the file's own default
    EXPECT_EQ(first.out.substr(first.out.size() - 20), "[Current]\nChannel=1\n");

    WriteText(dir.File("printed.set"), first.out);
    const Result again = RunInProcess({"show", dir.File("printed.set")});
    EXPECT_EQ(again.out, first.out);

    const Result overridden = RunInProcess({"show", path, "--channel", "1"});
    EXPECT_EQ(overridden.out.substr(overridden.out.size() - 20), "[Current]\nChannel=0\n");
}

TEST(Cli, ShowRefusesAMissingOrMisnamedSetupFile) {
    TempDir dir;
    const Result missing = RunInProcess({"show", dir.File("absent.set")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "zorbel-cli: " + dir.File("absent.set") + ": Cann't Load file: No such file or directory\n");
    const Result misnamed = RunInProcess({"show", dir.File("bench.ini")});
    EXPECT_EQ(misnamed.status, 2);
    EXPECT_EQ(misnamed.err, "zorbel-cli: " + dir.File("bench.ini") + ": File is not *.set\n");
    EXPECT_EQ(misnamed.out, "");
}

// -o writes exactly what show prints, as a whole or not at all.
TEST(Cli, ShowIntoAFileWritesThePrintedSetupOrLeavesTheFileAlone) {
    TempDir dir;
    const std::string printed = RunInProcess({"show"}).out;
    struct Row {
        std::string path;
        int status;
        std::string err;
        std::string content;  // of the file afterwards
    };
    WriteText(dir.File("old.set"), "[Current]\nChannel=1\n");
    const Row rows[] = {
        {dir.File("old.set"), 0, "", printed},
        {dir.File("new.set"), 0, "", printed},
        {dir.File("absent/new.set"), 1,
         "zorbel-cli: " + dir.File("absent/new.set") + ": Cann't save file: No such file or directory\n", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        const Result r = RunInProcess({"show", "-o", row.path});
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.err, row.err);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(ReadText(row.path), row.content);
    }
}

// Files that load but are most likely not what their user meant.
TEST(Cli, DoubtfulInputsAreRefusedOrWarnedAbout) {
    TempDir dir;
    std::string eightSamples = "version,16\r\ntype,2\r\nsamples,8\r\nsps,250000000.000000\r\n#zoom,1\r\ndiv,5\r\n";
    for (int i = 0; i < 8; ++i) eightSamples += "0.500000\r\n";
    const std::string warning =
        ": warning: none of the setup file's sections ([Standard_1], [Standard_2], [Channel_1], [Channel_2], "
        "[Current]): the defaults are used\n";
    struct Row {
        std::string file;
        std::string content;
        std::vector<std::string> args;  // after the command word; the file is the first argument
        int status;
        std::string err;  // after the file's path
    };
    const Row rows[] = {
        {"short.arb",
         eightSamples,
         {"convert", dir.File("out.qwf")},
         2,
         ": warning: the point count 8 was rounded down to 0, a multiple of 16\nzorbel-cli: " + dir.File("short.arb") +
             ": the waveform has fewer than 16 points: nothing to convert\n"},
        {"notes.set", "[Notes]\nText=hello\n", {"show"}, 0, warning},
        {"empty.set", "", {"show"}, 0, warning},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        WriteText(dir.File(row.file), row.content);
        std::vector<std::string> args = {row.args[0], dir.File(row.file)};
        args.insert(args.end(), row.args.begin() + 1, row.args.end());
        const Result r = RunInProcess(args);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.err, "zorbel-cli: " + dir.File(row.file) + row.err);
        EXPECT_EQ(r.out.empty(), row.status != 0);  // a warning still shows the setup
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.qwf")));
}

TEST(Cli, ConvertBetweenQwfAndArbKeepsTheSamples) {
    TempDir dir;
    std::string qwf = "#Total=2.5E+008\r\n#SAMPLE=5\r\n#SIZE=32\r\n#Freq=440.000000\r\n";
    // -16.25, -15.25, ... -1.25, 0.25, 1.25, ... 15.25 on one long line
    for (int i = 0; i < 32; ++i) qwf += std::to_string(i - 16) + ".25,";
    WriteText(dir.File("in.qwf"), qwf);

    ASSERT_EQ(RunInProcess({"convert", dir.File("in.qwf"), dir.File("mid.ARB")}).status, 0);
    const std::string arb = ReadText(dir.File("mid.ARB"));
    EXPECT_EQ(
        arb.rfind("version,16\r\ntype,2\r\nsamples,32\r\nsps,250000000.000000\r\n#zoom,20\r\ndiv,5\r\n-0.812500\r\n",
                  0),
        0u);

    const Result back = RunInProcess({"convert", dir.File("mid.ARB"), dir.File("out.qwf")});
    ASSERT_EQ(back.status, 0) << back.err;
    const std::string out = ReadText(dir.File("out.qwf"));
    // The frequency 32 points play at divider 5: 250 MHz / 20 / 32.
    EXPECT_EQ(out.rfind("#Total=2.5E+008\r\n#SAMPLE=5\r\n#SIZE=32\r\n#Freq=390625.000000\r\n        -16.25,", 0), 0u);
    EXPECT_NE(out.find("         13.25,\r\n"), std::string::npos);             // the 30th value ends the third line
    EXPECT_EQ(out.substr(out.size() - 30), "         14.25,         15.25,");  // the last line has no break
}

TEST(Cli, ConvertOfARefusedFileWritesNothing) {
    TempDir dir;
    WriteText(dir.File("bad.arb"),
              "version,16\r\ntype,2\r\nsamples,32\r\nsps,250000000.000000\r\n#zoom,0\r\ndiv,5\r\n");
    const Result r = RunInProcess({"convert", dir.File("bad.arb"), dir.File("out.qwf")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "zorbel-cli: " + dir.File("bad.arb") + ": Cann't Load file: the gain code (#zoom) 0 is not 1, 4 or 20\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.qwf")));
}

// Full scale of a sound file is half the built-in amplitude maximum (16-bit
// samples: -1 is written as -32767 and read as -32767/32768); table values
// are volts. The .arb form divides by the gain code 20; the divider is the
// built-in one.
TEST(Cli, ConvertFromASoundFileAndATable) {
    TempDir dir;
    std::vector<double> frames(32, 0.0);
    frames[1] = 0.5;
    frames[2] = -1.0;
    ASSERT_TRUE(WriteSoundFile(dir.File("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, frames));
    const Result wav = RunInProcess({"convert", dir.File("in.wav"), dir.File("wav.arb")});
    ASSERT_EQ(wav.status, 0) << wav.err;
    EXPECT_EQ(wav.err, "");
    EXPECT_EQ(ReadText(dir.File("wav.arb"))
                  .rfind("version,16\r\ntype,2\r\nsamples,32\r\nsps,250000000.000000\r\n"
                         "#zoom,20\r\ndiv,11\r\n0.000000\r\n0.250000\r\n-0.499985\r\n",
                         0),
              0u);

    std::string csv = "index;volts\n";
    for (int i = 0; i < 20; ++i) csv += std::to_string(i) + ";" + std::to_string(i - 9) + ".5\n";
    WriteText(dir.File("in.csv"), csv);
    const Result table = RunInProcess({"convert", dir.File("in.csv"), dir.File("csv.qwf")});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.err, "zorbel-cli: " + dir.File("in.csv") +
                             ": warning: the point count 20 was rounded down to 16, a multiple of 16\n");
    const std::string qwf = ReadText(dir.File("csv.qwf"));
    EXPECT_EQ(qwf.rfind("#Total=2.5E+008\r\n#SAMPLE=11\r\n#SIZE=16\r\n#Freq=355113.636364\r\n          -9.5,", 0), 0u)
        << qwf;
    EXPECT_EQ(qwf.substr(qwf.size() - 15), "           6.5,");
}

}  // namespace
}  // namespace zorbel::test
