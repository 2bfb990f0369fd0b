// The printed report of one channel: a framed page with the title, the
// product and date lines, the channel's waveform in its grid, the wave
// type's parameters and a note line. One function draws it onto any painter
// (a printer, the print preview, a PDF file), so the program and zorbel-cli
// produce the same page.
#pragma once

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "zorbel/model/device_settings.h"
#include "zorbel/model/long_job.h"

class QPainter;
class QRect;

namespace zorbel {

// The text of a language item number; empty when the language has none.
using TextLookup = std::function<QString(int itemNumber)>;

// What the grid shows, taken from the channel without copying its waveform:
// the visible points, or when they are more than 2 x kColumns, their
// min/max per column (MinMaxColumns, the view's reduction).
struct ReportTrace {
    static constexpr std::size_t kColumns = 16384;  // beyond any printer's dots across the grid
    std::vector<double> samples;
    bool reduced = false;  // two values per column rather than every point
    double lower = 0.0;    // voltage window, volts
    double upper = 0.0;
    std::uint32_t colour = 0;  // 0x00BBGGRR
};

// Everything the page shows, taken at one moment.
struct ReportPage {
    std::uint16_t channel = 0;
    // The settings the page names.
    std::uint16_t waveType = kWaveSine;
    std::array<double, kParameterCount> values{};
    double arbitraryFrequency = 0.0;
    std::uint32_t arbitraryPointCount = 0;
    std::uint16_t arbitraryDivider = 0;
    std::optional<ReportTrace> trace;  // nothing to draw: no points or an empty window
    GridColours grid;
    int displayStyle = 1;  // 1 vectors, 0 dots, as on screen
    QDateTime printedAt;
    TextLookup text;
};

// A snapshot of `channel` of the model, printed now. One pass over the
// visible points, millions of them in parts of a short visit each under the
// records lock; the waveform is never copied.
// With `progress`, the pass tells how far it is and a stop request ends it
// between two parts (the page is then of no use).
ReportPage ReportOf(const DeviceSettings& settings, std::uint16_t channel, int displayStyle, TextLookup text,
                    JobProgress* progress = nullptr);

// ReportOf as a long job, for Print and Print Preview: the pass over a
// window of millions of points runs on the worker (a smaller one at once),
// with the texts as they are when the job starts. `draw` gets the page on
// the worker, where it may paint it on a printer, a PDF writer or an image
// (Qt paints on those off the interface thread), and returns what the
// interface thread does next. A cancelled job calls nothing.
LongJob ReportJob(const DeviceSettings& settings, std::uint16_t channel, int displayStyle, const TextLookup& text,
                  std::function<JobFinish(const ReportPage&)> draw);

// Draws the page into `page` (device pixels of the painter's device; its
// size scales every position, line and font).
void DrawReportPage(QPainter& painter, const QRect& page, const ReportPage& report);

// The page as a PDF file (A4 landscape, the shape of the view), written as
// a whole or not at all. False with
// the reason in *error.
bool WriteReportPdf(const ReportPage& report, const QString& path, QString* error);

}  // namespace zorbel
