// The report page. Positions are given in thousandths of the page's width
// (w) and height (h), so that the page looks the same on every printer
// resolution and paper size.
#include "zorbel/report/report_page.h"

#include "zorbel/report/bmp_file.h"

#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPolygonF>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "zorbel/numbers.h"
#include "zorbel/report/colour_ref.h"

namespace zorbel {
namespace {

constexpr int kTitleItem = 10081;      // "CH"
constexpr int kTitleWaveItem = 10082;  // "Wave"
constexpr int kDateItem = 10085;
constexpr int kTypeItem = 10086;
constexpr int kNoteItem = 10087;
constexpr int kFirstWaveNameItem = 1006;  // sine; the other types follow every second number
constexpr char kProductLine[] = "QDN Zorbel";

constexpr int kGridDivisions = 10;
constexpr int kSubLinesPerDivision = 5;
constexpr int kCellsPerRow = 4;

// Page coordinates: thousandths of the page's width and height.
class PageScale {
public:
    explicit PageScale(const QRect& page) : w_(page.width() / 1000.0), h_(page.height() / 1000.0) {}
    double XUnit() const { return w_; }
    double YUnit() const { return h_; }
    QPointF At(double x, double y) const { return {x * w_, y * h_}; }
    QRectF Box(double left, double top, double right, double bottom) const {
        return QRectF(At(left, top), At(right, bottom));
    }
    // A font whose height is `height` thousandths of the page's height.
    QFont Font(double height, bool boldItalic = false) const {
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(std::max(1, static_cast<int>(height * h_ + 0.5)));
        font.setBold(boldItalic);
        font.setItalic(boldItalic);
        return font;
    }

private:
    double w_;
    double h_;
};

// "CH(1)Wave".
QString Title(const ReportPage& report) {
    const auto text = [&](int item) { return report.text ? report.text(item) : QString(); };
    return QStringLiteral("%1(%2)%3").arg(text(kTitleItem)).arg(report.channel + 1).arg(text(kTitleWaveItem));
}

QString Number(double value) { return QString::fromStdString(FormatWindowsG(value)); }
QString Fixed(double value, int decimals) { return QString::fromStdString(FormatFixed(value, decimals)); }

// The parameter block: "Type: Sine", then the values the wave type uses.
std::vector<QString> ParameterTexts(const ReportPage& report) {
    const ChannelRecord& r = report.record;
    const auto text = [&](int item) { return report.text ? report.text(item) : QString(); };
    const auto labelled = [&](int item, const QString& value) { return text(item) + u' ' + value; };
    const bool named = r.waveType >= kWaveSine && r.waveType <= kWaveArbitrary;
    const QString typeName =
        named ? text(kFirstWaveNameItem + 2 * (r.waveType - kWaveSine)) : QStringLiteral("Harmonic");
    std::vector<QString> cells = {labelled(kTypeItem, typeName)};

    const auto frequency = [&] { cells.push_back(labelled(1021, Number(r.Value(Parameter::Frequency)) + "(Hz)")); };
    const auto amplitude = [&] { cells.push_back(labelled(1023, Number(r.Value(Parameter::Amplitude)) + "(V)")); };
    const auto offset = [&] { cells.push_back(labelled(1025, Number(r.Value(Parameter::Offset)) + "(V)")); };
    const auto phase = [&] { cells.push_back(labelled(1027, Fixed(r.Value(Parameter::Phase), 2))); };
    const auto percent = [&](int item, Parameter p) {
        cells.push_back(labelled(item, Fixed(r.Value(p) * 100.0, 2) + '%'));
    };
    const auto seconds = [&](int item, Parameter p) { cells.push_back(labelled(item, Number(r.Value(p)) + "(s)")); };

    switch (r.waveType) {
    case kWaveNoise:
        amplitude();
        offset();
        break;
    case kWaveArbitrary:
        cells.push_back(labelled(1054, Number(r.arbitraryFrequency) + "(Hz)"));
        cells.push_back(labelled(1050, QString::number(r.arbitraryPointCount)));
        cells.push_back(labelled(1052, QString::number(r.arbitraryDivider)));
        break;
    default:
        frequency();
        amplitude();
        offset();
        phase();
        if (r.waveType == kWaveSquare) percent(1029, Parameter::SquareDuty);
        if (r.waveType == kWaveRamp) percent(1031, Parameter::RampSymmetry);
        if (r.waveType == kWavePulse) {
            seconds(1035, Parameter::PulseWidth);
            seconds(1037, Parameter::PulseLeading);
            seconds(1039, Parameter::PulseTrailing);
        }
        break;
    }
    return cells;
}

// The grid on a dark ground, as on screen, so that the colours chosen for
// the screen stay readable on paper.
void DrawGrid(QPainter& painter, const QRectF& grid, const GridColours& colours, double line) {
    painter.fillRect(grid, Qt::black);
    const auto lines = [&](int count, const QPen& pen, bool skipMain) {
        painter.setPen(pen);
        for (int k = 1; k < count; ++k) {
            if (skipMain && k % kSubLinesPerDivision == 0) continue;
            const double x = grid.left() + grid.width() * k / count;
            const double y = grid.top() + grid.height() * k / count;
            painter.drawLine(QPointF(x, grid.top()), QPointF(x, grid.bottom()));
            painter.drawLine(QPointF(grid.left(), y), QPointF(grid.right(), y));
        }
    };
    lines(kGridDivisions * kSubLinesPerDivision, QPen(ColourOf(colours.subLine), line / 2, Qt::DotLine), true);
    lines(kGridDivisions, QPen(ColourOf(colours.mainLine), line / 2), false);
    painter.setPen(QPen(ColourOf(colours.scale), line));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(grid);
}

// The samples the screen shows: the visible window of an arbitrary
// waveform, the preview of every other wave type.
struct Trace {
    const std::vector<double>* samples = nullptr;
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    double lower = 0.0;
    double upper = 0.0;
};

std::optional<Trace> TraceOf(const ChannelRecord& r) {
    Trace t;
    std::uint32_t count = 0;
    if (r.waveType == kWaveArbitrary) {
        t = {&r.arbitrarySamples, r.arbitraryViewFirst, r.arbitraryViewLast, r.arbitraryViewLower,
             r.arbitraryViewUpper};
        count = static_cast<std::uint32_t>(std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size()));
    } else {
        count = static_cast<std::uint32_t>(std::min<std::size_t>(r.previewPointCount, r.previewSamples.size()));
        t = {&r.previewSamples, 0, count == 0 ? 0 : count - 1, r.previewLower, r.previewUpper};
    }
    if (count == 0 || !(t.upper > t.lower)) return std::nullopt;
    t.last = std::min(t.last, count - 1);
    if (t.first > t.last) return std::nullopt;
    return t;
}

void DrawTrace(QPainter& painter, const QRectF& grid, const ReportPage& report, double line) {
    const auto trace = TraceOf(report.record);
    if (!trace) return;
    const std::vector<double>& s = *trace->samples;
    const double span = trace->last - trace->first;
    const auto y = [&](double v) {
        return grid.bottom() - (v - trace->lower) * grid.height() / (trace->upper - trace->lower);
    };
    QPolygonF points;
    const std::uint64_t n = static_cast<std::uint64_t>(trace->last) - trace->first + 1;
    const int columns = std::max(1, static_cast<int>(grid.width()));
    if (n <= 2u * static_cast<std::uint64_t>(columns)) {
        for (std::uint32_t i = trace->first;; ++i) {
            const double x = span > 0 ? grid.left() + (i - trace->first) * grid.width() / span : grid.center().x();
            points << QPointF(x, y(s[i]));
            if (i == trace->last) break;
        }
    } else {
        // More samples than the page has dots across: each column shows the
        // lowest and the highest of its samples, so that no peak is lost.
        for (int c = 0; c < columns; ++c) {
            const auto begin = s.begin() + static_cast<std::ptrdiff_t>(trace->first + n * c / columns);
            const auto end = s.begin() + static_cast<std::ptrdiff_t>(trace->first + n * (c + 1) / columns);
            if (begin == end) continue;
            const auto [lo, hi] = std::minmax_element(begin, end);
            const double x = grid.left() + (c + 0.5) * grid.width() / columns;
            points << QPointF(x, y(*lo)) << QPointF(x, y(*hi));
        }
    }
    painter.save();
    painter.setClipRect(grid);
    painter.setPen(QPen(ColourOf(report.record.traceColour), line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (report.displayStyle == 0)
        painter.drawPoints(points);
    else
        painter.drawPolyline(points);
    painter.restore();
}

}  // namespace

ReportPage ReportOf(const DeviceSettings& settings, std::uint16_t channel, int displayStyle, TextLookup text) {
    ReportPage report;
    report.channel = channel;
    report.record = settings.Record(channel);
    report.grid = settings.Grid();
    report.displayStyle = displayStyle;
    report.printedAt = QDateTime::currentDateTime();
    report.text = std::move(text);
    return report;
}

void DrawReportPage(QPainter& painter, const QRect& page, const ReportPage& report) {
    const PageScale p(page);
    const auto text = [&](int item) { return report.text ? report.text(item) : QString(); };
    const double line = std::max(1.0, p.XUnit());

    painter.save();
    painter.translate(page.topLeft());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, line / 2));
    painter.setBrush(Qt::NoBrush);
    for (const double inset : {0.0, 5.0, 6.0, 7.0})
        painter.drawRect(p.Box(10 + inset, 30 + inset, 990 - inset, 990 - inset));

