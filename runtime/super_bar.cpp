#include "super_bar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>

namespace kivo::runtime {

namespace {
constexpr int kThumbLength = 9;
}

SuperBar::SuperBar(Qt::Orientation orientation, QWidget* parent) : QAbstractSlider(parent) {
    setOrientation(orientation);
    setRange(0, 100);
    setSingleStep(1);
    setPageStep(20);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractSlider::valueChanged, this, &SuperBar::positionChanged);
}

void SuperBar::setMinimumValue(int minimum) {
    setMinimum(minimum);
    setPageStep(std::max(1, (maximum() - this->minimum()) / 5));
}

void SuperBar::setMaximumValue(int maximum) {
    setMaximum(maximum);
    setPageStep(std::max(1, (this->maximum() - minimum()) / 5));
}

QRect SuperBar::thumbRect() const {
    if (orientation() == Qt::Horizontal) {
        int span = std::max(0, width() - kThumbLength);
        int at = QStyle::sliderPositionFromValue(minimum(), maximum(), value(), span);
        return QRect(at, 0, kThumbLength, height());
    }
    int span = std::max(0, height() - kThumbLength);
    int at = QStyle::sliderPositionFromValue(minimum(), maximum(), value(), span, true);
    return QRect(0, at, width(), kThumbLength);
}

int SuperBar::positionAt(QPoint point) const {
    if (orientation() == Qt::Horizontal) {
        int span = std::max(0, width() - kThumbLength);
        return QStyle::sliderValueFromPosition(minimum(), maximum(), point.x() - kThumbLength / 2,
                                               span);
    }
    int span = std::max(0, height() - kThumbLength);
    return QStyle::sliderValueFromPosition(minimum(), maximum(), point.y() - kThumbLength / 2, span,
                                           true);
}

void SuperBar::step(bool forward) {
    // The step event comes first, so its handler still sees the position before the move.
    if (forward) {
        emit stepForward();
        triggerAction(SliderPageStepAdd);
    } else {
        emit stepBackward();
        triggerAction(SliderPageStepSub);
    }
}

void SuperBar::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    QPoint p = e->position().toPoint();
    QRect thumb = thumbRect();
    if (thumb.contains(p)) {
        dragging_ = true;
        setSliderDown(true);
    } else if (orientation() == Qt::Horizontal) {
        step(p.x() > thumb.center().x());
    } else {
        step(p.y() < thumb.center().y());  // the maximum is at the top
    }
    e->accept();
}

void SuperBar::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_) setValue(positionAt(e->position().toPoint()));
    e->accept();
}

void SuperBar::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    if (dragging_) {
        dragging_ = false;
        setSliderDown(false);
    }
    emit leftButtonReleased();
    e->accept();
}

void SuperBar::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Left:
        case Qt::Key_Down:
            emit stepBackward();
            triggerAction(SliderSingleStepSub);
            break;
        case Qt::Key_Right:
        case Qt::Key_Up:
            emit stepForward();
            triggerAction(SliderSingleStepAdd);
            break;
        case Qt::Key_PageDown:
            step(false);
            break;
        case Qt::Key_PageUp:
            step(true);
            break;
        default:
            QAbstractSlider::keyPressEvent(e);
            return;
    }
    e->accept();
}

void SuperBar::wheelEvent(QWheelEvent* e) {
    int delta = e->angleDelta().y() != 0 ? e->angleDelta().y() : e->angleDelta().x();
    if (delta > 0) {
        emit stepForward();
        triggerAction(SliderSingleStepAdd);
    } else if (delta < 0) {
        emit stepBackward();
        triggerAction(SliderSingleStepSub);
    }
    e->accept();
}

void SuperBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    QRect thumb = thumbRect();
    QRectF groove, done;
    if (orientation() == Qt::Horizontal) {
        qreal h = std::max(2, height() / 2), y = (height() - h) / 2.0;
        groove = QRectF(0, y, width(), h);
        done = QRectF(0, y, thumb.center().x(), h);
    } else {
        qreal w = std::max(2, width() / 3), x = (width() - w) / 2.0;
        groove = QRectF(x, 0, w, height());
        done = QRectF(x, thumb.center().y(), w, height() - thumb.center().y());
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(pal.color(QPalette::Mid));
    painter.drawRoundedRect(groove, 2, 2);
    painter.setBrush(pal.color(QPalette::Highlight));
    painter.drawRoundedRect(done, 2, 2);
    painter.setBrush(isSliderDown() ? pal.color(QPalette::Highlight).darker(120)
                                    : pal.color(QPalette::Button));
    painter.setPen(pal.color(QPalette::Dark));
    painter.drawRoundedRect(QRectF(thumb).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
}

}  // namespace kivo::runtime
