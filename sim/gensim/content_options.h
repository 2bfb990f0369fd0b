// Checks for the command-line options that shape the simulated instrument's
// content (ranges, calibration steps). The options only keep the texts; each
// family reads its own when it is built, so a bad text is caught at start-up.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace gensim {

// "--range CH:HEADER=MAX,MIN", e.g. "1:FREQuency=2E+007,0.01" (instrument units).
bool IsRangeOption(std::string_view option);

// One calibration step: "CH<n> <kind> [<volts> <hertz> <rule> [<tolerance volts>]]".
bool IsCalibrationStep(std::string_view option);

// Appends the steps of a script file (one per line; blank lines and lines
// starting with '#' skipped). False, with the reason on stderr, when the file
// cannot be read or a line is not a step.
bool ReadCalibrationScript(const std::string& path, std::vector<std::string>& steps);

}  // namespace gensim
