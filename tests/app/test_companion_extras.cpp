// The companion's extras: the messages switch, the dancing animation and its joke sequence,
// the colour settings, the help window and the web music window.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <atomic>

#include "animation_show.h"
#include "app_fixture.h"
#include "colour_settings.h"
#include "companion_switches.h"
#include "device/wave_out_device.h"
#include "help_window.h"
#include "other_windows.h"
#include "play_sound.h"
#include "pumping_wait.h"
#include "skin.h"
#include "web_player.h"

namespace kivo {
namespace {

class CompanionTest : public AppTest {
protected:
    AnimationWindow* animation() {
        return qobject_cast<AnimationWindow*>(kivo_->animationWindow().window());
    }
    FeedbackWindow* feedback() {
        return qobject_cast<FeedbackWindow*>(kivo_->feedbackWindow().window());
    }
    WebPlayerWindow* webPlayer() {
        return qobject_cast<WebPlayerWindow*>(kivo_->webPlayerWindow().window());
    }
    // Lets the windows that were unloaded go.
    void settle() { runtime::pumpingWait(50); }
};

// --- messages switch -------------------------------------------------------------------------

const std::string kFarewell =
    " 呜呜呜呜~~~555~~~....\r\n\r\n我无私为您服务！现在竟抛弃我！I 恨 you！";
const std::string kGreeting = "↖(^ω^)↗     哈哈哈哈~~~~\r\n\r\n我又可以为您服务了！oh~Yeah~";

TEST_F(CompanionTest, MessagesOffShowTheFarewellForASecondThenTurnInvisible) {
    MainWindow& w = window();
    int transparencyMeanwhile = -1;
    QTimer::singleShot(500, [&] { transparencyMeanwhile = w.tipBalloon->transparency(); });
    QElapsedTimer clock;
    clock.start();
    w.tipsButton->click();
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_EQ(transparencyMeanwhile, 10);
    EXPECT_EQ(w.tipBalloon->transparency(), 100);
    EXPECT_EQ(balloonText(), kFarewell);
    EXPECT_EQ(w.tipsButton->caption(), "打开提示 ◇");
    EXPECT_EQ(w.tipsStatusLabel->caption(), "提示 ╳");

    // Still popped up, only invisible.
    w.playlistToggleButton->click();
    EXPECT_EQ(balloonText(), "呵呵~~已关闭播放列表了\r\n\r\n可以再次点击打开哦！");
    EXPECT_TRUE(w.tipBalloon->isShowing());
    EXPECT_EQ(w.tipBalloon->targetOpacity(), 0.0);

    w.tipsButton->click();
    EXPECT_EQ(w.tipBalloon->transparency(), 10);
    EXPECT_EQ(balloonText(), kGreeting);
    EXPECT_EQ(w.tipsButton->caption(), "关闭提示 ╳");
    EXPECT_EQ(w.tipsStatusLabel->caption(), "提示 √");
}

TEST_F(CompanionTest, MessagesBackOnDuringTheFarewellStayVisible) {
    MainWindow& w = window();
    QTimer::singleShot(300, [&] { w.tipsButton->click(); });
    w.tipsButton->click();
    EXPECT_EQ(w.tipsButton->caption(), "关闭提示 ╳");
    EXPECT_EQ(w.tipBalloon->transparency(), 10) << "switched on again: must stay visible";
    EXPECT_EQ(balloonText(), kGreeting);
}

TEST_F(CompanionTest, MessagesSwitchLeavesTheOtherBalloonsAlone) {
    MainWindow& w = window();
    w.tipsButton->click();
    ASSERT_EQ(w.tipBalloon->transparency(), 100);
    w.helpButton->click();
    ASSERT_NE(feedback(), nullptr);
    feedback()->aboutButton->click();
    EXPECT_EQ(feedback()->feedbackBalloon->transparency(), 10);
    EXPECT_TRUE(feedback()->feedbackBalloon->isShowing());
    w.animationButton->click();
    ASSERT_NE(animation(), nullptr);
    EXPECT_EQ(animation()->animationBalloon->transparency(), 10);
    EXPECT_TRUE(animation()->animationBalloon->isShowing());
}

// --- animation -------------------------------------------------------------------------------

TEST_F(CompanionTest, AnimationWindowOpensLayeredWithTheLastLineAndAFiveSecondTimer) {
    MainWindow& w = window();
    w.animationButton->click();
    EXPECT_EQ(balloonText(), "亲~~~有Kivo为您表演和唱歌，\r\n\r\n有木有高兴呢，呵呵呵.....");
    AnimationWindow* a = animation();
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->isLayered());
    EXPECT_EQ(a->colourKey(), QColor(Qt::white));
    EXPECT_EQ(a->parentWidget(), &w) << "owned by the main window";
    EXPECT_EQ(a->jokeTimer->intervalMs(), 5000);
    EXPECT_EQ(a->animationBalloon->text(), kJokeSteps[14].line);
    EXPECT_EQ(a->animationBalloon->point(), QPoint(a->left() + 103 / 2, a->top() + 18));
}

TEST_F(CompanionTest, SwitchedOffBeforeTheFirstTickTheWindowClosesWithoutAJoke) {
    MainWindow& w = window();
    w.animationButton->click();
    AnimationWindow* a = animation();
    ASSERT_NE(a, nullptr);
    w.animationButton->click();
    EXPECT_EQ(w.animationButton->caption(), "打开动画 ◇");
    EXPECT_EQ(w.animationStatusLabel->caption(), "动画 ╳");
    EXPECT_EQ(balloonText(),
              " ＜（－︿－）＞   好吧！我知道自己唱得不好也跳得不好！\r\n\r\n"
              "有带这样伤我心的吗？我容易吗？不理你了！哼~~~~呜呜~~~");
    EXPECT_TRUE(kivo_->animationWindow().isLoaded()) << "only the sequence closes the window";
    const QPoint before = a->pos();
    // What the figure says and where it stands right after the tick's handler.
    std::string said;
    QPoint at;
    QObject::connect(a->jokeTimer, &runtime::Timer::tick, a, [&] {
        said = a->animationBalloon->text();
        at = a->pos();
    });
    QElapsedTimer clock;
    clock.start();
    while (kivo_->animationWindow().isLoaded() && clock.elapsed() < 8000) runtime::pumpingWait(50);
    EXPECT_FALSE(kivo_->animationWindow().isLoaded()) << "the first tick closes it";
    EXPECT_GE(clock.elapsed(), 4000) << "at the first tick, not before";
    EXPECT_LT(clock.elapsed(), 6500);
    EXPECT_EQ(said, kJokeSteps[14].line) << "no joke line after the greeting";
    EXPECT_EQ(at, before) << "no dance step";
}

TEST_F(CompanionTest, SequenceLeavesAWindowThatWentMeanwhileAlone) {
    MainWindow& w = window();
    w.animationButton->click();
    AnimationWindow* a = animation();
    ASSERT_NE(a, nullptr);
    // The window goes while the first line shows (as when the program ends).
    QTimer::singleShot(300, [&] { kivo_->animationWindow().unload(); });
    emit a->jokeTimer->tick();
    settle();
    EXPECT_FALSE(kivo_->animationWindow().isLoaded());
    EXPECT_EQ(w.animationButton->caption(), "关闭动画 ╳");
}

TEST_F(CompanionTest, JokeSequenceDancesAroundAndOffAndOnAgainWithinADelayKeepsIt) {
    MainWindow& w = window();
    w.animationButton->click();
    AnimationWindow* a = animation();
    ASSERT_NE(a, nullptr);
    struct Seen {
        std::string line;
        QByteArray picture;
        QPoint at;
        QPoint balloon;
        bool loaded = false;
    } first, second;
    auto look = [&](Seen& seen) {
        seen.loaded = kivo_->animationWindow().isLoaded();
        if (!seen.loaded) return;
        seen.line = a->animationBalloon->text();
        seen.picture = a->animationPicture->picture();
        seen.at = a->pos();
        seen.balloon = a->animationBalloon->point();
    };
    QTimer::singleShot(200, [&] { look(first); });
    // Off and on again within the first line's three seconds: no new window, no new timer.
    QTimer::singleShot(700, [&] { w.animationButton->click(); });
    QTimer::singleShot(1200, [&] { w.animationButton->click(); });
    QTimer::singleShot(1300, [&] { EXPECT_FALSE(a->jokeTimer->isRunning()); });
    QTimer::singleShot(3400, [&] {
        look(second);
        w.animationButton->click();  // off for good: the sequence stops after this line
    });
    emit a->jokeTimer->tick();  // the five-second tick, without waiting for it
    EXPECT_EQ(first.line, kJokeSteps[0].line);
    EXPECT_EQ(first.picture, skinPicture("dance01.gif"));
    EXPECT_EQ(first.balloon, first.at + QPoint(103 / 2, 18));
    const int screenW = runtime::screenWidth(), screenH = runtime::screenHeight();
    for (const Seen* seen : {&first, &second}) {
        EXPECT_GE(seen->at.x(), 20);
        EXPECT_LE(seen->at.x(), screenW - 30);
        EXPECT_GE(seen->at.y(), 20);
        EXPECT_LE(seen->at.y(), screenH - 50);
    }
    ASSERT_TRUE(second.loaded) << "off and on within one delay must keep the window";
    EXPECT_EQ(second.line, kJokeSteps[1].line);
    EXPECT_EQ(second.picture, skinPicture("dance02.gif"));
    EXPECT_NE(second.at, first.at);
    settle();
    EXPECT_FALSE(kivo_->animationWindow().isLoaded());
}

TEST(JokeSteps, KeptPicturesAndTheLongDelays) {
    int pictures = 0, total = 0;
    for (const JokeStep& step : kJokeSteps) {
        if (step.picture != 0) {
            EXPECT_EQ(step.picture, ++pictures);
        }
        total += step.delayMs;
    }
    EXPECT_EQ(pictures, 13);
    EXPECT_EQ(kJokeSteps[10].picture, 0);
    EXPECT_EQ(kJokeSteps[12].picture, 0);
    EXPECT_EQ(total, 47000);
    // The last paragraph of the last line starts with seventeen spaces.
    EXPECT_NE(kJokeSteps[14].line.find("\r\n\r\n                 刚"), std::string_view::npos);
}

// --- colours -------------------------------------------------------------------------------

class ColourTest : public CompanionTest {
protected:
    void chooseItem(int index) {
        window().colorItemCombo->setCurrent(index);
        colourItemChosen(*kivo_);
    }
    static QColor qcolour(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, bgr >> 16); }
};