    painter.setFont(p.Font(50, true));
    painter.drawText(p.Box(20, 40, 980, 980), Qt::AlignHCenter | Qt::AlignTop, Title(report));
    painter.setFont(p.Font(25, true));
    painter.drawText(p.Box(500, 100, 950, 130), Qt::AlignRight | Qt::AlignTop, QString::fromLatin1(kProductLine));

    const QDate date = report.printedAt.date();
    const QTime time = report.printedAt.time();
    const QChar zero(u'0');
    painter.setFont(p.Font(20));
    painter.drawText(p.Box(50, 105, 950, 130), Qt::AlignLeft | Qt::AlignTop,
                     text(kDateItem) +
                         QStringLiteral(" = %1-%2-%3")
                             .arg(date.day(), 2, 10, zero)
                             .arg(date.month(), 2, 10, zero)
                             .arg(date.year(), 4) +
                         QStringLiteral("      Time") +
                         QStringLiteral(" = %1:%2:%3")
                             .arg(time.hour(), 2, 10, zero)
                             .arg(time.minute(), 2, 10, zero)
                             .arg(time.second(), 2, 10, zero));

    const QRectF grid = p.Box(50, 130, 950, 800);
    DrawGrid(painter, grid, report.grid, line);
    DrawTrace(painter, grid, report, line);

