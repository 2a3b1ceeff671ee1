#include "shape_box.h"

#include <QPainter>

#include "colour.h"

namespace kivo::runtime {

ShapeBox::ShapeBox(QWidget* parent) : QWidget(parent), border_(Qt::black) {}

void ShapeBox::setBorderColour(uint32_t bgr) {
    border_ = colourFromBgr(bgr);
    update();
}

uint32_t ShapeBox::borderColour() const {
    return bgrFromColour(border_);
}

void ShapeBox::setFillColour(uint32_t bgr) {
    fill_ = colourFromBgr(bgr);
    update();
}

void ShapeBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (fill_.isValid()) painter.fillRect(rect(), fill_);
    painter.setPen(border_);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace kivo::runtime
