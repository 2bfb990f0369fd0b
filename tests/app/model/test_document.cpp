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
#include "zorbel/model/file_texts.h"
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
    WriteText(dir.File("wave.ARB"), kSmallArb);
    WriteText(dir.File("wave.qwf"), kSmallQwf);
    WriteText(dir.File("wave.Qwf"), kSmallQwf);
    WriteText(dir.File("wave.arb"), kSmallArb);
    for (const ExtensionRow& row : rows) {
        SCOPED_TRACE(row.name);
        log.messages.clear();
        const std::string path = dir.File(row.name);
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
    WriteText(dir.File("wave.arb"), kSmallArb);
    EXPECT_FALSE(doc.LoadArbitrary(2, dir.File("wave.arb")));
    EXPECT_FALSE(doc.SaveArbitrary(2, dir.File("wave.arb")));
    EXPECT_TRUE(log.messages.empty());
}

TEST_F(Document, LoadsGoToTheCurrentChannel) {
    WriteText(dir.File("wave.arb"), kSmallArb);
    doc.GetDeviceSettings().SetCurrentChannel(1);
    const ChannelRecord first = doc.GetDeviceSettings().Record(0);
    ASSERT_TRUE(doc.LoadArbitrary(kArbitraryDataFile, dir.File("wave.arb")));
    // The reader's remarks reach the user, the load stands.
    EXPECT_EQ(log.warnings, std::vector<std::string>{"the file announces 16 samples but holds 1; the other 15 are 0"});
    EXPECT_EQ(log.paths, std::vector<std::string>{dir.File("wave.arb")});
    EXPECT_TRUE(log.messages.empty());
    EXPECT_EQ(doc.GetDeviceSettings().Record(1).arbitraryPointCount, 16u);
    EXPECT_EQ(doc.GetDeviceSettings().Record(1).arbitrarySamples[0], 0.5);
    EXPECT_EQ(doc.GetDeviceSettings().Record(0).arbitrarySamples, first.arbitrarySamples);
}

TEST_F(Document, FilesThatCannotBeOpenedGiveTheSystemsReason) {
    ASSERT_EQ(mkfifo(dir.File("pipe.arb").c_str(), 0600), 0);
    std::filesystem::create_symlink("pipe.arb", dir.File("link.qwf"));
    std::filesystem::create_directory(dir.File("folder.qwf"));
    const struct {
        bool load;
        std::uint16_t kind;
        std::string path;
        std::string message;
    } rows[] = {
        {true, 0, dir.File("missing.arb"), "Cann't Load file: No such file or directory"},
        {true, 0, dir.File("pipe.arb"), "Cann't Load file: Not a regular file"},  // and no wait for a writer
        {true, 1, dir.File("folder.qwf"), "Cann't Load file: Is a directory"},
        {false, 1, dir.File("folder.qwf"), "Cann't save file: Is a directory"},
        {false, 0, dir.File("no/such/folder.arb"), "Cann't save file: No such file or directory"},
        // A save must not put a regular file in place of a FIFO or a device.
        {false, 0, dir.File("pipe.arb"), "Cann't save file: it is a FIFO, not a regular file"},
        {false, 1, dir.File("link.qwf"),
         "Cann't save file: it leads to " + dir.File("pipe.arb") + ", a FIFO, not a regular file"},
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
    ASSERT_EQ(::stat(dir.File("pipe.arb").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.qwf")));
}

TEST_F(Document, RefusedContentIsAFailedLoad) {
    WriteText(dir.File("big.arb"),
              "version,16\r\ntype,2\r\nsamples,100000000\r\nsps,250000000.000000\r\n#zoom,1\r\ndiv,2\r\n");
    EXPECT_FALSE(doc.LoadArbitrary(kArbitraryDataFile, dir.File("big.arb")));
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
        {"kept.set", [&] { return doc.SaveSetup(dir.File("kept.set")); }},
        {"kept.arb", [&] { return doc.SaveArbitrary(kArbitraryDataFile, dir.File("kept.arb")); }},
        {"kept.qwf", [&] { return doc.SaveArbitrary(kArbitraryExchangeFile, dir.File("kept.qwf")); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.File(row.name);
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
        EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{row.name});
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

// Every text the file operations compose is found again with its parts, so
// that the program can show it in the user's language; the parts go in once
// and whole, whatever they hold.
TEST(FileTexts, EveryTemplateIsRecognisedWithItsParts) {
    for (const FileTextRow& row : FileTextTable()) {
        const std::string pattern = row.english;
        std::vector<std::string> parts;
        for (char place = '1'; pattern.find(std::string("%") + place) != std::string::npos; ++place)
            parts.push_back(place == '1' ? "17" : "part " + std::string(1, place));
        const std::string text = FillTemplate(pattern, parts);
        EXPECT_EQ(text.find('%'), std::string::npos) << pattern;
        const auto found = RecogniseFileText(text);
        ASSERT_TRUE(found) << text;
        EXPECT_EQ(found->id, row.id) << text;
        EXPECT_EQ(found->parts, parts) << text;
    }
    const struct {
        std::string text;
        std::optional<FileText> id;
        std::vector<std::string> parts;
    } rows[] = {
        // A reason that is itself a template, as the document wraps it.
        {"Cann't Load file: the file holds 3 values; a waveform needs at least 16",
         FileText::CannotLoad,
         {"the file holds 3 values; a waveform needs at least 16"}},
        // A part that looks like a place or another template's text.
        {"line 4: \"%2 is not a number\" is not a number", FileText::TableNotNumber, {"4", "%2 is not a number"}},
        {"the gain code (#zoom) 7 is not 1, 4 or 20", FileText::HeaderGainCode, {"7"}},
        {"No such file or directory", std::nullopt, {}},  // the system's reason
        {"", std::nullopt, {}},
    };
    for (const auto& row : rows) {
        const auto found = RecogniseFileText(row.text);
        ASSERT_EQ(found.has_value(), row.id.has_value()) << row.text;
        if (!found) continue;
        EXPECT_EQ(found->id, *row.id) << row.text;
        EXPECT_EQ(found->parts, row.parts) << row.text;
    }
    EXPECT_EQ(FillTemplate("%2 then %1, %3 stays", std::vector<std::string>{"a%2", "b"}), "b then a%2, %3 stays");
}

}  // namespace
}  // namespace zorbel::test
