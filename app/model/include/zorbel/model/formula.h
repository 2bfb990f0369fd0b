// Arbitrary waveforms from a formula: an expression in x, the place in one
// period (0 <= x < 1), or in the point index n and the point count N, such as
// "sin(2*pi*x) + 0.3*sin(6*pi*x)" or "n < N/2 ? 1 : -1". muParser evaluates
// it (its functions, operators and the ternary "?:"); numbers are written
// with a decimal point whatever the user's locale.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zorbel/model/device_settings.h"
#include "zorbel/model/long_job.h"
#include "zorbel/model/redraw_sink.h"

namespace zorbel {

struct FormulaError {
    std::string message;  // the parser's, or why a value is not a number
    int position = -1;    // zero-based character of the text at fault; -1 none
};

struct FormulaResult {
    std::vector<double> samples;  // volts, clamped; empty on error
    std::size_t clamped = 0;      // values beyond the limit either way
    std::optional<FormulaError> error;
    bool stopped = false;  // cancelled: no samples, no error
};

// The formula's value at n = 0, step, 2 step, ... below pointCount
// (x = n / pointCount), each clamped to +-limit volts. A step above 1 serves
// a preview of a long waveform. An error for a text the parser refuses, for
// no points, and for a value that is not a finite number (such as
// "sqrt(-1)" or "1/x" at x = 0). Evaluated in bulk, split over the cores;
// a stop request through `progress` ends it with `stopped` and no samples.
FormulaResult EvaluateFormula(std::string_view text, std::uint32_t pointCount, double limit, std::uint32_t step = 1,
                              JobProgress* progress = nullptr);

// The formula over the channel's current point count, clamped to its point
// limit (ArbitraryVoltageLimit), replaces the channel's points; the gain code
// follows the new points. Nothing changes on error.
std::optional<FormulaError> ApplyFormula(DeviceSettings& settings, std::uint16_t channel, std::string_view text);

// ApplyFormula as a long job: the points are computed on the worker, the
// interface thread replaces the channel's points with them (one undo step,
// `sink` told) unless the waveform changed meanwhile, and `done` hears the
// outcome. A cancelled job changes nothing and calls nothing.
LongJob FormulaJob(DeviceSettings& settings, std::uint16_t channel, std::string text, RedrawSink* sink,
                   std::function<void(std::optional<FormulaError>)> done);

}  // namespace zorbel
