// The four drawing functions of libQRVDisplayDll.so on a QPainter.
#include "QRVDisplayDll.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// 0x00BBGGRR, as Windows keeps colours.
QColor FromColourRef(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

bool IsEmpty(const QRVRect& r) { return r.right <= r.left || r.bottom <= r.top; }

QRect ToQRect(const QRVRect& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)); }

// Restores the painter's state however a function returns.
class SavedState {
public:
    explicit SavedState(QPainter* dc) : dc_(dc) { dc_->save(); }
    ~SavedState() { dc_->restore(); }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

private:
    QPainter* dc_;
};

// Division i of n along [from, to): the same integer positions as the
// caller's labels, kept inside the rectangle.
int DivisionAt(int from, int to, int i, int n) { return std::min(from + i * (to - from) / n, to - 1); }

void DrawBackgroundGrid(QPainter* dc, const QRVRect& g, QColor main, int levels, int indexes, std::uint32_t flags,
                        QColor sub, int subDivisions) {
    QPen subSolid(sub, 0);
    QPen subDotted(sub, 0, Qt::DotLine);
    QPen mainDotted(main, 0, Qt::DotLine);
    const int lastX = g.right - 1;
    const int lastY = g.bottom - 1;
    if (subDivisions > 1) {
        dc->setPen(subDotted);
        for (int j = 1; indexes > 0 && j < indexes * subDivisions; ++j) {
            if (j % subDivisions == 0) continue;
            const int x = DivisionAt(g.left, g.right, j, indexes * subDivisions);
            dc->drawLine(x, g.top, x, lastY);
        }
        for (int j = 1; levels > 0 && j < levels * subDivisions; ++j) {
            if (j % subDivisions == 0) continue;
            const int y = DivisionAt(g.top, g.bottom, j, levels * subDivisions);
            dc->drawLine(g.left, y, lastX, y);
        }
    }
    dc->setPen((flags & QRV_GRID_INDEX_LINES) ? mainDotted : subSolid);
    for (int i = 1; i < indexes; ++i) {
        const int x = DivisionAt(g.left, g.right, i, indexes);
        dc->drawLine(x, g.top, x, lastY);
    }
    dc->setPen((flags & QRV_GRID_LEVEL_LINES) ? mainDotted : subSolid);
    for (int i = 1; i < levels; ++i) {
        const int y = g.bottom - i * (g.bottom - g.top) / levels;
        dc->drawLine(g.left, y, lastX, y);
    }
    // The centre cross lies under the trace, so a trace at 0 V stays visible.
    dc->setPen(QPen(main, 0));
    dc->drawLine(g.left, (g.top + lastY) / 2, lastX, (g.top + lastY) / 2);
    dc->drawLine((g.left + lastX) / 2, g.top, (g.left + lastX) / 2, lastY);
}

// Ticks of `length` pixels at n divisions along a horizontal (y fixed) or
// vertical (x fixed) line, pointing by `direction` (+1 or -1) or both ways (0).
void DrawTicks(QPainter* dc, bool horizontal, int from, int to, int at, int n, int length, int direction) {
    if (n <= 0 || length <= 0) return;
    for (int i = 1; i < n; ++i) {
        const int p = DivisionAt(from, to, i, n);
        const int a = direction >= 0 ? at : at - length;
        const int b = direction <= 0 ? at : at + length;
        if (horizontal)
            dc->drawLine(p, a, p, b);
        else
            dc->drawLine(a, p, b, p);
    }
}

void DrawMarks(QPainter* dc, const QRVRect& g, QColor main, int levels, int indexes, std::uint32_t flags,
               int subDivisions, int tickLength, int subTickLength) {
    dc->setPen(QPen(main, 0));
    const int lastX = g.right - 1;
    const int lastY = g.bottom - 1;
    const int subs = std::max(subDivisions, 1);
    if (flags & QRV_GRID_FRAME) dc->drawRect(QRect(QPoint(g.left, g.top), QPoint(lastX, lastY)));
    if (flags & QRV_GRID_TICKS) {
        DrawTicks(dc, true, g.left, g.right, g.top, indexes * subs, subTickLength, +1);
        DrawTicks(dc, true, g.left, g.right, lastY, indexes * subs, subTickLength, -1);
        DrawTicks(dc, false, g.top, g.bottom, g.left, levels * subs, subTickLength, +1);
        DrawTicks(dc, false, g.top, g.bottom, lastX, levels * subs, subTickLength, -1);
        DrawTicks(dc, true, g.left, g.right, g.top, indexes, tickLength, +1);
        DrawTicks(dc, true, g.left, g.right, lastY, indexes, tickLength, -1);
        DrawTicks(dc, false, g.top, g.bottom, g.left, levels, tickLength, +1);
        DrawTicks(dc, false, g.top, g.bottom, lastX, levels, tickLength, -1);
    }
    if (flags & QRV_GRID_AXES) {
        const int midX = (g.left + lastX) / 2;
        const int midY = (g.top + lastY) / 2;
        DrawTicks(dc, true, g.left, g.right, midY, indexes * subs, subTickLength, 0);
        DrawTicks(dc, false, g.top, g.bottom, midX, levels * subs, subTickLength, 0);
    }
}

