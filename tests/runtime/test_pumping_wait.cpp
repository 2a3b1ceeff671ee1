#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "pumping_wait.h"
#include "qt_app.h"

namespace kivo::runtime {
namespace {

class PumpingWaitTest : public ::testing::Test {
protected:
    void SetUp() override { test::qtApp(); }
};

TEST_F(PumpingWaitTest, ZeroOrLessReturnsWithoutHandlingAnything) {
    int ran = 0;
    QMetaObject::invokeMethod(
        &test::qtApp(), [&] { ++ran; }, Qt::QueuedConnection);
    pumpingWait(0);
    pumpingWait(-5);
    EXPECT_EQ(ran, 0);
    processPendingEvents();
    EXPECT_EQ(ran, 1);
}

TEST_F(PumpingWaitTest, HandlesEventsWhileItWaitsAndWaitsItsTime) {
    int ran = 0;
    QMetaObject::invokeMethod(
        &test::qtApp(), [&] { ++ran; }, Qt::QueuedConnection);
    QTimer::singleShot(20, [&] { ++ran; });
    QElapsedTimer clock;
    clock.start();
    pumpingWait(80);
    EXPECT_GE(clock.elapsed(), 79);
    EXPECT_EQ(ran, 2);
}

TEST_F(PumpingWaitTest, TheWaitingHandlerRunsAgainInsideItsOwnWait) {
    // A second click on the button whose handler waits is handled during the wait.
    QPushButton button;
    std::vector<std::string> trace;
    int depth = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        int me = ++depth;
        trace.push_back("start " + std::to_string(me));
        if (me == 1) QTimer::singleShot(10, &button, [&] { button.click(); });
        pumpingWait(me == 1 ? 60 : 5);
        trace.push_back("end " + std::to_string(me));
    });
    button.click();
    EXPECT_EQ(trace, (std::vector<std::string>{"start 1", "start 2", "end 2", "end 1"}));
}

TEST_F(PumpingWaitTest, PendingEventsWithoutWaitingForMore) {
    int ran = 0;
    QTimer::singleShot(50, [&] { ++ran; });
    QElapsedTimer clock;
    clock.start();
    processPendingEvents();
    EXPECT_LT(clock.elapsed(), 50);
    EXPECT_EQ(ran, 0);
    pumpingWait(100);
    EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace kivo::runtime
