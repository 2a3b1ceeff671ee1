#include <gtest/gtest.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <utility>

#include "color_picker.h"
#include "combo_box.h"
#include "edit_box.h"
#include "html_viewer.h"
#include "label.h"
#include "pic_box.h"
#include "pumping_wait.h"
#include "q_tip.h"
#include "qt_app.h"
#include "scripted_dialogs.h"
#include "shape_box.h"
#include "super_btn.h"
#include "sys_volume.h"
#include "tick_timer.h"
#include "window_loader.h"

namespace kivo::runtime {
namespace {

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override { test::qtApp(); }
};

QByteArray imageBytes(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

TEST_F(ControlsTest, LabelKeepsCaptionBytesAndShowsThem) {
    Label label;
    label.setCaption("欢迎使用【Kivo-mp3播放器】");
    EXPECT_EQ(label.caption(), "欢迎使用【Kivo-mp3播放器】");
    EXPECT_EQ(label.text(), QStringLiteral("欢迎使用【Kivo-mp3播放器】"));
    std::string path = "/m/\xC4\xE3.mp3";  // not UTF-8: kept exactly for later comparisons
    label.setCaption(path);
    EXPECT_EQ(label.caption(), path);
    label.setTextColour(0x0000FF);  // 0xBBGGRR: red
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST_F(ControlsTest, ComboBoxOnlyTheUserRaisesSelectionAndTextOutOfRangeIsEmpty) {
    ComboBox combo;
    combo.setItems({"本地列表", "最爱歌曲", "欧美歌曲"});
    QSignalSpy chosen(&combo, &ComboBox::selectionChanged);
    combo.setCurrent(2);
    EXPECT_EQ(combo.current(), 2);
    combo.setCurrent(9);
    EXPECT_EQ(combo.current(), -1);
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_EQ(combo.itemTextAt(1), "最爱歌曲");
    EXPECT_EQ(combo.itemTextAt(3), "");
    EXPECT_EQ(combo.itemTextAt(-1), "");
    emit combo.activated(1);  // what a pick in the drop-down does
    EXPECT_EQ(chosen.count(), 1);
}

TEST_F(ControlsTest, EditBoxWritesRaiseContentChangedLikeTyping) {
    QWidget window;
    auto* edit = new EditBox(&window);
    QSignalSpy changed(edit, &EditBox::contentChanged);
    edit->setContent("查找列表歌曲");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(edit->content(), "查找列表歌曲");
    edit->setContent("查找列表歌曲");  // unchanged text: no change
    EXPECT_EQ(changed.count(), 1);
    edit->setContent("");
    EXPECT_EQ(changed.count(), 2);

    QSignalSpy got(edit, &EditBox::gotFocus);
    QSignalSpy lost(edit, &EditBox::lostFocus);
    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(edit, &in);
    QApplication::sendEvent(edit, &out);
    QFocusEvent popupOut(QEvent::FocusOut, Qt::PopupFocusReason);
    QFocusEvent popupIn(QEvent::FocusIn, Qt::PopupFocusReason);
    QApplication::sendEvent(edit, &popupOut);  // a menu over the field is no focus change
    QApplication::sendEvent(edit, &popupIn);
    EXPECT_EQ(got.count(), 1);
    EXPECT_EQ(lost.count(), 1);
}

TEST_F(ControlsTest, TimerTicksAtItsIntervalAndZeroStopsIt) {
    Timer timer;
    QSignalSpy ticks(&timer, &Timer::tick);
    timer.setIntervalMs(10);
    EXPECT_TRUE(timer.isRunning());
    pumpingWait(60);
    EXPECT_GE(ticks.count(), 2);
    timer.setIntervalMs(0);
    EXPECT_FALSE(timer.isRunning());
    int stoppedAt = ticks.count();
    pumpingWait(40);
    EXPECT_EQ(ticks.count(), stoppedAt);
}

TEST_F(ControlsTest, SuperBtnPicturesCaptionAndTooltip) {
    SuperBtn button;
    QByteArray speaker =
        pictureBytes(QStringLiteral(KIVO_TEST_DATA "/../../assets/pictures/speaker.gif"));
    ASSERT_FALSE(speaker.isEmpty());
    button.setNormalPicture(speaker);
    EXPECT_EQ(button.normalPicture(), speaker);  // byte for byte, as written
    button.setCaption("暂停");
    EXPECT_EQ(button.caption(), "暂停");
    button.setTooltip("扬声器：49%");
    EXPECT_EQ(button.toolTip(), QStringLiteral("扬声器：49%"));
    QSignalSpy clicked(&button, &SuperBtn::clicked);
    button.resize(25, 25);
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(ControlsTest, PicBoxAnimatesGifs) {
    PicBox still, moving;
    still.setPicture(
        pictureBytes(QStringLiteral(KIVO_TEST_DATA "/../../assets/pictures/discPicture.gif")));
    moving.setPicture(pictureBytes(
        QStringLiteral(KIVO_TEST_DATA "/../../assets/pictures/discPicture-turning.gif")));
    EXPECT_FALSE(still.isAnimated());
    EXPECT_TRUE(moving.isAnimated());
    still.setPicture({});
    EXPECT_TRUE(still.picture().isEmpty());
    // It turns while it shows, stands still while hidden (a minimised window), and turns again.
    moving.resize(64, 64);
    const auto turns = [&moving](int withinMs) {
        const QImage from = moving.grab().toImage();
        QElapsedTimer clock;
        for (clock.start(); clock.elapsed() < withinMs; pumpingWait(20)) {
            if (moving.grab().toImage() != from) return true;
        }
        return false;
    };
    moving.show();
    EXPECT_TRUE(turns(2000));
    moving.hide();
    EXPECT_FALSE(turns(300));
    moving.show();
    EXPECT_TRUE(turns(2000));
}

TEST_F(ControlsTest, KeyColouredPixelsShowThroughOnceTheWindowIsLayered) {
    QImage bitmap(4, 1, QImage::Format_RGB32);
    bitmap.setPixel(0, 0, qRgb(255, 255, 255));  // the key
    bitmap.setPixel(1, 0, qRgb(254, 254, 254));  // near white stays
    bitmap.setPixel(2, 0, qRgb(0, 0, 0));
    bitmap.setPixel(3, 0, qRgb(236, 236, 236));  // the web window's key
    LayeredWindow window(0xFFFFFF);
    auto* box = new PicBox(&window);
    box->resize(4, 1);
    box->setPicture(imageBytes(bitmap, "BMP"));
    auto render = [&] {
        QImage out(4, 1, QImage::Format_ARGB32);
        out.fill(Qt::transparent);
        box->render(&out, QPoint(), QRegion(), QWidget::DrawChildren);
        return out;
    };
    EXPECT_EQ(qAlpha(render().pixel(0, 0)), 255);  // not layered yet: drawn as it is
    window.makeLayered();
    QImage layered = render();
    EXPECT_EQ(qAlpha(layered.pixel(0, 0)), 0);
    EXPECT_EQ(layered.pixel(1, 0), qRgb(254, 254, 254));
    EXPECT_EQ(layered.pixel(2, 0), qRgb(0, 0, 0));
    EXPECT_EQ(qAlpha(layered.pixel(3, 0)), 255);
}

// Pictures shown before (a status shown frame by frame) come back as they were, keyed.
TEST_F(ControlsTest, StillPicturesSetAgainShowTheirOwnPixels) {
    QImage first(2, 1, QImage::Format_RGB32), second(2, 1, QImage::Format_RGB32);
    first.setPixel(0, 0, qRgb(255, 255, 255));
    first.setPixel(1, 0, qRgb(200, 0, 0));
    second.setPixel(0, 0, qRgb(0, 0, 0));
    second.setPixel(1, 0, qRgb(255, 255, 255));
    LayeredWindow window(0xFFFFFF);
    auto* box = new PicBox(&window);
    box->resize(2, 1);
    window.makeLayered();
    const auto shows = [&](const QImage& image) {
        box->setPicture(imageBytes(image, "BMP"));
        QImage out(2, 1, QImage::Format_ARGB32);
        out.fill(Qt::transparent);
        box->render(&out, QPoint(), QRegion(), QWidget::DrawChildren);
        return std::pair{out.pixel(0, 0), out.pixel(1, 0)};
    };
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(shows(first), std::pair(0u, qRgb(200, 0, 0)));
        EXPECT_EQ(shows(second), std::pair(qRgb(0, 0, 0), 0u));
    }
}

TEST_F(ControlsTest, LayeredShapeIsWhatTheWindowShows) {
    LayeredWindow window(0xFFFFFF);
    window.resize(100, 50);
    auto* box = new ShapeBox(&window);
    box->setGeometry(10, 10, 20, 20);
    box->setFillColour(0x000080);
    QImage white(8, 8, QImage::Format_RGB32);
    white.fill(Qt::white);
    white.setPixel(0, 0, qRgb(1, 2, 3));
    auto* pic = new PicBox(&window);
    pic->setGeometry(50, 10, 8, 8);
    pic->setPicture(imageBytes(white, "BMP"));
    window.makeLayered();
    QRegion shape = window.contentShape();
    EXPECT_TRUE(shape.contains(QPoint(15, 15)));   // the filled box
    EXPECT_FALSE(shape.contains(QPoint(5, 5)));    // bare background
    EXPECT_TRUE(shape.contains(QPoint(50, 10)));   // the picture's one coloured pixel
    EXPECT_FALSE(shape.contains(QPoint(54, 14)));  // its white: see-through
}

TEST_F(ControlsTest, ShapeBoxBorderColour) {
    ShapeBox box;
    box.setBorderColour(0x123456);
    EXPECT_EQ(box.borderColour(), 0x123456u);
}

TEST_F(ControlsTest, ColorPickerDeliversBgr) {
    ColorPicker picker;
    QSignalSpy chosen(&picker, &ColorPicker::colourChosen);
    picker.pick(0x00FF80);
    EXPECT_EQ(picker.colour(), 0x00FF80u);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].toUInt(), 0x00FF80u);
}

TEST_F(ControlsTest, BalloonPopsUpAtThePointFadesInStaysAndFadesOut) {
    QTip tip;
    EXPECT_EQ(tip.transparency(), 10);
    tip.setDisplayTimeMs(50);
    tip.popUp(500, 60, "呵呵~~~\r\n\r\n您已经切换到【最爱歌曲】列表！");
    EXPECT_TRUE(tip.isShowing());
    EXPECT_EQ(tip.text(), "呵呵~~~\r\n\r\n您已经切换到【最爱歌曲】列表！");
    EXPECT_EQ(tip.point(), QPoint(500, 60));
    EXPECT_DOUBLE_EQ(tip.targetOpacity(), 0.9);
    // A pop-up replaces what the balloon shows.
    tip.popUp(510, 70, "<b>HTML</b> text");
    EXPECT_EQ(tip.text(), "<b>HTML</b> text");
    for (int i = 0; i < 100 && tip.isShowing(); ++i) pumpingWait(20);
    EXPECT_FALSE(tip.isShowing());
    EXPECT_FALSE(tip.isVisible());
}

TEST_F(ControlsTest, BalloonRendersMarkupAndKeepsPlainTextAsItIs) {
    QTip tip;
    auto* body = tip.findChild<QTextDocument*>();
    ASSERT_NE(body, nullptr);
    tip.popUp(0, 0, "欢迎使用【Kivo-mp3播放器】      我就是Kivo\r\n\r\n哈哈~~>_<~~");
    EXPECT_EQ(body->toPlainText(),
              QStringLiteral("欢迎使用【Kivo-mp3播放器】      我就是Kivo\n\n哈哈~~>_<~~"));
    tip.popUp(0, 0, "<table><tr><td><b>Kivo</b></td></tr></table>\r\nv1");
    EXPECT_FALSE(body->toPlainText().contains(QStringLiteral("<b>")));
    EXPECT_TRUE(body->toPlainText().contains(QStringLiteral("Kivo")));
    EXPECT_TRUE(body->toPlainText().endsWith(QStringLiteral("v1")));
}

TEST_F(ControlsTest, FullyTransparentBalloonStillPopsUp) {
    QTip tip;
    tip.setTransparency(100);
    tip.popUp(10, 10, "silent");
    EXPECT_TRUE(tip.isShowing());
    EXPECT_DOUBLE_EQ(tip.targetOpacity(), 0.0);
    tip.setTransparency(150);
    EXPECT_EQ(tip.transparency(), 100);
}

TEST_F(ControlsTest, LoadingAnOpenWindowOnlyActivatesIt) {
    int made = 0, created = 0;
    WindowSlot slot([&] {
        ++made;
        auto* w = new LayeredWindow(0xFFFFFF);
        w->resize(290, 143);
        QObject::connect(w, &LayeredWindow::created, [&] { ++created; });
        return w;
    });
    LayeredWindow* first = slot.load();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    first->showMinimized();
    EXPECT_EQ(slot.load(), first);  // restored, no second copy, no second created event
    EXPECT_EQ(made, 1);
    EXPECT_EQ(created, 1);
    EXPECT_FALSE(first->isMinimized());
    QPointer<LayeredWindow> gone(first);
    slot.unload();
    EXPECT_FALSE(slot.isLoaded());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
    LayeredWindow* second = slot.load();
    EXPECT_EQ(made, 2);
    EXPECT_EQ(created, 2);
    slot.unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    (void)second;
}

TEST_F(ControlsTest, OwnedWindowGoesWithItsOwner) {
    auto* owner = new LayeredWindow(0xFFFFFF);
    WindowSlot slot([] { return new LayeredWindow(0xFFFFFF); });
    LayeredWindow* owned = slot.load(owner);
    ASSERT_NE(owned, nullptr);
    EXPECT_TRUE(owned->isWindow());
    EXPECT_EQ(owned->parentWidget(), owner);
    delete owner;
    EXPECT_FALSE(slot.isLoaded());
}

TEST_F(ControlsTest, SysVolumeWithoutMixerAndWithOne) {
    SysVolume none;
    EXPECT_EQ(none.selectLine(SysVolume::kSpeakers), 0);
    EXPECT_EQ(none.maximum(), 0u);
    EXPECT_EQ(none.setVolume(1, 1), 0);

    struct FakeMixer : VolumeMixer {
        std::vector<uint32_t>* set;
        explicit FakeMixer(std::vector<uint32_t>* s) : set(s) {}
        int selectLine(uint32_t code) override { return code == 4 ? 1 : 0; }
        uint32_t minimum() const override { return 0; }
        uint32_t maximum() const override { return 65535; }
        int setVolume(const std::vector<uint32_t>& v) override {
            *set = v;
            return 1;
        }
    };
    std::vector<uint32_t> set;
    setVolumeMixerFactory([&] { return std::make_unique<FakeMixer>(&set); });
    SysVolume volume;
    setVolumeMixerFactory(nullptr);
    EXPECT_EQ(volume.selectLine(SysVolume::kSpeakers), 1);
    EXPECT_EQ(volume.maximum(), 65535u);
    EXPECT_EQ(volume.setVolume(32767, 32767), 1);
    EXPECT_EQ(set, (std::vector<uint32_t>{32767, 32767}));
}

TEST_F(ControlsTest, HtmlViewerOffersTheDefaultBrowser) {
    if (HtmlViewer::rendersPages()) GTEST_SKIP() << "a web engine renders the page itself";
    ScriptedDialogs dialogs;
    HtmlViewer viewer;
    viewer.navigate("http://web.kugou.com/");
    EXPECT_EQ(viewer.address(), "http://web.kugou.com/");
    auto* open = viewer.findChild<QPushButton*>(QStringLiteral("openInBrowser"));
    ASSERT_NE(open, nullptr);
    open->click();
    ASSERT_EQ(dialogs.calls().size(), 1u);
    EXPECT_EQ(dialogs.calls()[0].kind, ScriptedDialogs::Kind::WebPage);
    EXPECT_EQ(dialogs.calls()[0].text, "http://web.kugou.com/");
}

}  // namespace
}  // namespace kivo::runtime
