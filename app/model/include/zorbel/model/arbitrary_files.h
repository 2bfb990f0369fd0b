// The two text formats of one channel's arbitrary waveform:
//
//   .arb (Load Data / Save Data): six "name,value" header lines (version,
//        type, samples, sps, #zoom, div), then one sample per line divided by
//        the gain code, "%f".
//   .qwf (Import Data / Export Data As): four "#name=value" header lines
//        (#Total, #SAMPLE = divider, #SIZE = point count, #Freq = the
//        frequency the page shows), then the samples in volts as "%14G,"
//        ten to a line, the last line without a line break.
//
// Lines end with CR LF when written; the readers take CR LF, LF or CR alone
// and remove every blank before parsing a line. A reader checks the whole
// file before it changes the channel: a file it refuses leaves the model as
// it was.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "zorbel/model/device_settings.h"
#include "zorbel/model/long_job.h"
#include "zorbel/model/redraw_sink.h"
#include "zorbel/model/text_file.h"

namespace zorbel {

// Sample clock the formats record, samples per second (informational).
inline constexpr double kArbitrarySampleRate = 250000000.0;

// Remarks on a file that did load, one text each, for the user to see: the
// file holds fewer samples than it announces (the rest are 0), samples that
// are not numbers (loaded as 0) or beyond what the instrument plays (a
// download clamps them to +-kMaxArbitraryVolts), a point count rounded down
// to a multiple of 16.
using LoadWarnings = std::vector<std::string>;

// The remark on a point count that is not a multiple of 16; nothing when it is.
std::optional<std::string> RoundedCountWarning(std::size_t count);

// Loads an .arb file into `channel`: the announced count N becomes the
// sample buffer (point count N rounded down to 16), the gain code and the
// divider are stored and the divider write is queued; samples missing at the
// end of the file are 0. The arbitrary frequency becomes the one the points
// and the divider play (as after every load). Refused (false, `error` says why): a count below 0
// or above the waveform memory, a gain code other than 1, 4 or 20 (0 would
// zero every sample), a divider outside 0 to 250, a sample that is not a
// finite number ("1E+999", "INF", "NAN"), a read error, a bad channel.
bool ReadArbFile(DeviceSettings& settings, LineSource& file, std::uint16_t channel, std::string* error = nullptr,
                 LoadWarnings* warnings = nullptr);

// Loads a .qwf file into `channel`: divider (stored, its write queued), point
// count, then N rounded down to 16 samples; the gain code is recomputed from
// them. #Freq must be a number but is not taken: the arbitrary frequency
// becomes the one the points and the divider play. Refused like ReadArbFile for a bad count, divider
// or sample, and for a frequency that is not a finite number.
bool ReadQwfFile(DeviceSettings& settings, LineSource& file, std::uint16_t channel, std::string* error = nullptr,
                 LoadWarnings* warnings = nullptr);

enum class ArbitraryFormat : std::uint8_t { Arb, Qwf };

// A file read and checked, not yet applied to a channel.
struct ArbitraryFileContent {
    std::vector<double> samples;                     // volts
    std::optional<std::uint16_t> zoom;               // .arb: the file's gain code
    std::optional<std::pair<double, double>> range;  // .qwf: highest and lowest point played, for the gain code
    std::uint16_t divider = 0;
    LoadWarnings warnings;
};

// What ReadArbFile and ReadQwfFile do to the channel once the file has been
// read: the samples swapped in (one undo step, `sink` told), gain code and
// divider stored, the divider write queued.
void ApplyArbitraryFile(DeviceSettings& settings, std::uint16_t channel, ArbitraryFileContent content,
                        RedrawSink* sink = nullptr);

// Files below this size are read at once, without a worker.
inline constexpr std::uintmax_t kSmallImportBytes = std::uintmax_t{1} << 20;

// The end of a file read on a worker.
struct ImportOutcome {
    bool imported = false;
    std::string error;  // why not
    LoadWarnings warnings;
};

// Loads `path` as an .arb or .qwf file into `channel` as a long job: the
// file is read and checked on the worker, the interface thread applies it
// (ApplyArbitraryFile) and `done` hears the outcome; a file that cannot be
// opened or is refused changes nothing. A cancelled load changes nothing
// and calls nothing.
LongJob ArbitraryFileJob(DeviceSettings& settings, ArbitraryFormat format, const std::string& path,
                         std::uint16_t channel, RedrawSink* sink, std::function<void(const ImportOutcome&)> done);

// Write the channel's first point-count samples. False when the sink fails
// (or, for .arb, the gain code is not 1, 4 or 20: the samples could not be
// scaled back).
bool WriteArbFile(const DeviceSettings& settings, TextSink& file, std::uint16_t channel, std::string* error = nullptr);
bool WriteQwfFile(const DeviceSettings& settings, TextSink& file, std::uint16_t channel, std::string* error = nullptr);

}  // namespace zorbel