TEST_F(ColourTest, ItemsAndTheirMessages) {
    runtime::ComboBox& combo = *window().colorItemCombo;
    EXPECT_EQ(combo.current(), -1);
    ASSERT_EQ(combo.count(), 7);
    EXPECT_EQ(combo.itemTextAt(1), "----------------");
    chooseItem(4);
    EXPECT_EQ(balloonText(),
              "亲！您选择的项目是【窗口边框线条颜色】\r\n\r\n可以去设置颜色了！嘻嘻~~~~");
    for (int separator : {1, 3, 5}) {
        chooseItem(separator);
        EXPECT_EQ(balloonText(), "亲！您选择设置颜色的项目错误了！\r\n\r\n请重新设置哦！呵呵~~~~");
    }
}

TEST_F(ColourTest, NothingIsColouredWithoutAnItemOrOnASeparator) {
    MainWindow& w = window();
    const QColor background = w.songList->palette().color(QPalette::Base);
    const uint32_t border = w.playerPanel->borderColour();
    w.colorPicker->pick(0x0000FF);
    EXPECT_EQ(balloonText(), "亲！您还没有选择设置颜色的项目！\r\n\r\n请设置后再来吧！呵呵~~~~");
    w.colorItemCombo->setCurrent(3);
    w.colorPicker->pick(0x0000FF);
    EXPECT_EQ(balloonText(), "亲！您选择设置颜色的项目错误了！\r\n\r\n请重新设置哦！呵呵~~~~");
    EXPECT_EQ(w.songList->palette().color(QPalette::Base), background);
    EXPECT_EQ(w.playerPanel->borderColour(), border);
}

