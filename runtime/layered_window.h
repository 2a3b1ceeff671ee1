// A top-level window without system frame whose colour key is see-through once it is made
// layered: the bare background (painted in the key colour) and every key-coloured pixel of
// its pictures let the desktop show. It can be dragged by its bare background.
//
// The see-through parts need a compositing window manager on X11; so that they are cut out
// without one too, the window's shape follows what it shows there.
#pragma once

#include <QColor>
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <cstdint>

namespace kivo::runtime {

class LayeredWindow : public QWidget {
    Q_OBJECT
public:
    // `colourKey` 0xRRGGBB: the background colour and the colour made see-through.
    explicit LayeredWindow(uint32_t colourKey, QWidget* owner = nullptr);

    void makeLayered();
    bool isLayered() const { return layered_; }
    QColor colourKey() const { return key_; }

    int left() const { return x(); }
    int top() const { return y(); }
    void setHeightPx(int height) { resize(width(), height); }
    void minimise() { showMinimized(); }

    // Where the window shows something: every pixel that is not see-through.
    QRegion contentShape() { return shapeWithin(rect()); }

    // The layered window that holds `widget`, or null.
    static const LayeredWindow* of(const QWidget* widget);
    // Repaints `widget`, whose looks changed only where it shows something (a turning
    // picture's next frame): the window's shape is not taken again for that repaint.
    static void repaintKeepingShape(QWidget* widget);

signals:
    // Raised once, after the window is first shown by loadWindow.
    void created();

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    QRegion shapeWithin(const QRect& area);
    void followShape();
    bool keepsShape(const QRegion& repainted) const;

    QTimer shapeTimer_;  // takes the shape once a repaint has settled
    QRegion shape_;      // what the window showed when the shape was last taken
    QRegion repainted_;  // where it has repainted since
    // Controls whose next repaint keeps the shape, and those of the repaint going on.
    QList<QPointer<QWidget>> keepingShape_;
    QList<QPointer<QWidget>> paintingKeepingShape_;
    bool takingShape_ = false;
    QColor key_;
    bool layered_ = false;
    bool followsShape_ = false;  // on X11, where the see-through parts are cut out by a shape
    QPoint dragOffset_;
};

}  // namespace kivo::runtime
