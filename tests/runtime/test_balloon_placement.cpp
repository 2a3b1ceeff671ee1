// Where a balloon's body goes: below its point by default, above it when asked and the screen
// leaves room, and always on the screen.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "q_tip.h"
#include "qt_app.h"

namespace kivo::runtime {
namespace {

TEST(BalloonPlacement, BelowByDefaultAboveWhenAskedAndThereIsRoom) {
    test::qtApp();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint middle = screen.center();
    QTip tip;
    tip.popUp(middle.x(), middle.y(), "人生如梦，我总失眠；\r\n\r\n人生如戏，我总笑场；");
    EXPECT_TRUE(tip.isBelowPoint());
    EXPECT_GE(tip.geometry().top(), middle.y());

    tip.setPrefersAbove(true);
    tip.popUp(middle.x(), middle.y(), "人生如梦，我总失眠；\r\n\r\n人生如戏，我总笑场；");
    EXPECT_FALSE(tip.isBelowPoint());
    EXPECT_LE(tip.geometry().bottom(), middle.y());

    // No room above the top edge: below after all, still on the screen.
    tip.popUp(middle.x(), screen.top() + 5, "摇啊摇，摇到奈何桥");
    EXPECT_TRUE(tip.isBelowPoint());
    EXPECT_GE(tip.geometry().top(), screen.top());

    // No room below the bottom edge by default: above.
    tip.setPrefersAbove(false);
    tip.popUp(middle.x(), screen.bottom() - 5, "摇啊摇，摇到奈何桥");
    EXPECT_FALSE(tip.isBelowPoint());
    EXPECT_LE(tip.geometry().bottom(), screen.bottom());
}

}  // namespace
}  // namespace kivo::runtime

namespace kivo::runtime {
namespace {

TEST(BalloonPlacement, ShortLinesStayWholeLongOnesWrapAtTheWidestBody) {
    test::qtApp();
    QTip tip;
    tip.popUp(100, 100, "摇啊摇，摇到奈何桥");
    const int oneLine = tip.height();
    const int shortWidth = tip.width();
    tip.popUp(100, 100, "摇啊摇，\r\n摇到奈何桥");
    EXPECT_GT(tip.height(), oneLine) << "the short line must not have wrapped";
    EXPECT_LT(tip.width(), shortWidth);
    std::string longLine;
    for (int i = 0; i < 8; ++i) longLine += "如果这都不算爱，那我宁愿卖白菜。";
    tip.popUp(100, 100, longLine);
    EXPECT_EQ(tip.width(), 320 + 2 * 8);
    EXPECT_GT(tip.height(), 2 * oneLine);
}

}  // namespace
}  // namespace kivo::runtime
