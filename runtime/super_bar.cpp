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
    fitStepsToRange();
}

void SuperBar::setMaximumValue(int maximum) {
    setMaximum(maximum);
    fitStepsToRange();
}

// A line is a hundredth of the range: on the volume's mixer range a line of one unit moved
// nothing a user could hear or see, so the wheel and the arrow keys seemed dead there.
void SuperBar::fitStepsToRange() {
    const int range = maximum() - minimum();
    setSingleStep(std::max(1, range / 100));
    setPageStep(std::max(1, range / 5));
}

// The thumb runs within the contents rectangle (the whole bar unless margins are set).
QRect SuperBar::thumbRect() const {
    const QRect track = contentsRect();
    if (orientation() == Qt::Horizontal) {
        int span = std::max(0, track.width() - kThumbLength);
        int at = QStyle::sliderPositionFromValue(minimum(), maximum(), value(), span);
        return QRect(track.left() + at, track.top(), kThumbLength, track.height());
    }
    int span = std::max(0, track.height() - kThumbLength);
    int at = QStyle::sliderPositionFromValue(minimum(), maximum(), value(), span, true);
    return QRect(track.left(), track.top() + at, track.width(), kThumbLength);
}

int SuperBar::positionAt(QPoint point) const {
    const QRect track = contentsRect();
    if (orientation() == Qt::Horizontal) {
        int span = std::max(0, track.width() - kThumbLength);
        return QStyle::sliderValueFromPosition(minimum(), maximum(),
                                               point.x() - track.left() - kThumbLength / 2, span);
    }
    int span = std::max(0, track.height() - kThumbLength);
    return QStyle::sliderValueFromPosition(minimum(), maximum(),
                                           point.y() - track.top() - kThumbLength / 2, span, true);
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
    const QRectF track = contentsRect();
    QRectF groove, done;
    if (orientation() == Qt::Horizontal) {
        qreal h = std::max(2.0, track.height() / 2), y = track.top() + (track.height() - h) / 2;
        groove = QRectF(track.left(), y, track.width(), h);
        done = QRectF(track.left(), y, thumb.center().x() - track.left(), h);
    } else {
        qreal w = std::max(2.0, track.width() / 3), x = track.left() + (track.width() - w) / 2;
        groove = QRectF(x, track.top(), w, track.height());
        done = QRectF(x, thumb.center().y(), w, track.bottom() + 1 - thumb.center().y());
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
