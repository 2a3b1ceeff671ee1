#include "pic_box.h"

#include <QPainter>

#include "layered_window.h"

namespace kivo::runtime {

PicBox::PicBox(QWidget* parent) : QWidget(parent) {
    connect(&picture_, &Picture::changed, this, [this] {
        if (picture_.keptOutline()) {
            LayeredWindow::repaintKeepingShape(this);
        } else {
            update();
        }
    });
}

void PicBox::setPicture(const QByteArray& bytes) {
    picture_.setBytes(bytes);
}

void PicBox::hideEvent(QHideEvent*) {
    picture_.setPaused(true);
}

void PicBox::showEvent(QShowEvent*) {
    picture_.setPaused(false);
}

void PicBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawPicture(painter, this, picture_, QPoint(0, 0));
}

}  // namespace kivo::runtime
