// CScrollDialog on QScrollArea: the area clamps line, page and thumb moves
// to its range and keeps the focused control in view while tabbing.
#include "zorbel/dialogs/scroll_dialog.h"

#include <QScrollBar>

namespace zorbel {

CScrollDialog::CScrollDialog(QWidget* parent) : QScrollArea(parent), body_(new QWidget) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Larger than the contents need: they stretch; smaller: they scroll.
    setWidgetResizable(true);
    setWidget(body_);
    // Not a Tab stop of its own: tabbing to a control scrolls it into view.
    setFocusPolicy(Qt::NoFocus);
}

}  // namespace zorbel