// Where the samples land: sample `first` at the left edge, `last` at the
// right edge, lower at the bottom and upper at the top.
struct TraceMapping {
    double x0, xStep, yBottom, yScale, lower;
    double yMin, yMax;  // far outside, but within what the raster engine takes

    double X(double k) const { return x0 + k * xStep; }
    double Y(double volts) const { return std::clamp(yBottom - (volts - lower) * yScale, yMin, yMax); }
};

TraceMapping MapTrace(const QRVRect& g, double lower, double upper, std::uint32_t intervals) {
    const double width = g.right - 1 - g.left;
    const double height = g.bottom - 1 - g.top;
    TraceMapping m{};
    m.x0 = g.left;
    m.xStep = intervals > 0 ? width / intervals : 0.0;
    m.yBottom = g.bottom - 1;
    m.lower = lower;
    // An empty voltage window puts every sample on the middle line.
    const double span = upper - lower;
    if (std::isfinite(span) && span > 0.0) {
        m.yScale = height / span;
    } else {
        m.yScale = 0.0;
        m.yBottom = g.top + height / 2.0;
    }
    m.yMin = g.top - 4.0 * (height + 1.0);
    m.yMax = g.bottom + 4.0 * (height + 1.0);
    return m;
}

void FlushRun(QPainter* dc, std::vector<QPointF>& run, bool lines) {
    if (run.empty()) return;
    if (!lines)
        dc->drawPoints(run.data(), static_cast<int>(run.size()));
    else if (run.size() == 1)
        dc->drawPoint(run.front());
    else
        dc->drawPolyline(run.data(), static_cast<int>(run.size()));
    run.clear();
}

