#include "super_btn.h"

#include <QPainter>
#include <QStyleOptionButton>

#include "qt_text.h"

namespace kivo::runtime {

SuperBtn::SuperBtn(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    connect(&normal_, &Picture::changed, this, qOverload<>(&QWidget::update));
    connect(&hot_, &Picture::changed, this, qOverload<>(&QWidget::update));
}

void SuperBtn::setCaption(std::string_view caption) {
    caption_ = caption;
    setText(toQString(caption));
    if (pictureOnly_) setToolTip(text());
    update();
}

void SuperBtn::setNormalPicture(const QByteArray& bytes) {
    normal_.setBytes(bytes);
}

void SuperBtn::setHotPicture(const QByteArray& bytes) {
    hot_.setBytes(bytes);
}

void SuperBtn::setTooltip(std::string_view text) {
    setToolTip(toQString(text));
}

void SuperBtn::enterEvent(QEnterEvent* e) {
    hot_state_ = true;
    update();
    QAbstractButton::enterEvent(e);
}

void SuperBtn::leaveEvent(QEvent* e) {
    hot_state_ = false;
    update();
    QAbstractButton::leaveEvent(e);
}

void SuperBtn::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Picture& face = hot_state_ && !hot_.isNull() ? hot_ : normal_;
    if (face.isNull()) {
        QStyleOptionButton option;
        option.initFrom(this);
        option.text = pictureOnly_ ? QString() : text();
        if (isDown()) option.state |= QStyle::State_Sunken;
        style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
        return;
    }
    QSize size = face.size();
    QPoint at((width() - size.width()) / 2, (height() - size.height()) / 2);
    if (isDown()) at += QPoint(1, 1);
    drawPicture(painter, this, face, at);
    if (!caption_.empty() && !pictureOnly_) {
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(rect().translated(isDown() ? QPoint(1, 1) : QPoint()), Qt::AlignCenter,
                         text());
    }
}

}  // namespace kivo::runtime