TEST_F(ColourTest, EachItemColoursItsControls) {
    MainWindow& w = window();
    w.colorItemCombo->setCurrent(0);
    w.colorPicker->pick(0x00FFFF);  // yellow
    EXPECT_EQ(w.songList->palette().color(QPalette::Base), qcolour(0x00FFFF));
    EXPECT_EQ(balloonText(), "亲！您已成功设置项目【播放列表背景颜色】！不满意再来光顾哦！");

    w.colorItemCombo->setCurrent(2);
    w.colorPicker->pick(0x008000);
    EXPECT_EQ(w.songList->palette().color(QPalette::Text), qcolour(0x008000));
    EXPECT_EQ(w.songList->palette().color(QPalette::Base), qcolour(0x00FFFF));

    const uint32_t muteBorder = w.mutePanel->borderColour();
    const uint32_t searchBorder = w.searchPanel->borderColour();
    w.colorItemCombo->setCurrent(4);
    w.colorPicker->pick(0x123456);
    for (runtime::ShapeBox* box :
         {w.playerPanel, w.nowPlayingFrame, w.toolbarPanel, w.playlistPanel, w.songListFrame,
          w.editButtonsPanel, w.volumePanel}) {
        EXPECT_EQ(box->borderColour(), 0x123456u) << box->objectName().toStdString();
    }
    EXPECT_EQ(w.mutePanel->borderColour(), muteBorder);
    EXPECT_EQ(w.searchPanel->borderColour(), searchBorder);
    EXPECT_EQ(balloonText(), "亲！您已成功设置项目【窗口边框线条颜色】！不满意再来光顾哦！");
}

