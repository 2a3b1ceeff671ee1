#include <gtest/gtest.h>

#include <QTest>
#include <QWheelEvent>

#include "qt_app.h"
#include "super_bar.h"

namespace kivo::runtime {
namespace {

class SuperBarTest : public ::testing::Test {
protected:
    QApplication& app_ = test::qtApp();  // before any widget member
    void SetUp() override {
        bar.setGeometry(0, 0, 320, 5);
        bar.setMaximumValue(100);
        QObject::connect(&bar, &SuperBar::stepBackward,
                         [&] { trace.push_back("back at " + std::to_string(bar.position())); });
        QObject::connect(&bar, &SuperBar::stepForward,
                         [&] { trace.push_back("forward at " + std::to_string(bar.position())); });
        QObject::connect(&bar, &SuperBar::leftButtonReleased,
                         [&] { trace.push_back("released at " + std::to_string(bar.position())); });
        QObject::connect(&bar, &SuperBar::positionChanged,
                         [&](int p) { trace.push_back("position " + std::to_string(p)); });
        bar.show();
    }
    SuperBar bar;
    std::vector<std::string> trace;
};

TEST_F(SuperBarTest, ProgramWritesRaisePositionChangedOnlyOnChange) {
    bar.setPosition(37);
    bar.setPosition(37);
    bar.setPosition(0);
    EXPECT_EQ(trace, (std::vector<std::string>{"position 37", "position 0"}));
}

TEST_F(SuperBarTest, ClickBeforeTheThumbStepsBackBeforeMovingThenReleases) {
    bar.setPosition(50);
    trace.clear();
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(10, 2));
    ASSERT_EQ(trace.size(), 3u);
    EXPECT_EQ(trace[0], "back at 50");  // the handler sees the position before the step
    EXPECT_EQ(trace[1], "position 30");
    EXPECT_EQ(trace[2], "released at 30");
}

TEST_F(SuperBarTest, ClickAfterTheThumbStepsForward) {
    bar.setPosition(10);
    trace.clear();
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(300, 2));
    EXPECT_EQ(trace, (std::vector<std::string>{"forward at 10", "position 30", "released at 30"}));
}

TEST_F(SuperBarTest, DraggingTheThumbThenRelease) {
    bar.setPosition(0);
    trace.clear();
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(4, 2));
    QTest::mouseMove(&bar, QPoint(160, 2));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(160, 2));
    ASSERT_GE(trace.size(), 2u);
    EXPECT_EQ(trace.front().rfind("position ", 0), 0u);
    EXPECT_EQ(trace.back().rfind("released at ", 0), 0u);
    EXPECT_NEAR(bar.position(), 50, 2);
    for (const auto& t : trace) EXPECT_EQ(t.find("back"), std::string::npos);
}

TEST_F(SuperBarTest, KeysStepBeforeTheyMove) {
    bar.setPosition(40);
    trace.clear();
    bar.setFocus();
    QTest::keyClick(&bar, Qt::Key_Right);
    QTest::keyClick(&bar, Qt::Key_Left);
    EXPECT_EQ(trace, (std::vector<std::string>{"forward at 40", "position 41", "back at 41",
                                               "position 40"}));
}

TEST_F(SuperBarTest, WheelStepsBeforeItMoves) {
    bar.setPosition(40);
    trace.clear();
    QWheelEvent up(QPointF(100, 2), bar.mapToGlobal(QPointF(100, 2)), {}, QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&bar, &up);
    EXPECT_EQ(trace, (std::vector<std::string>{"forward at 40", "position 41"}));
}

TEST_F(SuperBarTest, RangeAndVerticalMaximumAtTheTop) {
    SuperBar volume(Qt::Vertical);
    volume.setGeometry(0, 0, 15, 150);
    volume.setMaximumValue(65535);
    volume.setMinimumValue(0);
    volume.setPosition(32767);
    EXPECT_EQ(volume.position(), 32767);
    EXPECT_EQ(volume.pageStep(), 13107);
    volume.show();
    QTest::mouseClick(&volume, Qt::LeftButton, {}, QPoint(7, 3));
    EXPECT_EQ(volume.position(), 32767 + 13107);
    // A turn of the wheel moves by a hundredth of the range, one percent of the volume.
    QWheelEvent up(QPointF(7, 70), volume.mapToGlobal(QPointF(7, 70)), {}, QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&volume, &up);
    EXPECT_EQ(volume.position(), 32767 + 13107 + 655);
    volume.setPosition(70000);
    EXPECT_EQ(volume.position(), 65535);
}

}  // namespace
}  // namespace kivo::runtime
