// Visual styles: the Windows-era looks of the design mapped to Qt's own
// styles ("Windows" for the classic ones, "Fusion" for the rest) with
// palettes in the spirit of each.
#include "app_look.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionToolButton>

namespace zorbel {
namespace {

struct Look {
    const char* style;
    QRgb window;  // 0 = the style's own palette
    QRgb highlight;
    bool dark = false;
};

Look LookOf(int look) {
    switch (look) {
    case 205:
        return {"Windows", 0, 0};  // Windows 2000
    case 206:
        return {"Fusion", 0xF7F6F2, 0x316AC5};  // Office XP
    case 207:
        return {"Windows", 0xECE9D8, 0x316AC5};  // Windows XP
    case 208:
        return {"Fusion", 0xE3EFFF, 0x4B7BBE};  // Office 2003
    case 209:
        return {"Fusion", 0xEEEDE5, 0x3399FF};  // Visual Studio 2005
    case 210:
        return {"Fusion", 0, 0};  // Visual Studio 2008
    case 216:
        return {"Fusion", 0x3A3A3A, 0x5B8BD0, true};  // Office 2007 black
    case 217:
        return {"Fusion", 0xE8EAEE, 0x7D8CA6};  // Office 2007 silver
    case 218:
        return {"Fusion", 0xE4F1F1, 0x3B9DAF};  // Office 2007 aqua
    case 219:
        return {"Fusion", 0xF0F0F0, 0x3399FF};  // Windows 7
    default:
        return {"Fusion", 0xDBE6F4, 0x4E79B6};  // Office 2007 blue (215)
    }
}

// A toolbar button with the keyboard focus is drawn flat, as when it has
// neither the mouse nor the focus, inside a frame in the colour of
// selections: the styles' own focus look raises it much as a checked button
// is drawn.
class ToolbarFocusStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        const auto* button = qstyleoption_cast<const QStyleOptionToolButton*>(option);
        if (control != CC_ToolButton || !button || !(button->state & State_AutoRaise) ||
            !(button->state & State_HasFocus)) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        QStyleOptionToolButton plain = *button;
        plain.state &= ~State_HasFocus;
        if (!(plain.state & (State_MouseOver | State_On | State_Sunken))) plain.state &= ~State_Raised;
        QProxyStyle::drawComplexControl(control, &plain, painter, widget);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(option->palette.color(QPalette::Highlight), kMarkWidth));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(option->rect).adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
        painter->restore();
    }

private:
    static constexpr qreal kMarkWidth = 2;  // pixels
};

QPalette PaletteOf(const Look& look, const QStyle& style) {
    QPalette palette = style.standardPalette();
    if (look.window == 0) return palette;
    const QColor window(look.window);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::Highlight, QColor(look.highlight));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    if (look.dark) {
        palette.setColor(QPalette::WindowText, Qt::white);
        palette.setColor(QPalette::ButtonText, Qt::white);
        palette.setColor(QPalette::Text, Qt::white);
        palette.setColor(QPalette::Base, QColor(0x2A2A2A));
        palette.setColor(QPalette::AlternateBase, QColor(0x333333));
        palette.setColor(QPalette::ToolTipBase, QColor(0x2A2A2A));
        palette.setColor(QPalette::ToolTipText, Qt::white);
        palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x8A8A8A));
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x8A8A8A));
        palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x8A8A8A));
    }
    return palette;
}

}  // namespace

void ApplyApplicationLook(int look) {
    const Look chosen = LookOf(look);
    QStyle* style = QStyleFactory::create(QString::fromLatin1(chosen.style));
    if (!style) return;  // a style this Qt lacks: keep the present one
    const QPalette palette = PaletteOf(chosen, *style);
    QApplication::setStyle(new ToolbarFocusStyle(style));  // takes ownership, as the proxy takes the style's
    QApplication::setPalette(palette);
}

}  // namespace zorbel
