// A slider that doubles as the progress bar.
//
// Events, in the order the user causes them: a click on the bar beside the thumb (or a page
// key) raises stepBackward / stepForward before the bar moves one page, an arrow key or a turn
// of the wheel does the same for one line; a drag moves
// the thumb; releasing the left button raises leftButtonReleased. positionChanged follows
// every change of the position, also one the program writes, but not a write that leaves the
// position unchanged. The page is a fifth of the range and the line a hundredth, at least 1.
#pragma once

#include <QAbstractSlider>

namespace kivo::runtime {

class SuperBar : public QAbstractSlider {
    Q_OBJECT
public:
    explicit SuperBar(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);

    int position() const { return value(); }
    void setPosition(int position) { setValue(position); }
    void setMinimumValue(int minimum);
    void setMaximumValue(int maximum);

signals:
    void positionChanged(int position);
    void stepBackward();
    void stepForward();
    void leftButtonReleased();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    QRect thumbRect() const;
    int positionAt(QPoint point) const;
    void fitStepsToRange();
    void step(bool forward);

    bool dragging_ = false;
};

}  // namespace kivo::runtime
