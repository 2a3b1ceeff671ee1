#include "layered_window.h"

#include <QBitmap>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <utility>

#include "colour.h"
#include "flush_window_system.h"

namespace kivo::runtime {

namespace {

// From a repaint to taking the shape again: a moving control costs a few shapes a second.
constexpr int kShapeDelayMs = 250;
// Beyond this many separate repainted places, the shape is taken over their bounding box.
constexpr int kMostShapePlaces = 8;

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
    if (QGuiApplication::platformName() == QLatin1String("xcb") && !followsShape_) {
        // Controls change their looks at will (a turning picture, shown and hidden panels).
        // Every change is repainted; a moment after a repaint the shape is taken again where
        // the window repainted, and never while nothing changes.
        followsShape_ = true;
        shapeTimer_.setSingleShot(true);
        connect(&shapeTimer_, &QTimer::timeout, this, &LayeredWindow::followShape);
        QCoreApplication::instance()->installEventFilter(this);
        repainted_ = rect();
        followShape();
    }
}

// Control by control: rendering the window itself is clipped by its current shape, and a shape
// taken while little showed (a picture not yet there) could never grow again.
QRegion LayeredWindow::shapeWithin(const QRect& area) {
    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    takingShape_ = true;  // rendering paints the controls: that is no change of looks
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || !child->isVisibleTo(this)) continue;
        const QRect part = child->geometry() & area;
        if (part.isEmpty()) continue;
        child->render(&painter, part.topLeft() - area.topLeft(),
                      QRegion(part.translated(-child->pos())), QWidget::DrawChildren);
    }
    takingShape_ = false;
    painter.end();
    QRegion shape(QBitmap::fromImage(image.createAlphaMask(Qt::ThresholdAlphaDither)));
    return shape.translated(area.topLeft());
}

void LayeredWindow::followShape() {
    if (!isVisible() || isMinimized()) return;  // shown again, it repaints all of itself
    const QRegion changed = repainted_ & rect();
    repainted_ = QRegion();
    // A turning picture repaints a small square again and again and mostly keeps its outline:
    // only the repainted places are rendered, and the display hears of a shape only if it
    // changed there.
    QRegion shape = shape_ & rect();
    // Nothing was cut off by a shrink.
    bool same = shape_.isEmpty() || rect().contains(shape_.boundingRect());
    QList<QRect> places(changed.begin(), changed.end());
    if (places.size() > kMostShapePlaces) places = {changed.boundingRect()};
    for (const QRect& place : places) {
        const QRegion now = shapeWithin(place);
        if ((now ^ (shape & place)).isEmpty()) continue;
        shape = (shape - place) | now;
        same = false;
    }
    if (same && !mask().isEmpty()) return;  // no mask yet: the first shape is sent
    shape_ = shape;
    // An empty mask would show it all.
    setMask(shape.isEmpty() ? QRegion(0, 0, 1, 1) : shape);
    // Sent now: nothing else may wake the window to send it.
    flushWindowSystem();
}

const LayeredWindow* LayeredWindow::of(const QWidget* widget) {
    return widget ? qobject_cast<const LayeredWindow*>(widget->window()) : nullptr;
}

void LayeredWindow::repaintKeepingShape(QWidget* widget) {
    auto* window = qobject_cast<LayeredWindow*>(widget->window());
    if (window && window->followsShape_ && !window->keepingShape_.contains(widget)) {
        window->keepingShape_.append(widget);
    }
    widget->update();
}

bool LayeredWindow::event(QEvent* e) {
    if (e->type() != QEvent::UpdateRequest) return QWidget::event(e);
    // The window repaints all that changed since its last repaint now.
    paintingKeepingShape_ = std::exchange(keepingShape_, {});
    const bool handled = QWidget::event(e);
    paintingKeepingShape_.clear();
    return handled;
}

// A repaint that lies wholly inside controls that keep their shape: what lies under them
// repaints too, but only a control whose looks change wholly inside them could change the
// shape there.
bool LayeredWindow::keepsShape(const QRegion& repainted) const {
    QRegion keeping;
    for (const QPointer<QWidget>& widget : paintingKeepingShape_) {
        if (widget) keeping += QRect(widget->mapTo(this, QPoint(0, 0)), widget->size());
    }
    return !keeping.isEmpty() && (repainted - keeping).isEmpty();
}

bool LayeredWindow::eventFilter(QObject* watched, QEvent* e) {
    // Every control that changed its looks is repainted where it changed, wherever it lies.
    // A window that grows or shrinks (the playlist panel opened or closed) need not repaint
    // anything: its shape is taken anew.
    const QEvent::Type type = e->type();
    const bool paint = type == QEvent::Paint && !takingShape_;
    // A control shown, hidden or moved changes what lies under a turning picture.
    const bool moved = type == QEvent::Show || type == QEvent::Hide || type == QEvent::Move ||
                       type == QEvent::Resize || type == QEvent::ZOrderChange;
    if (!(paint || moved) || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this) return false;
    QRegion changed;
    if (paint) {
        const QRegion& region = static_cast<QPaintEvent*>(e)->region();
        changed = region.translated(widget->mapTo(this, QPoint(0, 0)));
        if (keepsShape(changed)) changed = QRegion();
    } else {
        keepingShape_.clear();
        if (type == QEvent::Resize && widget == this) changed = rect();
    }
    if (!changed.isEmpty()) {
        repainted_ += changed;
        if (!shapeTimer_.isActive()) shapeTimer_.start(kShapeDelayMs);
    }
    return false;
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
