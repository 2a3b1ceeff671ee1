// Pictures as the controls hold them: the image bytes (GIF, still or animated, or a bitmap)
// exactly as written, so two pictures can be compared byte for byte. Frames are drawn with
// the window's colour key see-through once the window is layered.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>

class QMovie;
class QBuffer;
class QPainter;
class QWidget;

namespace kivo::runtime {

// The bytes of a picture file or Qt resource (":/pictures/..."); empty when unreadable.
QByteArray pictureBytes(const QString& path);

// One picture and, for an animated GIF, its running animation.
class Picture : public QObject {
    Q_OBJECT
public:
    explicit Picture(QObject* parent = nullptr);
    ~Picture() override;

    // Empty bytes clear the picture. Animated GIFs start playing at once (again, when the
    // same animation is set anew); the same still picture again changes nothing.
    void setBytes(const QByteArray& bytes);
    // An animation that nobody can see stands still and goes on from there when resumed.
    void setPaused(bool paused);
    const QByteArray& bytes() const { return bytes_; }
    bool isNull() const { return frame_.isNull(); }
    bool isAnimated() const;
    QSize size() const { return frame_.size(); }
    // The current frame; pixels of `key` made see-through when `keyed`.
    QImage frame(bool keyed, QRgb key) const;
    // Whether the last change left every see-through pixel where it was (a turning disc's next
    // frame), once the picture has been drawn keyed.
    bool keptOutline() const { return keptOutline_; }

signals:
    void changed();

private:
    void read();
    void step();
    void takeFrame();
    QImage keyedFrame() const;
    bool sameOutline(const QImage& before) const;
    // Still pictures shown before are set again without decoding (a status shown frame by
    // frame, a button's faces).
    void rememberStill();
    bool recallStill(const QByteArray& bytes);

    struct Still {
        QByteArray bytes;
        QImage frame;
        QImage keyed;
        QRgb keyedWith = 0;
    };

    QByteArray bytes_;
    std::unique_ptr<QBuffer> buffer_;
    std::unique_ptr<QMovie> movie_;
    QImage frame_;
    int frameNumber_ = 0;
    QMetaObject::Connection beat_;  // while an endless animation steps on the beat
    int sinceStep_ = 0;             // ms on the beat since its frame came
    // The frames keyed so far, by frame number (one for a still picture).
    mutable QList<QImage> keyedFrames_;
    mutable QRgb keyedWith_ = 0;
    mutable bool drawnKeyed_ = false;
    bool keptOutline_ = false;
    QList<Still> stills_;  // the latest first
};

// Draws the picture at `at` in `widget`, keyed by the widget's layered window if it has one.
void drawPicture(QPainter& painter, const QWidget* widget, const Picture& picture, QPoint at);

}  // namespace kivo::runtime
