// The report page. Positions are given in thousandths of the page's width
// (w) and height (h), so that the page looks the same on every printer
// resolution and paper size.
#include "zorbel/report/report_page.h"

#include "zorbel/report/bmp_file.h"

#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QLineF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPolygonF>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "zorbel/model/wave_fields.h"
#include "zorbel/numbers.h"
#include "zorbel/report/colour_ref.h"
#include "zorbel/view/envelope.h"
#include "zorbel/view/view_geometry.h"

namespace zorbel {
namespace {

constexpr int kTitleItem = 10081;      // "CH"
constexpr int kTitleWaveItem = 10082;  // "Wave"
constexpr int kDateItem = 10085;
constexpr int kTypeItem = 10086;
constexpr int kNoteItem = 10087;
constexpr int kFirstWaveNameItem = 1006;  // sine; the other types follow every second number
constexpr int kPointCountItem = 1050;
constexpr int kDividerItem = 1052;
constexpr int kArbitraryFrequencyItem = 1054;
constexpr char kProductLine[] = "QDN Zorbel";
// Items of this program's own (20510 on): the name of a wave type that has
// none (a Read Operation met it), and the printing time's label.
constexpr int kHarmonicItem = 20510;
constexpr int kTimeItem = 20511;

template <class Lookup>
QString TextOr(const Lookup& text, int item, const char* english) {
    const QString found = text(item);
    return found.isEmpty() ? QString::fromLatin1(english) : found;
}

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

// A parameter's value as the page prints it: "2500(Hz)", "45.00", "25.00%".
QString ValueText(Parameter p, double value) {
    const std::string_view unit = kParameters[Index(p)].unit;
    if (p == Parameter::Phase) return Fixed(value, 2);
    if (unit.empty()) return Fixed(value * 100.0, 2) + u'%';  // a fraction
    return Number(value) + u'(' + QString::fromLatin1(unit.data(), static_cast<qsizetype>(unit.size())) + u')';
}

// The parameter block: "Type: Sine", then the values the wave type's page
// shows (the pulse's duty left out: its width says it).
std::vector<QString> ParameterTexts(const ReportPage& report) {
    const auto text = [&](int item) { return report.text ? report.text(item) : QString(); };
    const auto labelled = [&](int item, const QString& value) { return text(item) + u' ' + value; };
    const bool named = report.waveType >= kWaveSine && report.waveType <= kWaveArbitrary;
    const QString typeName =
        named ? text(kFirstWaveNameItem + 2 * (report.waveType - kWaveSine)) : TextOr(text, kHarmonicItem, "Harmonic");
    std::vector<QString> cells = {labelled(kTypeItem, typeName)};
    if (report.waveType == kWaveArbitrary) {
        cells.push_back(labelled(kArbitraryFrequencyItem, Number(report.arbitraryFrequency) + "(Hz)"));
        cells.push_back(labelled(kPointCountItem, QString::number(report.arbitraryPointCount)));
        cells.push_back(labelled(kDividerItem, QString::number(report.arbitraryDivider)));
        return cells;
    }
    std::span<const Parameter> fields = WaveTypeFields(report.waveType);
    if (fields.empty()) fields = WaveTypeFields(kWaveSine);  // the harmonic wave
    for (const Parameter p : fields)
        if (p != Parameter::PulseDuty) cells.push_back(labelled(LabelItemOf(p), ValueText(p, report.values[Index(p)])));
    return cells;
}

// The grid on a dark ground, as on screen, so that the colours chosen for
// the screen stay readable on paper: the view's divisions and colours.
void DrawGrid(QPainter& painter, const QRectF& grid, const GridStyle& style, double line) {
    painter.fillRect(grid, Qt::black);
    const int subDivisions = std::max<int>(1, style.subDivisions);
    const auto lines = [&](int across, int down, const QPen& pen, bool skipMain) {
        painter.setPen(pen);
        for (int k = 1; k < across; ++k) {
            if (skipMain && k % subDivisions == 0) continue;
            const double x = grid.left() + grid.width() * k / across;
            painter.drawLine(QPointF(x, grid.top()), QPointF(x, grid.bottom()));
        }
        for (int k = 1; k < down; ++k) {
            if (skipMain && k % subDivisions == 0) continue;
            const double y = grid.top() + grid.height() * k / down;
            painter.drawLine(QPointF(grid.left(), y), QPointF(grid.right(), y));
        }
    };
    const int across = std::max<int>(1, style.indexDivisions);
    const int down = std::max<int>(1, style.levelDivisions);
    lines(across * subDivisions, down * subDivisions, QPen(ColourOf(style.subColour), line / 2, Qt::DotLine), true);
    lines(across, down, QPen(ColourOf(style.mainColour), line / 2), false);
    painter.setPen(QPen(ColourOf(style.scaleColour), line));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(grid);
}

// The samples the screen shows, taken under the records lock: the visible
// window of an arbitrary waveform, the preview of every other wave type;
// more than the snapshot keeps are reduced to two values a column.
std::optional<ReportTrace> TraceOf(const ChannelRecord& r) {
    ReportTrace t;
    t.colour = r.traceColour;
    const std::vector<double>* samples = nullptr;
    std::uint32_t first = 0, last = 0, count = 0;
    if (r.waveType == kWaveArbitrary) {
        samples = &r.arbitrarySamples;
        first = r.arbitraryViewFirst;
        last = r.arbitraryViewLast;
        t.lower = r.arbitraryViewLower;
        t.upper = r.arbitraryViewUpper;
        count = static_cast<std::uint32_t>(std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size()));
    } else {
        samples = &r.previewSamples;
        count = static_cast<std::uint32_t>(std::min<std::size_t>(r.previewPointCount, r.previewSamples.size()));
        last = count == 0 ? 0 : count - 1;
        t.lower = r.previewLower;
        t.upper = r.previewUpper;
    }
    if (count == 0 || !(t.upper > t.lower)) return std::nullopt;
    last = std::min(last, count - 1);
    if (first > last) return std::nullopt;
    const double* data = samples->data();
    if (std::size_t{last} - first + 1 <= 2 * ReportTrace::kColumns) {
        t.samples.assign(data + first, data + last + 1);
    } else {
        MinMaxColumns(data, first, last, ReportTrace::kColumns, t.samples);
        t.reduced = true;
    }
    return t;
}

void DrawTrace(QPainter& painter, const QRectF& grid, const ReportPage& report, double line) {
    if (!report.trace || report.trace->samples.empty()) return;
    const ReportTrace& t = *report.trace;
    const auto y = [&](double v) { return grid.bottom() - (v - t.lower) * grid.height() / (t.upper - t.lower); };
    QPolygonF points;
    const std::size_t n = t.samples.size();
    const std::size_t columns = static_cast<std::size_t>(std::max(1, static_cast<int>(grid.width())));
    if (!t.reduced && n <= 2 * columns) {
        const double span = static_cast<double>(n - 1);
        for (std::size_t i = 0; i < n; ++i) {
            const double x = span > 0 ? grid.left() + static_cast<double>(i) * grid.width() / span : grid.center().x();
            points << QPointF(x, y(t.samples[i]));
        }
    } else {
        // More samples than the page has dots across: each column shows the
        // lowest and the highest of its samples, so that no peak is lost.
        std::vector<double> pairs;
        MinMaxColumns(t.samples.data(), 0, n - 1, columns, pairs);
        for (std::size_t c = 0; c < columns; ++c) {
            const double x = grid.left() + (static_cast<double>(c) + 0.5) * grid.width() / static_cast<double>(columns);
            points << QPointF(x, y(pairs[2 * c])) << QPointF(x, y(pairs[2 * c + 1]));
        }
    }
    painter.save();
    painter.setClipRect(grid);
    painter.setPen(QPen(ColourOf(t.colour), line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (report.displayStyle == 0) {
        painter.drawPoints(points);
    } else {
        // Segment by segment: one path of thousands of full-height strokes
        // takes the rasterizer seconds to fill, its segments apart a few
        // milliseconds, and the picture is the same.
        QVector<QLineF> segments;
        segments.reserve(points.size());
        for (qsizetype i = 1; i < points.size(); ++i) segments.append(QLineF(points[i - 1], points[i]));
        painter.drawLines(segments);
    }
    painter.restore();
}

}  // namespace

ReportPage ReportOf(const DeviceSettings& settings, std::uint16_t channel, int displayStyle, TextLookup text,
                    JobProgress* progress) {
    ReportPage report;
    report.channel = channel;
    // A window of millions of points is reduced in parts, each in a short
    // visit under the records lock, so that the session's worker and the
    // display thread never wait for the whole pass; a waveform changed
    // between two parts starts the reduction again (at the third change it
    // is done in one visit), so the page shows one moment.
    constexpr std::size_t kPointsPerVisit = std::size_t{1} << 20;
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        std::uint64_t generation = 0;
        std::uint32_t first = 0, last = 0;
        const bool inParts = settings.ReadRecord(channel, [&](const ChannelRecord& r) {
            report.waveType = r.waveType;
            report.values = r.values;
            report.arbitraryFrequency = r.arbitraryFrequency;
            report.arbitraryPointCount = r.arbitraryPointCount;
            report.arbitraryDivider = r.arbitraryDivider;
            const std::size_t count = std::min<std::size_t>(r.arbitraryPointCount, r.arbitrarySamples.size());
            if (attempt < kAttempts && r.waveType == kWaveArbitrary && count > 0 &&
                r.arbitraryViewUpper > r.arbitraryViewLower) {
                last = static_cast<std::uint32_t>(std::min<std::size_t>(r.arbitraryViewLast, count - 1));
                first = r.arbitraryViewFirst;
                if (first <= last && std::size_t{last} - first + 1 > kPointsPerVisit) {
                    ReportTrace t;
                    t.colour = r.traceColour;
                    t.lower = r.arbitraryViewLower;
                    t.upper = r.arbitraryViewUpper;
                    t.reduced = true;
                    t.samples.resize(2 * ReportTrace::kColumns);
                    report.trace = std::move(t);
                    generation = r.arbitraryChanges.Generation();
                    return true;
                }
            }
            report.trace = TraceOf(r);
            return false;
        });
        if (!inParts) break;
        const std::size_t points = std::size_t{last} - first + 1;
        const std::size_t columnsPerVisit = std::max<std::size_t>(1, ReportTrace::kColumns * kPointsPerVisit / points);
        bool same = true;
        for (std::size_t column = 0; same && column < ReportTrace::kColumns; column += columnsPerVisit) {
            if (progress) {
                if (progress->StopRequested()) return report;
                progress->Set(static_cast<double>(column) / ReportTrace::kColumns);
            }
            same = settings.ReadRecord(channel, [&](const ChannelRecord& r) {
                if (r.arbitraryChanges.Generation() != generation) return false;
                MinMaxColumnsPart(r.arbitrarySamples.data(), first, last, ReportTrace::kColumns, column,
                                  column + columnsPerVisit, report.trace->samples);
                return true;
            });
            // The lock is not fair: a waiting thread gets in only if this one lets it.
            std::this_thread::yield();
        }
        if (same) break;
    }
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
                         QStringLiteral("      ") + TextOr(text, kTimeItem, "Time") +
                         QStringLiteral(" = %1:%2:%3")
                             .arg(time.hour(), 2, 10, zero)
                             .arg(time.minute(), 2, 10, zero)
                             .arg(time.second(), 2, 10, zero));

