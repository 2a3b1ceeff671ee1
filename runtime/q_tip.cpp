#include "q_tip.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "flush_window_system.h"
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
const QColor kInk(0x20, 0x20, 0x20);

// Markup is rendered; plain text keeps its runs of spaces and its line breaks.
void setBalloonText(QTextDocument& body, std::string_view text) {
    QString s = toQString(text);
    if (Qt::mightBeRichText(s)) {
        body.setHtml(s.replace(QStringLiteral("\r\n"), QStringLiteral("<br>")));
    } else {
        body.setPlainText(s.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }
}

}  // namespace

QTip::QTip(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus),
      body_(new QTextDocument(this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    body_->setDocumentMargin(0);
    // A word wider than the body (a file name, Chinese text) breaks anywhere rather than being
    // cut off at the edge.
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    body_->setDefaultTextOption(wrap);
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
    body_->setDefaultFont(font());
    setBalloonText(*body_, text);
    // As wide as the longest line wants, up to the widest body; only longer lines wrap.
    body_->setTextWidth(-1);
    body_->setTextWidth(std::min(std::ceil(body_->idealWidth()), qreal(kMaxBodyWidth)));
    // A message too long for the screen at that width takes the screen's width instead.
    const QRect area = screenArea();
    if (body_->size().height() + 2 * kMargin + kStem > area.height()) {
        body_->setTextWidth(area.width() - 2 * kMargin);
    }
    place();
    stay_.stop();
    if (phase_ == Phase::Hidden) opacity_ = 0;
    phase_ = Phase::FadingIn;
    showOpacity();
    show();
    raise();
    // Painted at once: on X11 a balloon that shrank for a shorter text kept showing the old
    // text, clipped, when its paint was only scheduled.
    repaint();
    fade_.start();
}

void QTip::showOpacity() {
    setWindowOpacity(opacity_);
    // The window system hears of a new opacity only when the X connection is flushed, which Qt
    // does when it next handles X events: a fade step run by a timer alone waited for the next
    // input event, and the balloon stayed faint or unseen until the mouse moved.
    flushWindowSystem();
}

void QTip::setTransparency(int percent) {
    transparency_ = std::clamp(percent, 0, 100);
    if (phase_ == Phase::Staying) {
        opacity_ = targetOpacity();
        showOpacity();
    }
}

QRect QTip::screenArea() const {
    QScreen* screen = QGuiApplication::screenAt(point_);
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1 << 16, 1 << 16);
}

void QTip::place() {
    const QSizeF text = body_->size();
    QSize bodySize(int(std::ceil(text.width())) + 2 * kMargin,
                   int(std::ceil(text.height())) + 2 * kMargin);
    QSize total(bodySize.width(), bodySize.height() + kStem);
    const QRect area = screenArea();
    const bool roomBelow = point_.y() + total.height() <= area.bottom();
    const bool roomAbove = point_.y() - total.height() >= area.top();
    below_ = prefersAbove_ ? !roomAbove : roomBelow || !roomAbove;
    int left = std::clamp(point_.x() - kStemOffset, area.left(),
                          std::max(area.left(), area.right() - total.width()));
    int top = std::max(area.top(), below_ ? point_.y() : point_.y() - total.height());
    setGeometry(left, top, total.width(), total.height());
}

void QTip::stepFade() {
    double target = targetOpacity();
    if (phase_ == Phase::FadingIn) {
        // Above the window it speaks for, also when that window was raised after the pop-up
        // (a click activates it; without a window manager activating raises it).
        raise();
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
    showOpacity();
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

    painter.translate(kMargin, kMargin + (below_ ? kStem : 0));
    QAbstractTextDocumentLayout::PaintContext text;
    text.palette.setColor(QPalette::Text, kInk);
    body_->documentLayout()->draw(&painter, text);
}

}  // namespace kivo::runtime
