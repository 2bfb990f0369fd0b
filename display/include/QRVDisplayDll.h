/*
 * QRVDisplayDll: draws the waveform view's grid, trace, zoom rubber band and
 * texts into a device context, which is a QPainter painting on an image or a
 * page. Coordinates are the painter's logical pixels; colours are 0x00BBGGRR.
 * Nothing is returned; a null painter or an empty rectangle draws nothing.
 * Each call leaves the painter's state (pen, brush, font, clip) as it found it.
 */
#ifndef QRVDISPLAYDLL_H
#define QRVDISPLAYDLL_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#if defined(QRVDISPLAYDLL_BUILD)
#define QRV_DISPLAY_API __attribute__((visibility("default")))
#else
#define QRV_DISPLAY_API
#endif

#ifdef __cplusplus
class QPainter;
extern "C" {
#else
typedef struct QPainter QPainter;
#endif

/* The Windows RECT: right and bottom are the first pixels outside. */
typedef struct QRVRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
} QRVRect;

/* Grid flags. Without any of the low three bits the call draws the
 * background grid: the division lines in the sub-line colour, a dotted line
 * at every sub-division and the centre cross in the main line colour. With
 * them it draws the marks that belong above the trace, in the main colour. */
#define QRV_GRID_FRAME 0x001u       /* the rectangle's border */
#define QRV_GRID_TICKS 0x002u       /* ticks at divisions and sub-divisions along the border */
#define QRV_GRID_AXES 0x004u        /* ticks at sub-divisions across the centre cross */
#define QRV_GRID_INDEX_LINES 0x010u /* background: vertical division lines in the main colour, dotted */
#define QRV_GRID_LEVEL_LINES 0x020u /* background: horizontal division lines in the main colour, dotted */
/* Other bits (the view keeps 0x100 and 0x200 for its own scale texts) draw nothing. */

/* subDivisions: dotted lines / ticks per division; tickLength and
 * subTickLength in pixels. A division count of 0 draws no division lines.
 * labelGap is the room the caller keeps between the border and its labels;
 * the grid draws nothing there. */
QRV_DISPLAY_API void QRVDrawGridLine(QPainter* dc, QRVRect grid, uint32_t mainColour, uint16_t levelDivisions,
                                     uint16_t indexDivisions, uint16_t labelGap, uint32_t flags, uint32_t subColour,
                                     uint16_t subDivisions, uint16_t tickLength, uint16_t subTickLength);

/* Draws samples[first..last] (last is cut to count - 1) across the rectangle's
 * width, sample first at the left edge and sample last at the right edge, with
 * lower..upper (volts) spanning its height, upper at the top. style 1 joins
 * the samples with lines, style 0 draws each as a point. Not-a-number samples
 * are left out (and break the line). Everything is clipped to the rectangle.
 * capacity is the caller's preview size; it does not change the drawing. */
QRV_DISPLAY_API void QRVDrawSourceWaveInGrid(QPainter* dc, const QRVRect* grid, uint32_t colour, uint16_t style,
                                             const double* samples, uint32_t count, uint32_t capacity, double lower,
                                             double upper, uint32_t first, uint32_t last);

/* The zoom rubber band between the press point and the current point, inside
 * the rectangle: cursorWord 2 two vertical lines (horizontal zoom), 1 two
 * horizontal lines (vertical zoom), 3 the rectangle, 0 nothing. */
QRV_DISPLAY_API void QRVDrawCursorLine(QPainter* dc, QRVRect grid, uint16_t cursorWord, int32_t pressX, int32_t pressY,
                                       int32_t x, int32_t y);

/* length UTF-16 code units of text in fontName (NUL-terminated) at a pixel
 * height of `height`, centred on (x, y) but moved inside the painter's
 * window where it would stick out. transparent 1 leaves the background as it
 * is; 0 fills the text's box with backgroundColour first. */
QRV_DISPLAY_API void QRVDrawDefineText(QPainter* dc, uint32_t colour, uint32_t backgroundColour, int32_t height,
                                       const char16_t* fontName, int32_t transparent, const char16_t* text,
                                       int32_t length, int32_t x, int32_t y);

#ifdef __cplusplus
}
#endif

#endif /* QRVDISPLAYDLL_H */
