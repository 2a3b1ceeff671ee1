// A push button drawn from a normal picture and a hot (mouse-over) picture, with an optional
// caption over them and a tooltip. Without pictures it draws as a themed push button.
#pragma once

#include <QAbstractButton>
#include <string>
#include <string_view>

#include "picture.h"

namespace kivo::runtime {

class SuperBtn : public QAbstractButton {
    Q_OBJECT
public:
    explicit SuperBtn(QWidget* parent = nullptr);

    const std::string& caption() const { return caption_; }
    // A button of pictures only never paints its caption over them: the caption written into
    // it shows as its tooltip.
    void setPictureOnly(bool pictureOnly) { pictureOnly_ = pictureOnly; }
    void setCaption(std::string_view caption);
    void setNormalPicture(const QByteArray& bytes);
    void setHotPicture(const QByteArray& bytes);
    // The bytes last written, for byte-for-byte comparison.
    const QByteArray& normalPicture() const { return normal_.bytes(); }
    const QByteArray& hotPicture() const { return hot_.bytes(); }
    void setTooltip(std::string_view text);
    bool isHot() const { return hot_state_; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    std::string caption_;
    Picture normal_;
    Picture hot_;
    bool hot_state_ = false;
    bool pictureOnly_ = false;
};

// A picture-only button used as decoration: it shows its pictures and raises nothing the
// application uses.
class PicBtn : public SuperBtn {
    Q_OBJECT
public:
    explicit PicBtn(QWidget* parent = nullptr) : SuperBtn(parent) {}
};

}  // namespace kivo::runtime
