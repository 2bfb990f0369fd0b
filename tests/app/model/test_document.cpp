// The document's file operations: extension checks and their messages,
// files that cannot be opened or written, saves that fail part-way and must
// keep the earlier file, and the range messages of typed values.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "fake_generator.h"
#include "file_helpers.h"
#include "temp_dir.h"
#include "zorbel/model/document.h"
#include "zorbel/model/range_check.h"

namespace zorbel::test {
namespace {

class MessageLog : public DocumentMessages {
public:
    void ShowMessage(const std::string& text, const std::string& path) override {
        messages.push_back(text);
        paths.push_back(path);
    }
    void ShowWarning(const std::string& text, const std::string& path) override {
        warnings.push_back(text);
        paths.push_back(path);
    }
    std::vector<std::string> messages;
    std::vector<std::string> warnings;
    std::vector<std::string> paths;
};

const char* const kSmallArb =
    "version,16\r\ntype,2\r\nsamples,16\r\nsps,250000000.000000\r\n#zoom,1\r\ndiv,2\r\n0.5\r\n";
const char* const kSmallQwf = "#Total=2.5E+008\r\n#SAMPLE=2\r\n#SIZE=16\r\n#Freq=50.000000\r\n0.5,";

class Document : public ::testing::Test {
protected:
    Document() { doc.SetMessages(&log); }

