// A colour drop-down: a swatch that opens a grid of colours. colourChosen carries 0xBBGGRR.
#pragma once

#include <QToolButton>
#include <cstdint>

namespace kivo::runtime {

class ColorPicker : public QToolButton {
    Q_OBJECT
public:
    explicit ColorPicker(QWidget* parent = nullptr);

    uint32_t colour() const { return colour_; }
    // What a pick by the user does: takes the colour and raises colourChosen.
    void pick(uint32_t bgr);

signals:
    void colourChosen(uint32_t bgr);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    uint32_t colour_ = 0;
};

}  // namespace kivo::runtime
