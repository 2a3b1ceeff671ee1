// The volume setting: the slider, the percent text and its messages, mute and unmute by the
// button's picture, and the panel that closes itself after five seconds.
#include <QTimer>

#include "app_fixture.h"
#include "fake_mixer.h"
#include "skin.h"
#include "start_up.h"
#include "volume_panel.h"

namespace kivo {
namespace {

const std::string kMaximumMessage =
    "亲~~~您设置的音量为：100%\r\n\r\n已经最大了！会影响别人哦！嘻嘻~~~";
const std::string kMuteMessage = "呵呵~~~您已设置为静音\r\n\r\n可以再次点击取消静音哦！";
const std::string kUnmuteMessage = "嘻嘻~~~您已取消设置为静音\r\n\r\n可以再次点击设为静音哦！";

class VolumeTest : public FakeMixerInstalled, public AppTest {
protected:
    VolumeTest() { setUpVolume(*kivo_); }

    std::string tooltip(runtime::SuperBtn* button) { return button->toolTip().toStdString(); }
    QByteArray speaker() { return skinPicture("speaker.gif"); }
    QByteArray muted() { return skinPicture("speaker-muted.gif"); }
    std::vector<uint32_t> lastVolume() {
        return mixer_->volumes.empty() ? std::vector<uint32_t>{} : mixer_->volumes.back();
    }
};

TEST_F(VolumeTest, StartUpSelectsTheSpeakersAndSetsHalfTheMaximum) {
    MainWindow& w = window();
    EXPECT_EQ(mixer_->lines, std::vector<uint32_t>{4});
    EXPECT_EQ(w.volumeSlider->maximum(), 65535);
    EXPECT_EQ(w.volumeSlider->position(), 32767);
    ASSERT_EQ(mixer_->volumes.size(), 1u);
    EXPECT_EQ(lastVolume(), (std::vector<uint32_t>{32767, 32767}));
    EXPECT_EQ(tooltip(w.volumeButton), "扬声器：49%");
    EXPECT_EQ(balloonText(), "呵呵~~~您设置的音量为：49%");
    EXPECT_EQ(w.volumeButton->normalPicture(), speaker());
    EXPECT_EQ(speaker().size(), 1144);
    EXPECT_EQ(muted().size(), 1170);
}

TEST_F(VolumeTest, OnlyTheVeryTopIsOneHundredPercent) {
    MainWindow& w = window();
    w.volumeSlider->setPosition(65534);
    EXPECT_EQ(balloonText(), "呵呵~~~您设置的音量为：99%");
    EXPECT_EQ(tooltip(w.volumeButton), "扬声器：99%");
    EXPECT_EQ(lastVolume(), (std::vector<uint32_t>{65534, 65534}));
    w.volumeSlider->setPosition(65535);
    EXPECT_EQ(balloonText(), kMaximumMessage);
    EXPECT_EQ(tooltip(w.volumeButton), "扬声器：100%");
    w.volumeSlider->setPosition(0);
    EXPECT_EQ(balloonText(), "呵呵~~~您设置的音量为：0%");
    EXPECT_EQ(lastVolume(), (std::vector<uint32_t>{0, 0}));
    // 655 is the last position below one percent.
    w.volumeSlider->setPosition(655);
    EXPECT_EQ(tooltip(w.volumeButton), "扬声器：0%");
    w.volumeSlider->setPosition(656);
    EXPECT_EQ(tooltip(w.volumeButton), "扬声器：1%");
}

TEST_F(VolumeTest, MuteGoesToTheMinimumAndUnmuteToHalfNotBack) {
    MainWindow& w = window();
    w.volumeSlider->setPosition(60000);
    w.muteButton->click();
    EXPECT_EQ(w.volumeSlider->position(), 0);
    EXPECT_EQ(lastVolume(), (std::vector<uint32_t>{0, 0}));
    EXPECT_EQ(w.muteButton->normalPicture(), muted());
    EXPECT_EQ(w.volumeButton->normalPicture(), muted());
    EXPECT_EQ(tooltip(w.volumeButton), "扬声器：静音");
    EXPECT_EQ(tooltip(w.muteButton), "取消静音");
    EXPECT_EQ(balloonText(), kMuteMessage);

    w.muteButton->click();
    EXPECT_EQ(w.volumeSlider->position(), 32767);  // not the 60000 from before the mute
    EXPECT_EQ(lastVolume(), (std::vector<uint32_t>{32767, 32767}));
    EXPECT_EQ(w.muteButton->normalPicture(), speaker());
    EXPECT_EQ(w.volumeButton->normalPicture(), speaker());
    EXPECT_EQ(tooltip(w.volumeButton), "扬声器：49%");
    EXPECT_EQ(tooltip(w.muteButton), "设置静音");
    EXPECT_EQ(balloonText(), kUnmuteMessage);
}

TEST_F(VolumeTest, MutingAtTheMinimumChangesOnlyThePictures) {
    MainWindow& w = window();
    w.volumeSlider->setPosition(0);
    const std::size_t sets = mixer_->volumes.size();
    w.muteButton->click();
    EXPECT_EQ(mixer_->volumes.size(), sets) << "the position did not change: no mixer call";
    EXPECT_EQ(w.muteButton->normalPicture(), muted());
    EXPECT_EQ(w.volumeButton->normalPicture(), muted());
    EXPECT_EQ(tooltip(w.volumeButton), "扬声器：静音");
    EXPECT_EQ(balloonText(), kMuteMessage);
}

TEST_F(VolumeTest, MovingTheSliderEndsAMuteSoTheNextClickMutesAgain) {
    MainWindow& w = window();
    w.muteButton->click();
    ASSERT_EQ(w.muteButton->normalPicture(), muted());
    w.volumeSlider->setPosition(20000);
    EXPECT_EQ(w.muteButton->normalPicture(), speaker());
    EXPECT_EQ(w.volumeButton->normalPicture(), speaker());
    EXPECT_EQ(tooltip(w.volumeButton), "扬声器：30%");
    w.muteButton->click();
    EXPECT_EQ(balloonText(), kMuteMessage);
    EXPECT_EQ(w.volumeSlider->position(), 0);
}

TEST_F(VolumeTest, PanelClosesItselfAfterFiveSeconds) {
    MainWindow& w = window();
    bool openMeanwhile = false;
    std::string messageMeanwhile;
    QTimer::singleShot(4500, [&] {
        openMeanwhile = w.volumePanel->isVisibleTo(&w);
        messageMeanwhile = balloonText();
    });
    w.volumeButton->click();
    EXPECT_TRUE(openMeanwhile);
    EXPECT_EQ(messageMeanwhile,
              "亲~~~您正在设置音量！不要把声音调得\r\n\r\n很大！会影响别人哦！嘻嘻~~~");
    EXPECT_FALSE(w.volumePanel->isVisibleTo(&w));
    EXPECT_EQ(balloonText(), "亲~~~Kivo已经自动帮您关闭音量设置！\r\n\r\n不满意再来哦！");
}

TEST_F(VolumeTest, SecondClickClosesAtOnceAndTheFirstStillSaysGoodbye) {
    MainWindow& w = window();
    std::string cancelMessage;
    bool openAfterSecondClick = true;
    QTimer::singleShot(1000, [&] {
        w.volumeButton->click();
        cancelMessage = balloonText();
        openAfterSecondClick = w.volumePanel->isVisibleTo(&w);
    });
    w.volumeButton->click();
    EXPECT_EQ(cancelMessage, "亲~~~您已经取消设置音量！\r\n\r\n欢迎下次光临哦！");
    EXPECT_FALSE(openAfterSecondClick);
    EXPECT_FALSE(w.volumePanel->isVisibleTo(&w));
    EXPECT_EQ(balloonText(), "亲~~~Kivo已经自动帮您关闭音量设置！\r\n\r\n不满意再来哦！");
}

// No mixer at all: the bounds stay 0 and every handler still answers.
class VolumeWithoutMixerTest : public FakeMixerInstalled, public AppTest {
protected:
    VolumeWithoutMixerTest() { mixer_->maximum = 0; }
};

TEST_F(VolumeWithoutMixerTest, HandlersStillRunAndReadZeroPercent) {
    MainWindow& w = window();
    setUpVolume(*kivo_);
    EXPECT_EQ(w.volumeSlider->maximum(), 0);
    EXPECT_EQ(w.volumeSlider->position(), 0);
    EXPECT_TRUE(mixer_->volumes.empty());
    volumePositionChanged(*kivo_);
    EXPECT_EQ(balloonText(), "呵呵~~~您设置的音量为：0%");
    w.muteButton->click();
    EXPECT_EQ(balloonText(), kMuteMessage);
    w.muteButton->click();
    EXPECT_EQ(balloonText(), kUnmuteMessage);
    EXPECT_TRUE(mixer_->volumes.empty());
}

}  // namespace
}  // namespace kivo
