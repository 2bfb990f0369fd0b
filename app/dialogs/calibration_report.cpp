// The calibration report in GBK, through iconv.
#include "zorbel/dialogs/calibration_report.h"

#include <iconv.h>

#include "zorbel/atomic_file.h"

namespace zorbel {

std::optional<std::string> ToGbk(std::string_view utf8) {
    const iconv_t conversion = iconv_open("GBK", "UTF-8");
    if (conversion == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string in(utf8);
    std::string out(in.size() * 2 + 16, '\0');  // GBK never takes more bytes than UTF-8
    char* inPointer = in.data();
    std::size_t inLeft = in.size();
    char* outPointer = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(conversion, &inPointer, &inLeft, &outPointer, &outLeft);
    iconv_close(conversion);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::optional<std::string> CalibrationReportBytes(const std::vector<CalibrationRow>& rows) {
    std::string text = std::string(kCalibrationReportHeader) + "\r\n";
    for (const CalibrationRow& row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            if (column > 0) text += ',';
            text += row[column];
        }
        text += "\r\n";
    }
    return ToGbk(text);
}

Result WriteCalibrationReport(const std::string& path, const std::vector<CalibrationRow>& rows) {
    const std::optional<std::string> bytes = CalibrationReportBytes(rows);
    if (!bytes) return Result::Failed("the report has text without a GBK form");
    AtomicFile file;
    if (!file.Create(path) || !file.Write(*bytes) || !file.Commit()) return Result::Failed(file.Error());
    return Result::Done();
}

}  // namespace zorbel
