// Arbitrary waveforms from sound files and tables of values, for Import Data
// next to the .qwf format:
//
//   sound (.wav, .flac, .aif, .aiff; libsndfile): the first channel, full
//        scale mapped to the channel's point limit (ArbitraryVoltageLimit);
//   table (.csv, .txt): one value per line, or lines of columns separated by
//        "," or ";" whose last column holds the value; volts with a decimal
//        point; the first line may be a header.
//
// At most kMaxArbitraryPoints samples are taken, rounded down to a multiple
// of 16 (the instrument plays no others), and each is clamped to the point
// limit as the point editor clamps; LoadWarnings tell of each. The whole file
// is read and checked before the channel is touched: a refused file changes
// nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "zorbel/model/arbitrary_files.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/long_job.h"
#include "zorbel/model/redraw_sink.h"
#include "zorbel/model/text_file.h"

namespace zorbel {

enum class ImportKind { None, Sound, Table };

// By the file name's extension, without regard to case.
ImportKind ImportKindOf(std::string_view path);

// The samples of a sound file, volts. Refused (false, `error` says why): a
// file libsndfile does not read, one that ends before the samples its header
// announces, a sample that is not a finite number, fewer than 16 samples.
// A stop request through `progress` ends either read between two blocks
// (false, no error).
bool ReadSoundFile(const std::string& path, double limit, std::vector<double>& samples, std::string* error = nullptr,
                   LoadWarnings* warnings = nullptr, JobProgress* progress = nullptr);
// The same for a sound file held in memory (libsndfile's virtual I/O).
bool ReadSoundBytes(std::string_view bytes, double limit, std::vector<double>& samples, std::string* error = nullptr,
                    LoadWarnings* warnings = nullptr, JobProgress* progress = nullptr);

// The values of a table, volts. Refused: a line after the first whose value
// is not a finite number, fewer than 16 values, a read error.
bool ReadTableFile(LineSource& file, double limit, std::vector<double>& samples, std::string* error = nullptr,
                   LoadWarnings* warnings = nullptr, JobProgress* progress = nullptr);
// Either of the two by the file name's kind.
bool ReadWaveformFile(const std::string& path, double limit, std::vector<double>& samples, std::string* error = nullptr,
                      LoadWarnings* warnings = nullptr, JobProgress* progress = nullptr);

// What every import does with the `held` samples of a source, of which
// `samples` were taken (volts, up to the waveform memory): at least 16, the
// count rounded down to a multiple of 16 (the rest are not played, so they
// go), each clamped to +-limit ("beyond the point limit"); a warning for each
// of these. False, `error` saying why, for fewer than 16.
bool FinishWaveformSamples(std::size_t held, std::vector<double>& samples, double limit, std::string* error = nullptr,
                           LoadWarnings* warnings = nullptr);

// Reads `path` by its kind and replaces `channel`'s waveform with it; the
// gain code follows the new samples, divider and frequency stay.
bool ImportWaveformFile(DeviceSettings& settings, const std::string& path, std::uint16_t channel,
                        std::string* error = nullptr, LoadWarnings* warnings = nullptr);

// ImportWaveformFile as a long job: the file is read on the worker, the
// interface thread replaces the channel's waveform (one undo step, `sink`
// told, the gain code following) and `done` hears the outcome. A cancelled
// import changes nothing and calls nothing.
LongJob ImportJob(DeviceSettings& settings, const std::string& path, std::uint16_t channel, RedrawSink* sink,
                  std::function<void(const ImportOutcome&)> done);

}  // namespace zorbel
