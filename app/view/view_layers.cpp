// The layers of the waveform view and its render step.
#include "zorbel/view/view_layers.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/mman.h>

#include "QRVDisplayDll.h"

namespace zorbel {
namespace {

constexpr char16_t kLabelFont[] = u"Arial";
constexpr std::uint32_t kLabelBackground = 0xFFFFFF;
constexpr std::int32_t kLabelTransparent = 1;

QRVRect ToRect(const GridRect& g) { return QRVRect{g.left, g.top, g.right, g.bottom}; }

// A scale text's size as the drawing library draws it on `device`.
TextSize MeasureLabel(std::string_view text, std::int32_t height, const QPaintDevice* device) {
    QFont font(QString::fromUtf16(kLabelFont));
    font.setPixelSize(height);
    const QFontMetricsF metrics(font, device);
    return {metrics.horizontalAdvance(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()))),
            metrics.height()};
}

// Every layer has the same pixel format as the screen's backing store, so
// copying one onto another or onto the screen is a plain copy of memory.
//
// The pixels lie in 2 MiB pages where the kernel offers them: a render step
// that has just read the envelope of a big waveform across hundreds of
// megabytes finds the layers' page-table entries gone, and 4 KiB pages would
// then cost one table walk per 4 KiB of every copy.
QImage NewLayer(QSize size, qreal ratio) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    const QSize pixels = size * ratio;
    const qsizetype bytesPerLine = qsizetype{pixels.width()} * 4;
    const std::size_t bytes = static_cast<std::size_t>(bytesPerLine) * static_cast<std::size_t>(pixels.height());
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* memory = std::aligned_alloc(kHugePage, rounded);
    QImage image;
    if (memory != nullptr) {
        madvise(memory, rounded, MADV_HUGEPAGE);  // advice only: 4 KiB pages otherwise
        image = QImage(
            static_cast<uchar*>(memory), pixels.width(), pixels.height(), bytesPerLine, QImage::Format_RGB32,
            [](void* p) { std::free(p); }, memory);
    } else {
        image = QImage(pixels, QImage::Format_RGB32);
    }
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    return image;
}

// `from` into `to`'s own pixels. A fresh image for every step would cost an
// allocation and a page fault per 4 KiB, more than the copy itself; only a
// layer still shared with the screen's picture gets new memory.
void CopyLayer(const QImage& from, QImage& to) {
    if (to.size() != from.size() || to.format() != from.format() || !to.isDetached()) {
        to = from.copy();
        return;
    }
    std::memcpy(to.bits(), from.constBits(), static_cast<std::size_t>(from.sizeInBytes()));
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
    QImage* layers[] = {&gridLayer_,           &waveformLayer_,   &annotationLayers_[0],
                        &annotationLayers_[1], &cursorLayers_[0], &cursorLayers_[1]};
    if (size.isEmpty()) {
        stretched_ = composite_ = QImage();
        for (QImage* layer : layers) *layer = QImage();
        return true;
    }
    stretched_ = background_.scaled(size * ratio_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32);
    stretched_.setDevicePixelRatio(ratio_);
    for (QImage* layer : layers) *layer = NewLayer(size_, ratio_);
    gridShows_.reset();
    composite_ = annotationLayers_[annotation_];
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
    const GridStyle& s = scene.style;
    const TraceScene& t = scene.trace;
    const GridKey shows{s, t.arbitrary, t.lower, t.upper, t.first, t.last};
    if (gridShows_ == shows) return;
    CopyLayer(stretched_, gridLayer_);
    QPainter painter(&gridLayer_);
    QRVDrawGridLine(&painter, ToRect(grid_), s.mainColour, s.levelDivisions, s.indexDivisions, s.labelGap,
                    BackgroundGridFlags(t.arbitrary), s.subColour, s.subDivisions, s.tickLength, s.subTickLength);
    const MeasureText measure = [this](std::string_view text, std::int32_t height) {
        return MeasureLabel(text, height, &gridLayer_);
    };
    for (const ScaleLabel& label : ScaleLabels(grid_, s, t.lower, t.upper, t.arbitrary, t.first, t.last, measure)) {
        const std::u16string text(label.text.begin(), label.text.end());  // digits, sign and point: ASCII
        QRVDrawDefineText(&painter, s.scaleColour, kLabelBackground, label.height, kLabelFont, kLabelTransparent,
                          text.c_str(), static_cast<std::int32_t>(text.size()), label.x, label.y);
    }
    gridShows_ = shows;
}

void ViewLayers::DrawWaveform(const ViewScene& scene) {
    CopyLayer(gridLayer_, waveformLayer_);
    const TraceScene& t = scene.trace;
    if (t.samples.empty()) return;
    QPainter painter(&waveformLayer_);
    const QRVRect rect = ToRect(grid_);
    const auto count = static_cast<std::uint32_t>(t.samples.size());
    QRVDrawSourceWaveInGrid(&painter, &rect, t.colour, static_cast<std::uint16_t>(scene.displayStyle), t.samples.data(),
                            count, t.capacity, t.lower, t.upper, 0, count - 1);
}

void ViewLayers::DrawAnnotations(const ViewScene& scene) {
    annotation_ = 1 - annotation_;
    QImage& layer = annotationLayers_[annotation_];
    CopyLayer(waveformLayer_, layer);
    {
        QPainter painter(&layer);
        const GridStyle& s = scene.style;
        const TraceScene& t = scene.trace;
        QRVDrawGridLine(&painter, ToRect(grid_), s.mainColour, s.levelDivisions, s.indexDivisions, s.labelGap,
                        AnnotationFlags(t.arbitrary), s.subColour, s.subDivisions, s.tickLength, s.subTickLength);
    }
    composite_ = layer;
}

void ViewLayers::DrawCursor(const ViewScene& scene) {
    cursor_ = 1 - cursor_;
    QImage& layer = cursorLayers_[cursor_];
    CopyLayer(annotationLayers_[annotation_], layer);
    {
        QPainter painter(&layer);
        QRVDrawCursorLine(&painter, ToRect(grid_), scene.trace.cursorWord, scene.press.x(), scene.press.y(),
                          scene.current.x(), scene.current.y());
    }
    composite_ = layer;
}

}  // namespace zorbel
