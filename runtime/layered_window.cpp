#include "layered_window.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include "colour.h"
#include "flush_window_system.h"

namespace kivo::runtime {

namespace {

// From a repaint to taking the shape again: a moving control costs a few shapes a second.
constexpr int kShapeDelayMs = 250;

}  // namespace

LayeredWindow::LayeredWindow(uint32_t colourKey, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint), key_(colourFromRgb(colourKey)) {
    // The native window must have an alpha channel from the start; until the window is made
    // layered its background is painted opaque in the key colour.
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void LayeredWindow::makeLayered() {
    layered_ = true;
    update();
    for (QWidget* child : findChildren<QWidget*>()) child->update();
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // Controls change their looks at will (animated pictures, shown and hidden panels).
        // Every change asks this window to repaint; the shape is taken again a moment after
        // such a request, and never while nothing changes.
        followsShape_ = true;
        shapeTimer_.setSingleShot(true);
        connect(&shapeTimer_, &QTimer::timeout, this, &LayeredWindow::followShape,
                Qt::UniqueConnection);
        followShape();
    }
}

QRegion LayeredWindow::contentShape() {
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // Control by control: rendering the window itself is clipped by its current shape, and a
    // shape taken while little showed (a picture not yet there) could never grow again.
    QPainter painter(&image);
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || !child->isVisibleTo(this)) continue;
        child->render(&painter, child->pos(), QRegion(), QWidget::DrawChildren);
    }
    painter.end();
    return QRegion(QBitmap::fromImage(image.createAlphaMask(Qt::ThresholdAlphaDither)));
}

void LayeredWindow::followShape() {
    if (!isVisible() || isMinimized()) return;
    QRegion shape = contentShape();
    if (shape.isEmpty()) shape = QRegion(0, 0, 1, 1);  // an empty mask would show it all
    if (shape == mask()) return;
    setMask(shape);
    // Sent now: nothing else may wake the window to send it.
    flushWindowSystem();
}

const LayeredWindow* LayeredWindow::of(const QWidget* widget) {
    return widget ? qobject_cast<const LayeredWindow*>(widget->window()) : nullptr;
}

bool LayeredWindow::event(QEvent* e) {
    // Every control that changed its looks asks for this, wherever it lies.
    if (e->type() == QEvent::UpdateRequest && followsShape_ && !shapeTimer_.isActive()) {
        shapeTimer_.start(kShapeDelayMs);
    }
    return QWidget::event(e);
}

void LayeredWindow::paintEvent(QPaintEvent*) {
    if (layered_) return;  // the bare background is the key: nothing is painted there
    QPainter painter(this);
    painter.fillRect(rect(), key_);
}

void LayeredWindow::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        dragOffset_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
        e->accept();
        return;
    }
    QWidget::mousePressEvent(e);
}

void LayeredWindow::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) {
        move(e->globalPosition().toPoint() - dragOffset_);
        e->accept();
        return;
    }
    QWidget::mouseMoveEvent(e);
}

}  // namespace kivo::runtime
