#include "picture.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QMovie>
#include <QPainter>
#include <QWidget>
#include <algorithm>

#include "beat.h"
#include "layered_window.h"

namespace kivo::runtime {

namespace {

// Animations up to this many pixels over all their frames keep every frame decoded (the
// turning disc: 49 152; a dancing figure: about 90 000).
constexpr qint64 kMostCachedPixels = 1 << 20;
// Still pictures remembered per picture, and the largest one remembered (a button's face).
constexpr int kMostStills = 8;
constexpr qint64 kMostStillPixels = 1 << 16;

}  // namespace

QByteArray pictureBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

Picture::Picture(QObject* parent) : QObject(parent) {}

Picture::~Picture() = default;

void Picture::setBytes(const QByteArray& bytes) {
    if (!movie_ && bytes == bytes_) return;
    const QImage before = keyedFrame();
    if (!movie_) rememberStill();
    if (movie_) movie_->stop();
    QObject::disconnect(beat_);
    movie_.reset();
    buffer_.reset();
    bytes_ = bytes;
    frame_ = QImage();
    frameNumber_ = 0;
    keyedFrames_.clear();
    if (!bytes_.isEmpty() && !recallStill(bytes_)) read();
    keptOutline_ = sameOutline(before);
    emit changed();
}

void Picture::read() {
    QBuffer probe;
    probe.setData(bytes_);
    QImageReader reader(&probe);
    if (reader.supportsAnimation() && reader.imageCount() > 1) {
        buffer_ = std::make_unique<QBuffer>(&bytes_);
        buffer_->open(QIODevice::ReadOnly);
        movie_ = std::make_unique<QMovie>(buffer_.get());
        // A turning picture shows its frames again and again: small ones are decoded once.
        const QSize size = reader.size().expandedTo(QSize(0, 0));
        if (qint64(size.width()) * size.height() * reader.imageCount() <= kMostCachedPixels) {
            movie_->setCacheMode(QMovie::CacheAll);
        }
        connect(movie_.get(), &QMovie::frameChanged, this, [this] { takeFrame(); });
        if (reader.loopCount() < 0) {
            // Turning for ever: it steps on the beat, with whatever else moves.
            sinceStep_ = 0;
            movie_->jumpToNextFrame();
            beat_ = connect(&Beat::instance(), &Beat::tick, this, &Picture::step);
        } else {
            movie_->start();
        }
        takeFrame();
    } else {
        frame_ = reader.read();
    }
}

void Picture::setPaused(bool paused) {
    if (!movie_) return;
    if (movie_->state() == QMovie::NotRunning) {  // on the beat, or run its course
        if (paused) {
            QObject::disconnect(beat_);
        } else if (!beat_ && movie_->loopCount() < 0) {
            beat_ = connect(&Beat::instance(), &Beat::tick, this, &Picture::step);
        }
        return;
    }
    // An animation that has run its course stays at its last frame.
    const QMovie::MovieState from = paused ? QMovie::Running : QMovie::Paused;
    if (movie_->state() == from) movie_->setPaused(paused);
}

// A frame shorter than a beat lasts one beat (the disc's 70 ms frames turn at 10 a second);
// longer ones last their own time on average.
void Picture::step() {
    sinceStep_ += Beat::kMs;
    const int delay = movie_->nextFrameDelay();
    if (sinceStep_ < delay) return;
    sinceStep_ = delay < Beat::kMs ? 0 : sinceStep_ - delay;
    movie_->jumpToNextFrame();
}

void Picture::rememberStill() {
    if (frame_.isNull() || qint64(frame_.width()) * frame_.height() > kMostStillPixels) return;
    Still still{bytes_, frame_, {}, keyedWith_};
    if (!keyedFrames_.isEmpty()) still.keyed = keyedFrames_.front();
    stills_.prepend(std::move(still));
    if (stills_.size() > kMostStills) stills_.removeLast();
}

bool Picture::recallStill(const QByteArray& bytes) {
    const auto found = std::find_if(stills_.begin(), stills_.end(),
                                    [&](const Still& still) { return still.bytes == bytes; });
    if (found == stills_.end()) return false;
    frame_ = found->frame;
    keyedWith_ = found->keyedWith;
    if (!found->keyed.isNull()) keyedFrames_ = {found->keyed};
    stills_.erase(found);
    return true;
}

bool Picture::isAnimated() const {
    return movie_ != nullptr;
}

void Picture::takeFrame() {
    const QImage before = keyedFrame();
    frame_ = movie_->currentImage();
    // Frames kept decoded are the same on every round, and so is their keyed copy.
    if (movie_->cacheMode() == QMovie::CacheAll) {
        frameNumber_ = std::max(0, movie_->currentFrameNumber());
    } else {
        keyedFrames_.clear();
    }
    keptOutline_ = sameOutline(before);
    emit changed();
}

QImage Picture::keyedFrame() const {
    return drawnKeyed_ ? frame(true, keyedWith_) : QImage();
}

bool Picture::sameOutline(const QImage& before) const {
    const QImage now = keyedFrame();
    if (before.isNull() || now.size() != before.size()) return false;
    for (int y = 0; y < now.height(); ++y) {
        const auto* was = reinterpret_cast<const QRgb*>(before.constScanLine(y));
        const auto* is = reinterpret_cast<const QRgb*>(now.constScanLine(y));
        for (int x = 0; x < now.width(); ++x) {
            if ((qAlpha(was[x]) < 128) != (qAlpha(is[x]) < 128)) return false;
        }
    }
    return true;
}

QImage Picture::frame(bool keyed, QRgb key) const {
    if (!keyed || frame_.isNull()) return frame_;
    if (keyedWith_ != key) keyedFrames_.clear();
    keyedWith_ = key;
    drawnKeyed_ = true;
    if (keyedFrames_.size() <= frameNumber_) keyedFrames_.resize(frameNumber_ + 1);
    QImage& keyedFrame = keyedFrames_[frameNumber_];
    if (keyedFrame.isNull()) {
        keyedFrame = frame_.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < keyedFrame.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(keyedFrame.scanLine(y));
            for (int x = 0; x < keyedFrame.width(); ++x) {
                if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF)) line[x] = 0;
            }
        }
    }
    return keyedFrame;
}

void drawPicture(QPainter& painter, const QWidget* widget, const Picture& picture, QPoint at) {
    const LayeredWindow* window = LayeredWindow::of(widget);
    bool keyed = window && window->isLayered();
    QRgb key = window ? window->colourKey().rgb() : 0;
    painter.drawImage(at, picture.frame(keyed, key));
}

}  // namespace kivo::runtime