    painter.setPen(QPen(Qt::black, line / 2));
    const std::vector<QString> cells = ParameterTexts(report);
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const double left = 250.0 * static_cast<double>(k % kCellsPerRow);
        const double top = 810.0 + 40.0 * static_cast<double>(k / kCellsPerRow);
        const QRectF cell = p.Box(left, top, left + 250, top + 40);
        // On narrow (portrait) paper a long value would run into its
        // neighbour: such a text gets a smaller font instead.
        QFont font = p.Font(25);
        const double width = QFontMetricsF(font, painter.device()).horizontalAdvance(cells[k]);
        if (width > cell.width() * 0.96)
            font.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * cell.width() * 0.96 / width)));
        painter.setFont(font);
        painter.drawText(cell, Qt::AlignCenter, cells[k]);
    }

    painter.setFont(p.Font(28));
    painter.drawText(p.Box(40, 900, 125, 940), Qt::AlignLeft | Qt::AlignTop, text(kNoteItem));
    painter.drawLine(p.At(125, 920), p.At(950, 920));
    painter.drawLine(p.At(60, 970), p.At(950, 970));
    painter.restore();
}

bool WriteReportPdf(const ReportPage& report, const QString& path, QString* error) {
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                         QPageLayout::Millimeter));
        writer.setResolution(600);
        writer.setCreator(QString::fromLatin1(kProductLine));
        writer.setTitle(Title(report));
        QPainter painter;
        if (!painter.begin(&writer)) {
            if (error) *error = QStringLiteral("the PDF page could not be started");
            return false;
        }
        DrawReportPage(painter, QRect(0, 0, writer.width(), writer.height()), report);
        painter.end();
    }
    const QByteArray bytes = pdf.data();
    return WriteWholeFile(path, bytes, error);
}

}  // namespace zorbel
