// The calibration report "Calibrate.csv": the result list as comma-separated
// text in the Chinese GBK code page with CR LF line ends, as the tools that
// read these reports expect it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zorbel/dialogs/calibration_sequence.h"
#include "zorbel/model/result.h"

namespace zorbel {

inline constexpr char kCalibrationReportName[] = "Calibrate.csv";
inline constexpr char kCalibrationReportHeader[] = "标号,输出频率,输出幅度,测量项,测量频率,测量幅度,判定结果";

// UTF-8 text in GBK; nothing when a character has no GBK form.
std::optional<std::string> ToGbk(std::string_view utf8);

// The header line, then one line per row with its seven texts as shown
// (unquoted), each ending CR LF, in GBK.
std::optional<std::string> CalibrationReportBytes(const std::vector<CalibrationRow>& rows);

// Writes the report to `path` whole or not at all: a write that fails leaves
// an earlier report as it was.
Result WriteCalibrationReport(const std::string& path, const std::vector<CalibrationRow>& rows);

}  // namespace zorbel