// More samples than the trace can show: each pixel column gets the least and
// the greatest of its samples, so no extreme is lost; of the two, the one
// nearer the previous column's comes first, keeping the line continuous.
void DrawReduced(QPainter* dc, const TraceMapping& m, const double* samples, std::uint32_t first, std::uint32_t last,
                 int columns, bool lines) {
    const std::uint64_t n = std::uint64_t(last) - first + 1;
    const double columnStep = (m.xStep * double(n - 1)) / columns;
    std::vector<QPointF> run;
    run.reserve(2 * static_cast<std::size_t>(columns));
    double previous = std::numeric_limits<double>::quiet_NaN();
    std::uint64_t k = 0;
    for (int c = 0; c < columns; ++c) {
        const std::uint64_t end = n * std::uint64_t(c + 1) / std::uint64_t(columns);
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        for (; k < end; ++k) {
            const double v = samples[first + k];
            if (v < lo) lo = v;
            if (v > hi) hi = v;
        }
        if (lo > hi) {  // only NaN in this column
            FlushRun(dc, run, lines);
            previous = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        const double x = m.x0 + (c + 0.5) * columnStep;
        const bool highFirst = !std::isnan(previous) && std::abs(hi - previous) < std::abs(lo - previous);
        run.emplace_back(x, m.Y(highFirst ? hi : lo));
        if (hi != lo) run.emplace_back(x, m.Y(highFirst ? lo : hi));
        previous = highFirst ? lo : hi;
    }
    FlushRun(dc, run, lines);
}

// A dense trace, at least one sample per device pixel column, written
// straight into the pixels of a 32-bit image: per column one vertical run
// from its lowest to its highest level, reaching halfway to each neighbour's
// joining level, which is what the joined lines cover there. The raster
// engine would spend several times as long on the same pixels, and a trace
// of noise across a wide view has hundreds of thousands of them. False (and
// nothing drawn) when the painter or the data do not allow it.
bool DrawDenseIntoImage(QPainter* dc, const QRVRect& g, const TraceMapping& m, QColor colour, const double* samples,
                        std::uint32_t first, std::uint32_t last) {
    if (dc->device() == nullptr || dc->device()->devType() != QInternal::Image || dc->hasClipping()) return false;
    auto* image = static_cast<QImage*>(dc->device());
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return false;
    const QTransform t = dc->deviceTransform();
    if (t.type() > QTransform::TxScale || t.m11() <= 0.0 || t.m22() <= 0.0 || dc->opacity() != 1.0 ||
        dc->compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    const int left = std::max(0, static_cast<int>(std::lround(g.left * t.m11() + t.dx())));
    const int right = std::min(image->width(), static_cast<int>(std::lround(g.right * t.m11() + t.dx())));
    const int top = std::max(0, static_cast<int>(std::lround(g.top * t.m22() + t.dy())));
    const int bottom = std::min(image->height(), static_cast<int>(std::lround(g.bottom * t.m22() + t.dy())));
    const int columns = right - left;
    const std::uint64_t n = std::uint64_t(last) - first + 1;
    if (columns <= 0 || bottom <= top) return true;
    if (n < std::uint64_t(columns)) return false;

    struct Column {
        double low = std::numeric_limits<double>::infinity();
        double high = -std::numeric_limits<double>::infinity();
        double entry = 0.0, exit = 0.0;  // levels of its first and last sample
    };
    std::vector<Column> column(static_cast<std::size_t>(columns));
    for (std::uint64_t k = 0; k < n; ++k) {
        const double v = samples[first + k];
        if (std::isnan(v)) continue;
        const long x = std::lround(m.X(double(k)) * t.m11() + t.dx()) - left;
        Column& c = column[static_cast<std::size_t>(std::clamp<long>(x, 0, columns - 1))];
        const double y = m.Y(v) * t.m22() + t.dy();
        if (c.low > c.high) c.entry = y;
        c.exit = y;
        c.low = std::min(c.low, y);
        c.high = std::max(c.high, y);
    }
    for (int x = 1; x < columns; ++x) {
        Column& a = column[x - 1];
        Column& b = column[x];
        if (a.low > a.high || b.low > b.high) continue;
        const double middle = (a.exit + b.entry) / 2.0;
        a.low = std::min(a.low, middle);
        a.high = std::max(a.high, middle);
        b.low = std::min(b.low, middle);
        b.high = std::max(b.high, middle);
    }
    const QRgb pixel = colour.rgb();
    uchar* bits = image->bits();
    const qsizetype bytesPerLine = image->bytesPerLine();
    for (int x = 0; x < columns; ++x) {
        const Column& c = column[x];
        if (c.low > c.high) continue;
        const int y0 = std::max(top, static_cast<int>(std::floor(c.low + 0.5)));
        const int y1 = std::min(bottom - 1, static_cast<int>(std::floor(c.high + 0.5)));
        for (int y = y0; y <= y1; ++y) reinterpret_cast<QRgb*>(bits + y * bytesPerLine)[left + x] = pixel;
    }
    return true;
}

}  // namespace

extern "C" {

QRV_DISPLAY_API void QRVDrawGridLine(QPainter* dc, QRVRect grid, uint32_t mainColour, uint16_t levelDivisions,
                                     uint16_t indexDivisions, uint16_t /*labelGap*/, uint32_t flags, uint32_t subColour,
                                     uint16_t subDivisions, uint16_t tickLength, uint16_t subTickLength) {
    if (dc == nullptr || IsEmpty(grid)) return;
    SavedState saved(dc);
    dc->setRenderHint(QPainter::Antialiasing, false);
    dc->setClipRect(ToQRect(grid), Qt::IntersectClip);
    const QColor main = FromColourRef(mainColour);
    if ((flags & (QRV_GRID_FRAME | QRV_GRID_TICKS | QRV_GRID_AXES)) == 0)
        DrawBackgroundGrid(dc, grid, main, levelDivisions, indexDivisions, flags, FromColourRef(subColour),
                           subDivisions);
    else
        DrawMarks(dc, grid, main, levelDivisions, indexDivisions, flags, subDivisions, tickLength, subTickLength);
}

QRV_DISPLAY_API void QRVDrawSourceWaveInGrid(QPainter* dc, const QRVRect* grid, uint32_t colour, uint16_t style,
                                             const double* samples, uint32_t count, uint32_t /*capacity*/, double lower,
                                             double upper, uint32_t first, uint32_t last) {
    if (dc == nullptr || grid == nullptr || samples == nullptr || count == 0 || IsEmpty(*grid)) return;
    last = std::min(last, count - 1);
    if (first > last) return;
    const bool lines = style != 0;
    const TraceMapping m = MapTrace(*grid, lower, upper, last - first);
    if (lines && DrawDenseIntoImage(dc, *grid, m, FromColourRef(colour), samples, first, last)) return;
    SavedState saved(dc);
    dc->setRenderHint(QPainter::Antialiasing, false);
    dc->setClipRect(ToQRect(*grid), Qt::IntersectClip);
    dc->setPen(QPen(FromColourRef(colour), 0));

    // Device pixels across the rectangle (more than its logical width on a
    // high-density image).
    const double scale = std::max(1.0, std::abs(dc->deviceTransform().m11()));
    const int columns = std::max(1, static_cast<int>(std::lround((grid->right - grid->left) * scale)));
    if (std::uint64_t(last) - first + 1 > 4 * std::uint64_t(columns)) {
        DrawReduced(dc, m, samples, first, last, columns, lines);
        return;
    }
    std::vector<QPointF> run;
    run.reserve(last - first + 1);
    for (std::uint32_t k = first;; ++k) {
        const double v = samples[k];
        if (std::isnan(v))
            FlushRun(dc, run, lines);
        else
            run.emplace_back(m.X(k - first), m.Y(v));
        if (k == last) break;
    }
    FlushRun(dc, run, lines);
}

QRV_DISPLAY_API void QRVDrawCursorLine(QPainter* dc, QRVRect grid, uint16_t cursorWord, int32_t pressX, int32_t pressY,
                                       int32_t x, int32_t y) {
    constexpr uint16_t kHorizontal = 2;
    constexpr uint16_t kVertical = 1;
    if (dc == nullptr || IsEmpty(grid) || (cursorWord & (kHorizontal | kVertical)) == 0) return;
    SavedState saved(dc);
    dc->setRenderHint(QPainter::Antialiasing, false);
    const QRect g = ToQRect(grid);
    dc->setClipRect(g, Qt::IntersectClip);
    // Only the directions being zoomed are bounded by the band; the others span the grid.
    const bool horizontal = cursorWord & kHorizontal;
    const bool vertical = cursorWord & kVertical;
    const int left = horizontal ? std::min(pressX, x) : g.left();
    const int right = horizontal ? std::max(pressX, x) : g.right();
    const int top = vertical ? std::min(pressY, y) : g.top();
    const int bottom = vertical ? std::max(pressY, y) : g.bottom();
    const QRect band(QPoint(left, top), QPoint(right, bottom));
    dc->fillRect(band, QColor(255, 255, 255, 40));
    dc->setPen(QPen(QColor(255, 255, 0), 0, Qt::DashLine));
    if (horizontal) {
        dc->drawLine(left, g.top(), left, g.bottom());
        dc->drawLine(right, g.top(), right, g.bottom());
    }
    if (vertical) {
        dc->drawLine(g.left(), top, g.right(), top);
        dc->drawLine(g.left(), bottom, g.right(), bottom);
    }
}

QRV_DISPLAY_API void QRVDrawDefineText(QPainter* dc, uint32_t colour, uint32_t backgroundColour, int32_t height,
                                       const char16_t* fontName, int32_t transparent, const char16_t* text,
                                       int32_t length, int32_t x, int32_t y) {
    if (dc == nullptr || text == nullptr || length <= 0 || height <= 0) return;
    SavedState saved(dc);
    QFont font(fontName != nullptr && *fontName != 0 ? QString::fromUtf16(fontName) : QStringLiteral("Arial"));
    font.setPixelSize(height);
    dc->setFont(font);
    const QString s = QString::fromUtf16(text, length);
    const QFontMetricsF metrics(font, dc->device());
    const QSizeF size(metrics.horizontalAdvance(s), metrics.height());
    QRectF box(QPointF(x - size.width() / 2.0, y - size.height() / 2.0), size);
    // A label at the picture's edge (the last index of a long waveform) is
    // moved in rather than cut.
    const QRectF picture = dc->window();
    if (box.right() > picture.right()) box.moveRight(picture.right());
    if (box.left() < picture.left()) box.moveLeft(picture.left());
    if (box.bottom() > picture.bottom()) box.moveBottom(picture.bottom());
    if (box.top() < picture.top()) box.moveTop(picture.top());
    if (transparent == 0) dc->fillRect(box, FromColourRef(backgroundColour));
    dc->setPen(FromColourRef(colour));
    dc->drawText(box, Qt::AlignCenter, s);
}

}  // extern "C"
