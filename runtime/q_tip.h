// The balloon tip: a small window with simple HTML popped up at a screen point. It fades in to
// its opacity (100 - transparency percent), stays for its display time and fades out by
// itself. A pop-up replaces whatever the balloon shows.
#pragma once

#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <string>
#include <string_view>

class QTextDocument;

namespace kivo::runtime {

class QTip : public QWidget {
    Q_OBJECT
public:
    explicit QTip(QWidget* owner = nullptr);

    // `icon`: -1 for none (the only value the application passes).
    void popUp(int x, int y, std::string_view text, int icon = -1);
    // 0 opaque .. 100 invisible; takes effect at once on a balloon that shows.
    void setTransparency(int percent);
    int transparency() const { return transparency_; }
    void setDisplayTimeMs(int ms) { displayMs_ = ms; }
    // Whether the body goes above the point while the screen leaves room there (below is the
    // default), so a balloon can speak for a figure without covering it.
    void setPrefersAbove(bool above) { prefersAbove_ = above; }
    // Whether the body of the balloon that shows is below its point.
    bool isBelowPoint() const { return below_; }

    const std::string& text() const { return text_; }
    QPoint point() const { return point_; }
    // Whether a balloon is up (fading in, staying or fading out).
    bool isShowing() const { return phase_ != Phase::Hidden; }
    // The opacity the balloon is heading for while it shows.
    double targetOpacity() const { return (100 - transparency_) / 100.0; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    enum class Phase { Hidden, FadingIn, Staying, FadingOut };
    void stepFade();
    void showOpacity();
    void place();
    QRect screenArea() const;

    QTextDocument* body_;  // the text, laid out to the body's width
    QTimer fade_;
    QTimer stay_;
    Phase phase_ = Phase::Hidden;
    double opacity_ = 0;
    int transparency_ = 10;
    int displayMs_ = 6000;
    std::string text_;
    QPoint point_;
    bool below_ = true;  // body below the point (the stem points up)
    bool prefersAbove_ = false;
};

}  // namespace kivo::runtime
