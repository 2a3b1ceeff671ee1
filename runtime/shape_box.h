// A plain rectangle with a border line that contains other controls.
#pragma once

#include <QColor>
#include <QWidget>

namespace kivo::runtime {

class ShapeBox : public QWidget {
    Q_OBJECT
public:
    explicit ShapeBox(QWidget* parent = nullptr);

    void setBorderColour(uint32_t bgr);
    uint32_t borderColour() const;
    // The inside; transparent (the window shows through) until set.
    void setFillColour(uint32_t bgr);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QColor border_;
    QColor fill_;
};

}  // namespace kivo::runtime