    const QRectF grid = p.Box(50, 130, 950, 800);
    DrawGrid(painter, grid, WithColours(GridStyle{}, report.grid), line);
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

namespace {

// The page's texts as they are now: the worker draws the page while the
// interface thread may switch the language.
TextLookup TextsNow(const TextLookup& text) {
    if (!text) return {};
    std::vector<int> items = {kTitleItem,      kTitleWaveItem, kDateItem, kTypeItem,
                              kNoteItem,       kHarmonicItem,  kTimeItem, kArbitraryFrequencyItem,
                              kPointCountItem, kDividerItem};
    for (int type = kWaveSine; type <= kWaveArbitrary; ++type)
        items.push_back(kFirstWaveNameItem + 2 * (type - kWaveSine));
    for (std::size_t k = 0; k < kParameterCount; ++k) items.push_back(LabelItemOf(static_cast<Parameter>(k)));
    auto texts = std::make_shared<std::map<int, QString>>();
    for (const int item : items) (*texts)[item] = text(item);
    return [texts](int item) {
        const auto found = texts->find(item);
        return found == texts->end() ? QString() : found->second;
    };
}

}  // namespace

LongJob ReportJob(const DeviceSettings& settings, std::uint16_t channel, int displayStyle, const TextLookup& text,
                  std::function<JobFinish(const ReportPage&)> draw) {
    LongJob job;
    job.name = "Print";
    // Points in the window a pass takes a few milliseconds over.
    constexpr std::size_t kSmallWindow = std::size_t{1} << 22;
    job.small = settings.ReadRecord(channel, [](const ChannelRecord& r) {
        return r.waveType != kWaveArbitrary || r.arbitraryViewLast < r.arbitraryViewFirst ||
               std::size_t{r.arbitraryViewLast} - r.arbitraryViewFirst < kSmallWindow;
    });
    job.work = [&settings, channel, displayStyle, text = TextsNow(text),
                draw = std::move(draw)](JobProgress& progress) -> JobFinish {
        const ReportPage report = ReportOf(settings, channel, displayStyle, text, &progress);
        if (progress.StopRequested()) return {};
        return draw(report);
    };
    return job;
}

}  // namespace zorbel