    TempDir dir;
    FakeGenerator fake;
    CZorbelDoc doc{fake};
    MessageLog log;
};

enum class Op { LoadSetup, SaveSetup, LoadArbitrary, SaveArbitrary };

struct ExtensionRow {
    Op op;
    std::uint16_t kind;
    const char* name;
    const char* message;  // nullptr: accepted (or, kind 2, refused silently)
};

TEST_F(Document, ExtensionChecksIgnoreCaseAndNameTheExpectedType) {
    const ExtensionRow rows[] = {
        {Op::LoadArbitrary, 0, "wave.ARB", nullptr},
        {Op::LoadArbitrary, 0, "wave.qwf", "File is not *.arb"},
        {Op::LoadArbitrary, 1, "wave.Qwf", nullptr},
        {Op::LoadArbitrary, 1, "wave.arb", "File is not *.qwf"},
        {Op::SaveArbitrary, 0, "out.arb.txt", "File is not *.arb"},
        {Op::SaveArbitrary, 1, "out.QWF", nullptr},
        {Op::LoadSetup, 0, "SETUP.Set", nullptr},
        {Op::SaveSetup, 0, "setup.txt", "File is not *.set"},
        {Op::SaveSetup, 0, "set", "File is not *.set"},
    };
    WriteText(dir.file("wave.ARB"), kSmallArb);
    WriteText(dir.file("wave.qwf"), kSmallQwf);
    WriteText(dir.file("wave.Qwf"), kSmallQwf);
    WriteText(dir.file("wave.arb"), kSmallArb);
    for (const ExtensionRow& row : rows) {
        SCOPED_TRACE(row.name);
        log.messages.clear();
        const std::string path = dir.file(row.name);
        const bool existed = std::filesystem::exists(path);
        bool ok = false;
        switch (row.op) {
        case Op::LoadSetup:
            ok = doc.LoadSetup(path);
            break;
        case Op::SaveSetup:
            ok = doc.SaveSetup(path);
            break;
        case Op::LoadArbitrary:
            ok = doc.LoadArbitrary(row.kind, path);
            break;
        case Op::SaveArbitrary:
            ok = doc.SaveArbitrary(row.kind, path);
            break;
        }
        EXPECT_EQ(ok, row.message == nullptr);
        if (row.message) {
            EXPECT_EQ(log.messages, std::vector<std::string>{row.message});
            EXPECT_EQ(std::filesystem::exists(path), existed);  // nothing written
        } else {
            EXPECT_TRUE(log.messages.empty());
        }
    }
}

TEST_F(Document, UnknownKindFailsWithoutAMessage) {
    WriteText(dir.file("wave.arb"), kSmallArb);
    EXPECT_FALSE(doc.LoadArbitrary(2, dir.file("wave.arb")));
    EXPECT_FALSE(doc.SaveArbitrary(2, dir.file("wave.arb")));
    EXPECT_TRUE(log.messages.empty());
}

TEST_F(Document, LoadsGoToTheCurrentChannel) {
    WriteText(dir.file("wave.arb"), kSmallArb);
    doc.GetDeviceSettings().SetCurrentChannel(1);
    const ChannelRecord first = doc.GetDeviceSettings().Record(0);
    ASSERT_TRUE(doc.LoadArbitrary(kArbitraryDataFile, dir.file("wave.arb")));
    // The reader's remarks reach the user, the load stands.
    EXPECT_EQ(log.warnings, std::vector<std::string>{"the file announces 16 samples but holds 1; the other 15 are 0"});
    EXPECT_EQ(log.paths, std::vector<std::string>{dir.file("wave.arb")});
    EXPECT_TRUE(log.messages.empty());
    EXPECT_EQ(doc.GetDeviceSettings().Record(1).arbitraryPointCount, 16u);
    EXPECT_EQ(doc.GetDeviceSettings().Record(1).arbitrarySamples[0], 0.5);
    EXPECT_EQ(doc.GetDeviceSettings().Record(0).arbitrarySamples, first.arbitrarySamples);
}

TEST_F(Document, FilesThatCannotBeOpenedGiveTheSystemsReason) {
    ASSERT_EQ(mkfifo(dir.file("pipe.arb").c_str(), 0600), 0);
    std::filesystem::create_symlink("pipe.arb", dir.file("link.qwf"));
    std::filesystem::create_directory(dir.file("folder.qwf"));
    const struct {
        bool load;
        std::uint16_t kind;
        std::string path;
        std::string message;
    } rows[] = {
        {true, 0, dir.file("missing.arb"), "Cann't Load file: No such file or directory"},
        {true, 0, dir.file("pipe.arb"), "Cann't Load file: Not a regular file"},  // and no wait for a writer
        {true, 1, dir.file("folder.qwf"), "Cann't Load file: Is a directory"},
        {false, 1, dir.file("folder.qwf"), "Cann't save file: Is a directory"},
        {false, 0, dir.file("no/such/folder.arb"), "Cann't save file: No such file or directory"},
        // A save must not put a regular file in place of a FIFO or a device.
        {false, 0, dir.file("pipe.arb"), "Cann't save file: it is a FIFO, not a regular file"},
        {false, 1, dir.file("link.qwf"),
         "Cann't save file: it leads to " + dir.file("pipe.arb") + ", a FIFO, not a regular file"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        log.messages.clear();
        EXPECT_FALSE(row.load ? doc.LoadArbitrary(row.kind, row.path) : doc.SaveArbitrary(row.kind, row.path));
        EXPECT_EQ(log.messages, std::vector<std::string>{row.message});
        EXPECT_EQ(log.paths.back(), row.path);
    }
    EXPECT_TRUE(doc.GetDeviceSettings().PendingCommands().empty());
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("pipe.arb").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.qwf")));
}

TEST_F(Document, RefusedContentIsAFailedLoad) {
    WriteText(dir.file("big.arb"),
              "version,16\r\ntype,2\r\nsamples,100000000\r\nsps,250000000.000000\r\n#zoom,1\r\ndiv,2\r\n");
    EXPECT_FALSE(doc.LoadArbitrary(kArbitraryDataFile, dir.file("big.arb")));
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0], "Cann't Load file: the file announces 100000000 samples; 0 to 67108864 are possible");
}

// A save that fails part-way (the disk refuses more bytes) reports the
// failure and leaves the earlier file of that name as it was, with no
// temporary file left behind.
TEST_F(Document, FailedSaveKeepsTheEarlierFile) {
    doc.GetDeviceSettings().ResizeArbitrary(0, 4096);
    const struct {
        std::string name;
        std::function<bool()> save;
    } rows[] = {
        {"kept.set", [&] { return doc.SaveSetup(dir.file("kept.set")); }},
        {"kept.arb", [&] { return doc.SaveArbitrary(kArbitraryDataFile, dir.file("kept.arb")); }},
        {"kept.qwf", [&] { return doc.SaveArbitrary(kArbitraryExchangeFile, dir.file("kept.qwf")); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.file(row.name);
        WriteText(path, "earlier content\r\n");
        log.messages.clear();
        bool saved = true;
        {
            FileSizeCap cap(512);
            saved = row.save();
        }
        EXPECT_FALSE(saved);
        ASSERT_EQ(log.messages.size(), 1u);
        EXPECT_EQ(log.messages[0].rfind("Cann't save file: ", 0), 0u) << log.messages[0];
        EXPECT_NE(log.messages[0].find("File too large"), std::string::npos) << log.messages[0];
        EXPECT_EQ(ReadText(path), "earlier content\r\n");
        EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{row.name});
        std::filesystem::remove(path);
        EXPECT_TRUE(row.save());  // without the cap the same save succeeds
        std::filesystem::remove(path);
    }
}

TEST(RangeCheck, LimitsAreAllowedAndTheMessageNamesChannelValueAndRange) {
    struct Case {
        Parameter parameter;
        std::uint16_t channel;
        double value;
        const char* message;  // nullptr: inside; "" any message
    };
    const Case cases[] = {
        {Parameter::Frequency, 0, 3e7, nullptr},
        {Parameter::Frequency, 0, 1e-6, nullptr},
        {Parameter::Frequency, 1, 3.00001e7,
         "Set CH2 Frequency(Hz) Error: (3.00001E+007) is out of range(1E-006,3E+007)"},
        {Parameter::PulseWidth, 0, -1, "Set CH1 Pulse Width: (-1) is out of range(1.6E-008,0.0009998)"},
        {Parameter::Amplitude, 0, std::nextafter(20.0, 21.0), ""},  // beyond as typed, though sent as "20"
        {Parameter::Amplitude, 0, 20.0001, ""},
        {Parameter::Amplitude, 0, NAN, ""},
        // The library refuses an offset equal to its minimum without sending it.
        {Parameter::Offset, 1, -9.9, "Set CH2 Offset(V) Error: (-9.9) is out of range(-9.9,9.9)"},
        {Parameter::Offset, 0, -9.8999999, ""},  // sent as -9.9
        {Parameter::Offset, 0, -9.89999, nullptr},
        {Parameter::Offset, 0, 9.9, nullptr},
        {Parameter::Phase, 0, 0.0, nullptr},  // other minimums are allowed
    };
    const LimitsBlock limits = LimitsBlock::BuiltIn();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(kParameters[Index(c.parameter)].name) + " " + std::to_string(c.value));
        const auto message = OutOfRangeMessage(c.parameter, c.channel, c.value, limits);
        if (c.message == nullptr) {
            EXPECT_FALSE(message) << *message;
        } else {
            ASSERT_TRUE(message);
            if (*c.message != '\0') {
                EXPECT_EQ(*message, c.message);
            }
        }
    }
}

}  // namespace
}  // namespace zorbel::test
