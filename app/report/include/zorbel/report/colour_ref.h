// Colours as the model keeps them (0x00BBGGRR, the form the drawing library
// takes) and as Qt paints them.
#pragma once

#include <QColor>

#include <cstdint>

namespace zorbel {

inline QColor ColourOf(std::uint32_t colorRef) {
    return QColor(static_cast<int>(colorRef & 0xFF), static_cast<int>((colorRef >> 8) & 0xFF),
                  static_cast<int>((colorRef >> 16) & 0xFF));
}

inline std::uint32_t ColorRefOf(const QColor& colour) {
    return static_cast<std::uint32_t>(colour.red()) | static_cast<std::uint32_t>(colour.green()) << 8 |
           static_cast<std::uint32_t>(colour.blue()) << 16;
}

}  // namespace zorbel
