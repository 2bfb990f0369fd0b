// zorbel-cli report as a lab's script runs it: the page of a setup file's
// channel as a PDF, read back as text with pdftotext; refusals as one line.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <filesystem>

#include "program_run.h"
#include "temp_dir.h"
#include "zorbel/model/document.h"

namespace zorbel {
namespace {

constexpr char kPdfToText[] = "/usr/bin/pdftotext";

// Channel 1 arbitrary, channel 2 a pulse, channel 1 current.
std::string WriteSetup(const test::TempDir& folder) {
    CZorbelDoc doc;
    DeviceSettings& s = doc.GetDeviceSettings();
    s.SetWaveType(0, kWaveArbitrary);
    s.SetWaveType(1, kWavePulse);
    s.SetParameter(1, Parameter::Frequency, 2500);
    s.SetParameter(1, Parameter::Amplitude, 1.5);
    s.SetParameter(1, Parameter::Offset, -0.25);
    s.SetParameter(1, Parameter::Phase, 90);
    s.SetParameter(1, Parameter::PulseWidth, 2.5e-5);
    s.SetParameter(1, Parameter::PulseLeading, 1e-7);
    s.SetParameter(1, Parameter::PulseTrailing, 2e-7);
    const std::string path = folder.File("bench.set");
    EXPECT_TRUE(doc.SaveSetup(path));
    return path;
}

TEST(ReportPdf, ThePageOfASetupChannelAsText) {
    ASSERT_TRUE(std::filesystem::exists(kPdfToText)) << "pdftotext is missing: run scripts/install-deps";
    test::TempDir folder;
    const std::string setup = WriteSetup(folder);
    const auto arbitrary = CZorbelDoc().GetDeviceSettings().Record(0);  // the file keeps these as they are
    const QString date = QStringLiteral(R"(Data: = \d\d-\d\d-\d{4} Time = \d\d:\d\d:\d\d)");
    const struct {
        const char* what;
        std::vector<std::string> options;
        QStringList lines;  // pdftotext -raw, in reading order; the date line as a pattern
    } rows[] = {
        {"the file's current channel",
         {},
         {"CH(1)Wave", "QDN Zorbel", date,
          QStringLiteral("Type: Arb Frequency: 1000(Hz) Counter: %1 Division: %2")
              .arg(arbitrary.arbitraryPointCount)
              .arg(arbitrary.arbitraryDivider),
          "Note:"}},
        {"--channel 2",
         {"--channel", "2"},
         {"CH(2)Wave", "QDN Zorbel", date, "Type: Pulse Frequency: 2500(Hz) Amplitude: 1.5(V) OffSet: -0.25(V)",
          "Phase: 90.00 Pulse Width: 2.5E-005(s) Leading: 1E-007(s) Trailing: 2E-007(s)", "Note:"}},
    };
    for (const auto& row : rows) {
        const std::string pdf = folder.File("report.pdf");
        std::vector<std::string> args = row.options;
        args.insert(args.end(), {"report", setup, pdf});
        const test::CliRun run = test::RunZorbelCli(args);
        ASSERT_EQ(run.status, 0) << row.what << ": " << run.err;
        EXPECT_EQ(run.err, "") << row.what;
        const test::ProgramRun text = test::RunProgram(kPdfToText, {"-raw", pdf, "-"});
        ASSERT_EQ(text.status, 0) << text.err;
        QStringList lines;  // without the page's closing form feed
        for (const QString& line : QString::fromStdString(text.out).split('\n'))
            if (!line.trimmed().isEmpty()) lines << line.trimmed();
        ASSERT_EQ(lines.size(), row.lines.size()) << row.what << ":\n" << text.out;
        for (int i = 0; i < lines.size(); ++i) {
            const QString& expected = row.lines[i];
            if (expected == date)
                EXPECT_TRUE(QRegularExpression("^" + date + "$").match(lines[i]).hasMatch())
                    << row.what << ": " << lines[i].toStdString();
            else
                EXPECT_EQ(lines[i], expected) << row.what;
        }
    }
}

TEST(ReportPdf, RefusalsAreOneLineAndLeaveNoFile) {
    test::TempDir folder;
    const std::string setup = WriteSetup(folder);
    std::filesystem::create_directory(folder.File("folder.pdf"));
    const struct {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::string errStart;
    } rows[] = {
        {"missing setup",
         {"report", folder.File("none.set"), folder.File("a.pdf")},
         2,
         "zorbel-cli: " + folder.File("none.set") + ": Cann't Load file: No such file or directory"},
        {"not a setup file",
         {"report", folder.File("a.txt"), folder.File("a.pdf")},
         2,
         "zorbel-cli: " + folder.File("a.txt") + ": File is not *.set"},
        {"output that is a folder",
         {"report", setup, folder.File("folder.pdf")},
         1,
         "zorbel-cli: " + folder.File("folder.pdf") + ": Cann't save file: "},
        {"no output named", {"report", setup}, 2, "zorbel-cli: usage: zorbel-cli [options] report SETUP.set OUT.pdf"},
    };
    for (const auto& row : rows) {
        const test::CliRun run = test::RunZorbelCli(row.args);
        EXPECT_EQ(run.status, row.status) << row.what;
        EXPECT_EQ(run.err.rfind(row.errStart, 0), 0u) << row.what << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << row.what << ": " << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(folder.File("a.pdf")));
}

}  // namespace
}  // namespace zorbel
