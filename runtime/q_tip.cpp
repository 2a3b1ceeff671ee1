#include "q_tip.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTextDocument>
#include <algorithm>

#include "qt_text.h"

namespace kivo::runtime {

namespace {

constexpr int kStem = 12;        // height of the stem that points at the point
constexpr int kStemOffset = 24;  // from the body's left edge to the stem's tip
constexpr int kMargin = 8;
constexpr int kMaxBodyWidth = 320;
constexpr int kFadeTickMs = 25;
constexpr double kFadeInStep = 0.12;   // per tick: about 200 ms to full
constexpr double kFadeOutStep = 0.06;  // about 400 ms to nothing
const QColor kPaper(0xFF, 0xFF, 0xE1);

// Markup is rendered; plain text keeps its runs of spaces and its line breaks.
void setBalloonText(QLabel& body, std::string_view text) {
    QString s = toQString(text);
    if (Qt::mightBeRichText(s)) {
        body.setTextFormat(Qt::RichText);
        s.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    } else {
        body.setTextFormat(Qt::PlainText);
        s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    body.setText(s);
}

}  // namespace

QTip::QTip(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus),
      body_(new QLabel(this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    body_->setWordWrap(true);
    body_->setStyleSheet(QStringLiteral("color: #202020; background: transparent;"));
    fade_.setInterval(kFadeTickMs);
    connect(&fade_, &QTimer::timeout, this, &QTip::stepFade);
    stay_.setSingleShot(true);
    connect(&stay_, &QTimer::timeout, this, [this] {
        phase_ = Phase::FadingOut;
        fade_.start();
    });
}

void QTip::popUp(int x, int y, std::string_view text, int) {
    text_ = text;
    point_ = QPoint(x, y);
    setBalloonText(*body_, text);
    // As wide as the longest line wants, up to the widest body; only longer lines wrap.
    body_->setWordWrap(false);
    const int width = std::min(body_->sizeHint().width(), kMaxBodyWidth);
    body_->setWordWrap(true);
    body_->resize(width, body_->heightForWidth(width));
    place();
    stay_.stop();
    if (phase_ == Phase::Hidden) opacity_ = 0;
    phase_ = Phase::FadingIn;
    setWindowOpacity(opacity_);
    show();
    raise();
    // Painted at once: on X11 a balloon that shrank for a shorter text kept showing the old
    // text, clipped, when its paint was only scheduled.
    repaint();
    fade_.start();
}

void QTip::setTransparency(int percent) {
    transparency_ = std::clamp(percent, 0, 100);
    if (phase_ == Phase::Staying) {
        opacity_ = targetOpacity();
        setWindowOpacity(opacity_);
    }
}

void QTip::place() {
    QSize bodySize = body_->size() + QSize(2 * kMargin, 2 * kMargin);
    QSize total(bodySize.width(), bodySize.height() + kStem);
    QScreen* screen = QGuiApplication::screenAt(point_);
    if (!screen) screen = QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 16, 1 << 16);
    const bool roomBelow = point_.y() + total.height() <= area.bottom();
    const bool roomAbove = point_.y() - total.height() >= area.top();
    below_ = prefersAbove_ ? !roomAbove : roomBelow || !roomAbove;
    int left = std::clamp(point_.x() - kStemOffset, area.left(),
                          std::max(area.left(), area.right() - total.width()));
    int top = below_ ? point_.y() : point_.y() - total.height();
    setGeometry(left, top, total.width(), total.height());
    body_->move(kMargin, kMargin + (below_ ? kStem : 0));
}

void QTip::stepFade() {
    double target = targetOpacity();
    if (phase_ == Phase::FadingIn) {
        opacity_ = std::min(target, opacity_ + kFadeInStep);
        if (opacity_ >= target) {
            opacity_ = target;
            phase_ = Phase::Staying;
            fade_.stop();
            stay_.start(displayMs_);
        }
    } else if (phase_ == Phase::FadingOut) {
        opacity_ = std::max(0.0, opacity_ - kFadeOutStep);
        if (opacity_ <= 0) {
            phase_ = Phase::Hidden;
            fade_.stop();
            hide();
        }
    } else {
        fade_.stop();
    }
    setWindowOpacity(opacity_);
}

void QTip::mousePressEvent(QMouseEvent*) {
    if (phase_ == Phase::Hidden) return;
    stay_.stop();
    phase_ = Phase::FadingOut;
    fade_.start();
}

void QTip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF body(0.5, (below_ ? kStem : 0) + 0.5, width() - 1.0, height() - kStem - 1.0);
    QPainterPath path;
    path.addRoundedRect(body, 8, 8);
    int tipX = std::clamp(point_.x() - x(), 12, width() - 12);
    QPainterPath stem;
    if (below_) {
        stem.moveTo(tipX, 0.5);
        stem.lineTo(tipX + 6, body.top() + 1);
        stem.lineTo(tipX + 18, body.top() + 1);
    } else {
        stem.moveTo(tipX, height() - 0.5);
        stem.lineTo(tipX + 6, body.bottom() - 1);
        stem.lineTo(tipX + 18, body.bottom() - 1);
    }
    stem.closeSubpath();
    path = path.united(stem);
    painter.setPen(QPen(QColor(0x76, 0x76, 0x76), 1));
    painter.setBrush(kPaper);
    painter.drawPath(path);
}

}  // namespace kivo::runtime
