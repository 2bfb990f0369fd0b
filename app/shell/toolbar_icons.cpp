// The toolbar's 32 x 32 images, drawn as simple line art so that they scale
// and follow no outside artwork: a folder or a disk for the file commands,
// traces for the display styles, a magnifier or arrows for the zoom tools.
#include "toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace zorbel {
namespace {

const QColor kInk(0x24, 0x3B, 0x5C);
const QColor kAccent(0x1F, 0x8A, 0x3B);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kFolder(0xE8, 0xB8, 0x4A);
const QColor kDisk(0x4A, 0x6F, 0xA5);

QPen Pen(const QColor& colour, double width = 2.0) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Sine(QPainter& p, QRectF box, const QColor& colour) {
    QPainterPath path;
    for (int i = 0; i <= 24; ++i) {
        const double x = box.left() + box.width() * i / 24.0;
        const double y = box.center().y() - box.height() / 2 * std::sin(i / 24.0 * 2 * M_PI);
        i == 0 ? path.moveTo(x, y) : path.lineTo(x, y);
    }
    p.setPen(Pen(colour));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void Sliders(QPainter& p, QRectF box) {
    p.setPen(Pen(kAccent));
    for (int i = 0; i < 3; ++i) {
        const double y = box.top() + box.height() * (i + 0.5) / 3;
        p.drawLine(QPointF(box.left(), y), QPointF(box.right(), y));
        const double knob = box.left() + box.width() * (0.25 + 0.25 * ((i * 2) % 3));
        p.setBrush(kPaper);
        p.drawEllipse(QPointF(knob, y), 2.2, 2.2);
    }
}

void Folder(QPainter& p) {
    p.setPen(Pen(kInk, 1.5));
    p.setBrush(kFolder);
    QPainterPath path;
    path.moveTo(2, 8);
    path.lineTo(11, 8);
    path.lineTo(13, 11);
    path.lineTo(30, 11);
    path.lineTo(30, 29);
    path.lineTo(2, 29);
    path.closeSubpath();
    p.drawPath(path);
}

void Disk(QPainter& p) {
    p.setPen(Pen(kInk, 1.5));
    p.setBrush(kDisk);
    p.drawRoundedRect(QRectF(3, 3, 26, 26), 2, 2);
    p.setBrush(kPaper);
    p.drawRect(QRectF(8, 14, 16, 13));
    p.drawRect(QRectF(9, 4, 12, 7));
}

void Magnifier(QPainter& p, QPointF centre, bool plus, bool minus) {
    p.setPen(Pen(kInk, 2.5));
    p.setBrush(kPaper);
    p.drawEllipse(centre, 7, 7);
    p.drawLine(centre + QPointF(5, 5), centre + QPointF(11, 11));
    p.setPen(Pen(kInk, 2));
    if (plus || minus) p.drawLine(centre + QPointF(-4, 0), centre + QPointF(4, 0));
    if (plus) p.drawLine(centre + QPointF(0, -4), centre + QPointF(0, 4));
}

// A double arrow across the image, horizontal or vertical.
void Arrow(QPainter& p, bool horizontal, double at, double from, double to) {
    p.setPen(Pen(kAccent, 2));
    const auto point = [&](double along, double across) {
        return horizontal ? QPointF(along, at + across) : QPointF(at + across, along);
    };
    p.drawLine(point(from, 0), point(to, 0));
    p.drawLine(point(from, 0), point(from + 4, -4));
    p.drawLine(point(from, 0), point(from + 4, 4));
    p.drawLine(point(to, 0), point(to - 4, -4));
    p.drawLine(point(to, 0), point(to - 4, 4));
}

void Zoom(QPainter& p, bool horizontal, int kind) {
    // kind: 0 zoom in, 1 zoom out, 2 move
    if (kind == 2) {
        Arrow(p, horizontal, 16, 3, 29);
        p.setPen(Pen(kInk, 2));
        p.setBrush(kPaper);
        p.drawEllipse(QPointF(16, 16), 4, 4);
        return;
    }
    Magnifier(p, QPointF(13, 13), kind == 0, true);
    Arrow(p, horizontal, 28, 2, 24);
}

QPixmap Render(IconPainter draw, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    draw(painter);
    return pixmap;
}

// A sine trace on a dark screen.
void ProgramImage(QPainter& p) {
    p.setPen(Pen(kInk, 1.5));
    p.setBrush(QColor(0x10, 0x20, 0x30));
    p.drawRoundedRect(QRectF(1.5, 3.5, 29, 25), 3, 3);
    Sine(p, QRectF(5, 9, 22, 14), QColor(0x80, 0xFF, 0x80));
}

}  // namespace

namespace icons {

void LoadData(QPainter& p) {
    Folder(p);
    Sine(p, QRectF(7, 15, 20, 10), kAccent);
}
void LoadSetup(QPainter& p) {
    Folder(p);
    Sliders(p, QRectF(7, 13, 20, 14));
}
void SaveData(QPainter& p) {
    Disk(p);
    Sine(p, QRectF(10, 17, 12, 7), kAccent);
}
void SaveSetup(QPainter& p) {
    Disk(p);
    Sliders(p, QRectF(10, 15, 12, 11));
}
void Vectors(QPainter& p) {
    p.setPen(Pen(kInk, 1));
    p.drawRect(QRectF(2, 4, 28, 24));
    Sine(p, QRectF(4, 8, 24, 16), kAccent);
}
void Dots(QPainter& p) {
    p.setPen(Pen(kInk, 1));
    p.drawRect(QRectF(2, 4, 28, 24));
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    for (int i = 0; i <= 12; ++i) p.drawEllipse(QPointF(4 + 2 * i, 16 - 8 * std::sin(i / 12.0 * 2 * M_PI)), 1.4, 1.4);
}
void HorizontalZoomIn(QPainter& p) { Zoom(p, true, 0); }
void HorizontalZoomOut(QPainter& p) { Zoom(p, true, 1); }
void HorizontalMove(QPainter& p) { Zoom(p, true, 2); }
void VerticalZoomIn(QPainter& p) { Zoom(p, false, 0); }
void VerticalZoomOut(QPainter& p) { Zoom(p, false, 1); }
void VerticalMove(QPainter& p) { Zoom(p, false, 2); }
void EditPoints(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    for (const QPointF dot : {QPointF(4, 24), QPointF(9, 18), QPointF(14, 22), QPointF(19, 14)})
        p.drawEllipse(dot, 2, 2);
    p.setPen(Pen(kInk, 1.5));
    p.setBrush(kFolder);
    QPolygonF pencil({QPointF(18, 20), QPointF(28, 6), QPointF(31, 9), QPointF(21, 23), QPointF(17, 24)});
    p.drawPolygon(pencil);
}
void PrintPreview(QPainter& p) {
    p.setPen(Pen(kInk, 1.5));
    p.setBrush(kPaper);
    p.drawRect(QRectF(4, 2, 18, 24));
    for (int y = 7; y <= 15; y += 4) p.drawLine(QPointF(7, y), QPointF(19, y));
    Magnifier(p, QPointF(19, 19), false, false);
}
void HelpContent(QPainter& p) {
    p.setPen(Pen(kInk, 2));
    p.setBrush(QColor(0xDC, 0xE9, 0xF8));
    p.drawEllipse(QPointF(16, 16), 13, 13);
    QFont font = p.font();
    font.setPixelSize(18);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
}

}  // namespace icons

QIcon CommandIcon(IconPainter painter) {
    if (!painter) return {};
    QIcon icon;
    for (const int size : {16, 32, 64}) icon.addPixmap(Render(painter, size));
    return icon;
}

QIcon ProgramIcon() { return CommandIcon(ProgramImage); }

}  // namespace zorbel
