// The layers of the waveform view and its render step.
#include "zorbel/view/view_layers.h"

#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>

#include <cmath>
#include <string>

#include "QRVDisplayDll.h"

namespace zorbel {
namespace {

constexpr char16_t kLabelFont[] = u"Arial";
constexpr std::int32_t kLabelHeight = 15;  // pixels
constexpr std::uint32_t kLabelBackground = 0xFFFFFF;
constexpr std::int32_t kLabelTransparent = 1;

QRVRect ToRect(const GridRect& g) { return QRVRect{g.left, g.top, g.right, g.bottom}; }

// Every layer has the same pixel format as the screen's backing store, so
// copying one onto another or onto the screen is a plain copy of memory.
QImage NewLayer(QSize size, qreal ratio) {
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    return image;
}

}  // namespace

QImage BuiltInBackground() {
    QImage image(1018, 772, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient shade(0, 0, 0, image.height());
    shade.setColorAt(0.0, QColor(24, 30, 40));
    shade.setColorAt(1.0, QColor(6, 8, 12));
    painter.fillRect(image.rect(), shade);
    return image;
}

QImage LoadBackground(const QString& programFolder) {
    QImage image;
    // Silently the built-in one when the file is missing, unreadable or no picture.
    if (!image.load(programFolder + QStringLiteral("/Bitmap/View.bmp")) || image.isNull()) return BuiltInBackground();
    return image.convertToFormat(QImage::Format_RGB32);
}

ViewLayers::ViewLayers(QImage background) : background_(std::move(background)) {
    if (background_.isNull()) background_ = BuiltInBackground();
}

bool ViewLayers::Resize(QSize size, qreal devicePixelRatio) {
    if (size == size_ && devicePixelRatio == ratio_ && !gridLayer_.isNull()) return false;
    size_ = size;
    ratio_ = devicePixelRatio;
    grid_ = GridOf(size.width(), size.height());
    if (size.isEmpty()) {
        stretched_ = gridLayer_ = waveformLayer_ = annotationLayer_ = cursorLayer_ = composite_ = QImage();
        return true;
    }
    stretched_ = background_.scaled(size * ratio_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32);
    stretched_.setDevicePixelRatio(ratio_);
    gridLayer_ = waveformLayer_ = annotationLayer_ = cursorLayer_ = composite_ = NewLayer(size_, ratio_);
    composite_.fill(Qt::black);
    return true;
}

std::size_t ViewLayers::GridColumns() const {
    return static_cast<std::size_t>(std::max(1L, std::lround(grid_.Width() * ratio_)));
}

LayerSet ViewLayers::Render(RefreshMask mask, const ViewScene& scene) {
    if (stretched_.isNull()) return {};
    const LayerSet layers = LayersFor(mask);
    if (layers.grid) DrawGrid(scene);
    if (layers.waveform) DrawWaveform(scene);
    if (layers.annotation) DrawAnnotations(scene);
    if (layers.cursor) DrawCursor(scene);
    return layers;
}

void ViewLayers::DrawGrid(const ViewScene& scene) {
    gridLayer_ = stretched_;  // painting detaches it: the background stays as it is
    QPainter painter(&gridLayer_);
    const GridStyle& s = scene.style;
    QRVDrawGridLine(&painter, ToRect(grid_), s.mainColour, s.levelDivisions, s.indexDivisions, s.labelGap,
                    BackgroundGridFlags(scene.trace.arbitrary), s.subColour, s.subDivisions, s.tickLength,
                    s.subTickLength);
}

void ViewLayers::DrawWaveform(const ViewScene& scene) {
    waveformLayer_ = gridLayer_;
    const TraceScene& t = scene.trace;
    if (t.samples.empty()) return;
    QPainter painter(&waveformLayer_);
    const QRVRect rect = ToRect(grid_);
    const auto count = static_cast<std::uint32_t>(t.samples.size());
    QRVDrawSourceWaveInGrid(&painter, &rect, t.colour, static_cast<std::uint16_t>(scene.displayStyle), t.samples.data(),
                            count, t.capacity, t.lower, t.upper, 0, count - 1);
}

void ViewLayers::DrawAnnotations(const ViewScene& scene) {
    annotationLayer_ = waveformLayer_;
    {
        QPainter painter(&annotationLayer_);
        const GridStyle& s = scene.style;
        const TraceScene& t = scene.trace;
        QRVDrawGridLine(&painter, ToRect(grid_), s.mainColour, s.levelDivisions, s.indexDivisions, s.labelGap,
                        AnnotationFlags(t.arbitrary), s.subColour, s.subDivisions, s.tickLength, s.subTickLength);
        for (const ScaleLabel& label : ScaleLabels(grid_, s, t.lower, t.upper, t.arbitrary, t.first, t.last)) {
            const std::u16string text(label.text.begin(), label.text.end());  // digits, sign and point: ASCII
            QRVDrawDefineText(&painter, s.scaleColour, kLabelBackground, kLabelHeight, kLabelFont, kLabelTransparent,
                              text.c_str(), static_cast<std::int32_t>(text.size()), label.x, label.y);
        }
    }
    composite_ = annotationLayer_;
}

void ViewLayers::DrawCursor(const ViewScene& scene) {
    cursorLayer_ = annotationLayer_;
    {
        QPainter painter(&cursorLayer_);
        QRVDrawCursorLine(&painter, ToRect(grid_), scene.trace.cursorWord, scene.press.x(), scene.press.y(),
                          scene.current.x(), scene.current.y());
    }
    composite_ = cursorLayer_;
}

}  // namespace zorbel
