// zorbel-save-loop: saves a file through the document, as the program's File
// menu does, for the kill-during-save test.
//
//   zorbel-save-loop KIND PATH once A|B      save version A or B once
//   zorbel-save-loop KIND PATH loop A|B      save A, B, A, ... until killed:
//                                           "R" on standard output when the first
//                                           save starts, one byte after each save
//
// KIND: setup (.set, a profile file), arb or qwf (arbitrary data files)
// through the document; image (the view's picture as Save Image writes it),
// lan (the language choice "lan.set" the frame writes when it closes) and
// report (the calibration report). The two versions differ in every value
// and, but for "lan.set" (104 bytes always), in length, so that a mix of old
// and new bytes is never mistaken for either.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <QImage>

#include "language_choice.h"
#include "zorbel/dialogs/calibration_report.h"
#include "zorbel/model/document.h"
#include "zorbel/numbers.h"
#include "zorbel/report/bmp_file.h"

namespace {

using zorbel::CZorbelDoc;
using zorbel::Parameter;

void Prepare(CZorbelDoc& doc, bool versionB) {
    zorbel::DeviceSettings& settings = doc.GetDeviceSettings();
    const double k = versionB ? 2.0 : 1.0;
    for (std::uint16_t ch : {0, 1}) {
        settings.SetParameter(ch, Parameter::Frequency, 1000.0 * k + ch);
        settings.SetParameter(ch, Parameter::Amplitude, 1.25 * k);
        settings.SetParameter(ch, Parameter::Offset, -0.125 * k);
        settings.SetWaveType(ch, versionB ? 3 : 2);
    }
    // Data files of several hundred kilobytes: a save takes long enough to be
    // killed in the middle of its writes.
    const std::uint32_t points = versionB ? 49152 : 65536;
    settings.ResizeArbitrary(0, points);
    settings.ModifyRecord(0, [&](zorbel::ChannelRecord& r) {
        for (std::uint32_t i = 0; i < points; ++i) r.arbitrarySamples[i] = std::sin(i * 0.001 * k) * 4.0;
        r.arbitraryZoom = 4;
    });
}

// A picture of the view's kind (a trace on a dark ground), larger for version B.
QImage Picture(bool versionB) {
    QImage image(versionB ? 900 : 800, versionB ? 600 : 500, QImage::Format_RGB32);
    image.fill(versionB ? 0xFF000080u : 0xFF000000u);
    for (int x = 0; x < image.width(); ++x)
        image.setPixel(x, image.height() / 2 + static_cast<int>(200 * std::sin(x * 0.02)),
                       versionB ? 0xFFFFFF00u : 0xFF00FF00u);
    return image;
}

// Rows as a run fills them; version B has fewer and other values.
std::vector<zorbel::CalibrationRow> ReportRows(bool versionB) {
    std::vector<zorbel::CalibrationRow> rows;
    for (int step = 1; step <= (versionB ? 300 : 400); ++step) {
        const std::string value = zorbel::FormatFixed(step * (versionB ? 0.25 : 0.5), 4);
        rows.push_back({"步骤" + std::to_string(step), "1000.000", value, "峰峰值", "1000.000", value, "成(1)败(0)"});
    }
    return rows;
}

bool Save(CZorbelDoc& doc, std::string_view kind, const std::string& path, bool versionB) {
    if (kind == "image") {
        static const QImage kPictures[] = {Picture(false), Picture(true)};
        return zorbel::SaveViewImage(kPictures[versionB], QString::fromStdString(path), nullptr);
    }
    if (kind == "lan") return zorbel::WriteLanguageChoiceFile(QString::fromStdString(path), versionB ? 7 : 3, nullptr);
    if (kind == "report") {
        static const std::vector<zorbel::CalibrationRow> kRows[] = {ReportRows(false), ReportRows(true)};
        return zorbel::WriteCalibrationReport(path, kRows[versionB]).Ok();
    }
    if (kind == "setup") return doc.SaveSetup(path);
    if (kind == "arb") return doc.SaveArbitrary(zorbel::kArbitraryDataFile, path);
    if (kind == "qwf") return doc.SaveArbitrary(zorbel::kArbitraryExchangeFile, path);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: zorbel-save-loop setup|arb|qwf|image|lan|report PATH once|loop A|B\n");
        return 2;
    }
    // The model's library is never used for traffic here; should it ever be, only loopback.
    setenv("QRV_LAN_ADDRESS", "127.0.0.1", 1);
    const std::string_view kind = argv[1];
    const std::string path = argv[2];
    const bool loop = std::string_view(argv[3]) == "loop";
    const bool startWithB = std::string_view(argv[4]) == "B";

    CZorbelDoc versions[2];
    Prepare(versions[0], false);
    Prepare(versions[1], true);
    if (!loop) return Save(versions[startWithB ? 1 : 0], kind, path, startWithB) ? 0 : 1;
    if (write(STDOUT_FILENO, "R", 1) != 1) return 1;
    for (bool b = startWithB;; b = !b) {
        if (!Save(versions[b ? 1 : 0], kind, path, b)) return 1;
        const char done = b ? 'B' : 'A';
        if (write(STDOUT_FILENO, &done, 1) != 1) return 1;
    }
}
