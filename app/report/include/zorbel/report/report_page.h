// The printed report of one channel: a framed page with the title, the
// product and date lines, the channel's waveform in its grid, the wave
// type's parameters and a note line. One function draws it onto any painter
// (a printer, the print preview, a PDF file), so the program and zorbel-cli
// produce the same page.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>

#include "zorbel/model/device_settings.h"

class QPainter;
class QRect;

namespace zorbel {

// The text of a language item number; empty when the language has none.
using TextLookup = std::function<QString(int itemNumber)>;

// Everything the page shows, taken at one moment.
struct ReportPage {
    std::uint16_t channel = 0;
    ChannelRecord record;  // the channel's settings and waveform
    GridColours grid;
    int displayStyle = 1;  // 1 vectors, 0 dots, as on screen
    QDateTime printedAt;
    TextLookup text;
};

// A snapshot of `channel` of the model, printed now.
ReportPage ReportOf(const DeviceSettings& settings, std::uint16_t channel, int displayStyle, TextLookup text);

// Draws the page into `page` (device pixels of the painter's device; its
// size scales every position, line and font).
void DrawReportPage(QPainter& painter, const QRect& page, const ReportPage& report);

// The page as a PDF file (A4 landscape, the shape of the view), written as
// a whole or not at all. False with
// the reason in *error.
bool WriteReportPdf(const ReportPage& report, const QString& path, QString* error);

}  // namespace zorbel
