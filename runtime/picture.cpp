#include "picture.h"

#include <QBuffer>
#include <QFile>
#include <QMovie>
#include <QPainter>
#include <QWidget>

#include "layered_window.h"

namespace kivo::runtime {

QByteArray pictureBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

Picture::Picture(QObject* parent) : QObject(parent) {}

Picture::~Picture() = default;

void Picture::setBytes(const QByteArray& bytes) {
    if (movie_) movie_->stop();
    movie_.reset();
    buffer_.reset();
    bytes_ = bytes;
    frame_ = QImage();
    keyedFrame_ = QImage();
    if (!bytes_.isEmpty()) {
        buffer_ = std::make_unique<QBuffer>(&bytes_);
        buffer_->open(QIODevice::ReadOnly);
        movie_ = std::make_unique<QMovie>(buffer_.get());
        if (movie_->isValid() && movie_->frameCount() > 1) {
            connect(movie_.get(), &QMovie::frameChanged, this, [this] { takeFrame(); });
            movie_->start();
        } else {
            movie_.reset();
            buffer_.reset();
            frame_ = QImage::fromData(bytes_);
        }
        if (movie_) takeFrame();
    }
    emit changed();
}

bool Picture::isAnimated() const {
    return movie_ != nullptr;
}

void Picture::takeFrame() {
    frame_ = movie_->currentImage();
    keyedFrame_ = QImage();
    emit changed();
}

QImage Picture::frame(bool keyed, QRgb key) const {
    if (!keyed || frame_.isNull()) return frame_;
    if (keyedFrame_.isNull() || keyedWith_ != key) {
        keyedFrame_ = frame_.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < keyedFrame_.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(keyedFrame_.scanLine(y));
            for (int x = 0; x < keyedFrame_.width(); ++x) {
                if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF)) line[x] = 0;
            }
        }
        keyedWith_ = key;
    }
    return keyedFrame_;
}

void drawPicture(QPainter& painter, const QWidget* widget, const Picture& picture, QPoint at) {
    const LayeredWindow* window = LayeredWindow::of(widget);
    bool keyed = window && window->isLayered();
    QRgb key = window ? window->colourKey().rgb() : 0;
    painter.drawImage(at, picture.frame(keyed, key));
}

}  // namespace kivo::runtime
