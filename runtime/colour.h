// Colours travel as 0xBBGGRR, the way the colour picker delivers them.
#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>
#include <cstdint>

namespace kivo::runtime {

inline QColor colourFromBgr(uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}
inline uint32_t bgrFromColour(const QColor& c) {
    return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
}
// Sets one colour of the widget's palette.
inline void setPaletteColour(QWidget& widget, QPalette::ColorRole role, uint32_t bgr) {
    QPalette p = widget.palette();
    p.setColor(role, colourFromBgr(bgr));
    widget.setPalette(p);
}

// The window colour keys are given as 0xRRGGBB.
inline QColor colourFromRgb(uint32_t rgb) {
    return QColor::fromRgb(rgb & 0xFFFFFF);
}

}  // namespace kivo::runtime
