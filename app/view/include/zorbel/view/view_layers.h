// The view's five off-screen layers and the render step that redraws those a
// refresh mask selects, through the drawing library. Each layer is an image
// of the client size at the screen's device pixel ratio; each builds on the
// one below (grid over the stretched background, waveform over the grid,
// annotations over the waveform, the zoom rubber band over the annotations)
// and the top one drawn becomes the composite, the picture the widget shows.
// Used by the display thread alone; the composite is handed out as a copy
// (images share their pixels until one of them is painted on).
//
// The scale texts lie in the margins, which the trace never reaches, so they
// are drawn with the grid; the grid layer, dotted lines and texts being the
// dearest part of a step, is drawn again only when something it shows
// changed (size, colours, scale). A step while the user draws or drags the
// rubber band then costs little more than the copies of its layers.
#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>

#include <optional>

#include "zorbel/model/session_state.h"
#include "zorbel/view/trace_source.h"
#include "zorbel/view/view_geometry.h"

namespace zorbel {

// Everything a render step draws, taken in one go from the view and the model.
struct ViewScene {
    GridStyle style;
    int displayStyle = 1;  // 1 lines, 0 dots
    TraceScene trace;
    QPoint press;  // zoom rubber band, logical pixels
    QPoint current;
};

// The picture behind the grid when "Bitmap/View.bmp" is missing or unreadable.
QImage BuiltInBackground();
// "Bitmap/View.bmp" in `programFolder`, else the built-in picture.
QImage LoadBackground(const QString& programFolder);

class ViewLayers {
public:
    explicit ViewLayers(QImage background = BuiltInBackground());

    // Makes the layers `size` logical pixels at `devicePixelRatio` and
    // stretches the background to them. True when anything changed; the
    // next render then has to draw every layer.
    bool Resize(QSize size, qreal devicePixelRatio);
    QSize Size() const { return size_; }
    GridRect Grid() const { return grid_; }
    // Device pixel columns across the grid: more points than this are drawn
    // from the envelope.
    std::size_t GridColumns() const;

    // Redraws the layers `mask` selects; returns them (nothing without a size).
    LayerSet Render(RefreshMask mask, const ViewScene& scene);
    const QImage& Composite() const { return composite_; }

private:
    void DrawGrid(const ViewScene& scene);
    void DrawWaveform(const ViewScene& scene);
    void DrawAnnotations(const ViewScene& scene);
    void DrawCursor(const ViewScene& scene);

    QImage background_;
    QImage stretched_;
    QSize size_;
    qreal ratio_ = 1.0;
    GridRect grid_;
    // Layers keep their pixels from step to step: a copy from the layer below
    // writes into memory that is already there. The two top layers are
    // doubled, so that the one handed out as the composite is never painted
    // on while the screen may still be showing it.
    QImage gridLayer_, waveformLayer_;
    struct GridKey {
        GridStyle style;
        bool arbitrary = false;
        double lower = 0.0, upper = 0.0;
        std::uint32_t first = 0, last = 0;
        bool operator==(const GridKey&) const = default;
    };
    std::optional<GridKey> gridShows_;  // what the grid layer holds; nothing after a resize
    QImage annotationLayers_[2], cursorLayers_[2];
    int annotation_ = 0;  // the annotation layer drawn last
    int cursor_ = 0;
    QImage composite_;
};

}  // namespace zorbel
