// A picture: still or animated GIF, or a bitmap. An animation stands still while the box
// cannot be seen.
#pragma once

#include <QWidget>

#include "picture.h"

namespace kivo::runtime {

class PicBox : public QWidget {
    Q_OBJECT
public:
    explicit PicBox(QWidget* parent = nullptr);

    void setPicture(const QByteArray& bytes);
    const QByteArray& picture() const { return picture_.bytes(); }
    bool isAnimated() const { return picture_.isAnimated(); }

protected:
    void paintEvent(QPaintEvent* e) override;
    // Also when its window is minimised and restored.
    void hideEvent(QHideEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    Picture picture_;
};

}  // namespace kivo::runtime