TEST_F(ColourTest, LabelTextColourReachesBothComboBoxes) {
    MainWindow& w = window();
    w.colorItemCombo->setCurrent(6);
    w.colorPicker->pick(0xFF0000);  // blue
    const QColor blue = qcolour(0xFF0000);
    for (QWidget* text : std::initializer_list<QWidget*>{
             w.percentLabel, w.modeLabel, w.nowPlayingLabel, w.songCountLabel, w.songPositionLabel,
             w.colorLabel, w.colorItemLabel, w.tipsStatusLabel, w.playedLabel,
             w.animationStatusLabel}) {
        EXPECT_EQ(text->palette().color(QPalette::WindowText), blue)
            << text->objectName().toStdString();
    }
    EXPECT_EQ(w.playlistCombo->palette().color(QPalette::Text), blue);
    EXPECT_EQ(w.colorItemCombo->palette().color(QPalette::Text), blue);
    EXPECT_NE(w.songList->palette().color(QPalette::Text), blue);
    EXPECT_EQ(balloonText(), "亲！您已成功设置项目【窗口标签字体颜色】！不满意再来光顾哦！");
}

// --- help window -----------------------------------------------------------------------------

TEST_F(CompanionTest, HelpWindowAboutMoreLinksAndCancel) {
    MainWindow& w = window();
    w.helpButton->click();
    EXPECT_EQ(balloonText(), "亲~~~希望我能帮到你！呵呵...\r\n\r\n有啥建议或问题可以向我反馈哦");
    FeedbackWindow* f = feedback();
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->isLayered());
    EXPECT_EQ(f->colourKey(), QColor(Qt::white));
    EXPECT_EQ(f->parentWidget(), nullptr) << "no owner";

    f->aboutButton->click();
    EXPECT_EQ(f->feedbackBalloon->text(), aboutText());
    ASSERT_EQ(dialogs_.calls().size(), 1u) << "about opens the user guide";
    EXPECT_TRUE(
        QFileInfo::exists(QUrl(QString::fromStdString(dialogs_.calls()[0].text)).toLocalFile()))
        << dialogs_.calls()[0].text;
    EXPECT_EQ(f->feedbackBalloon->point(), QPoint(f->left() + 47, f->top() + 10));
    EXPECT_NE(aboutText().find("Kivo"), std::string_view::npos);

    f->showMinimized();
    f->moreButton->click();
    EXPECT_EQ(feedback(), f) << "no second copy";
    EXPECT_FALSE(f->isMinimized());
    EXPECT_EQ(f->feedbackBalloon->text(),
              "亲~~~更多功能正在实现中，\r\n\r\n有啥建议或问题可以向我反馈哦");

    const std::string before = balloonText();
    f->spaceButton->click();
    f->sinaWeiboButton->click();
    f->tencentWeiboButton->click();
    ASSERT_EQ(dialogs_.calls().size(), 4u);
    const std::string pages[] = {userGuidePage(), userGuidePage(), userGuidePage(kFeedbackSection),
                                 userGuidePage(kFeedbackSection)};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dialogs_.calls()[i].kind, runtime::ScriptedDialogs::Kind::WebPage);
        EXPECT_EQ(dialogs_.calls()[i].text, pages[i]);
    }
    EXPECT_EQ(balloonText(), before) << "the links say nothing";

    f->feedbackCancelButton->click();
    settle();
    EXPECT_FALSE(kivo_->feedbackWindow().isLoaded());
    EXPECT_EQ(balloonText(), "亲~~~看来你已经解决心中的疑问了");
}

// --- web music window ------------------------------------------------------------------------

TEST_F(CompanionTest, WebPlayerPlaysItsChimeOnceAndOpensKugou) {
    std::atomic<int> devices = 0;
    device::setDeviceFactory([&devices] {
        ++devices;
        return device::createDevice("null");
    });
    MainWindow& w = window();
    w.kugouButton->click();
    EXPECT_EQ(balloonText(), "亲！您正在链接网页版酷狗！尽情享受吧");
    WebPlayerWindow* web = webPlayer();
    ASSERT_NE(web, nullptr);
    EXPECT_TRUE(web->isLayered());
    EXPECT_EQ(web->colourKey(), QColor(0xEC, 0xEC, 0xEC));
    EXPECT_EQ(web->parentWidget(), nullptr);
    EXPECT_EQ(web->webView->address(), kWebPlayerStartPage);
    QElapsedTimer clock;
    clock.start();
    while (devices == 0 && clock.elapsed() < 3000) runtime::pumpingWait(20);
    EXPECT_EQ(devices, 1) << "the chime plays when the window is created";

    web->showMinimized();
    w.kugouButton->click();
    EXPECT_EQ(webPlayer(), web);
    EXPECT_FALSE(web->isMinimized());
    runtime::pumpingWait(300);
    EXPECT_EQ(devices, 1) << "a second click plays no second chime";

    web->webMinimizeButton->click();
    EXPECT_TRUE(web->isMinimized());
    web->webCloseButton->click();
    settle();
    EXPECT_FALSE(kivo_->webPlayerWindow().isLoaded());
    runtime::stopSound();
    device::setDeviceFactory(nullptr);
}

}  // namespace
}  // namespace kivo
