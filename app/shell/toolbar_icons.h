// Images of the toolbar commands and of the program.
#pragma once

#include <QIcon>

class QPainter;

namespace zorbel {

// Draws a command's image on a 32 x 32 canvas.
using IconPainter = void (*)(QPainter& painter);

// The toolbar commands' images.
namespace icons {
void LoadData(QPainter& p);
void LoadSetup(QPainter& p);
void SaveData(QPainter& p);
void SaveSetup(QPainter& p);
void Vectors(QPainter& p);
void Dots(QPainter& p);
void HorizontalZoomIn(QPainter& p);
void HorizontalZoomOut(QPainter& p);
void HorizontalMove(QPainter& p);
void VerticalZoomIn(QPainter& p);
void VerticalZoomOut(QPainter& p);
void VerticalMove(QPainter& p);
void EditPoints(QPainter& p);
void PrintPreview(QPainter& p);
void HelpContent(QPainter& p);
}  // namespace icons

// The image `painter` draws, at 16, 32 and 64 pixels; a null icon for none.
QIcon CommandIcon(IconPainter painter);
QIcon ProgramIcon();

}  // namespace zorbel
