// Playing, pausing, continuing, skipping and quick play, against the engine on virtual devices.
#include <QThread>
#include <optional>

#include "playback_control.h"
#include "playback_fixture.h"
#include "skin.h"

namespace kivo {
namespace {

class PlaybackControlTest : public PlaybackTest {
protected:
    // Three songs in the list, nothing selected.
    void threeSongs() {
        songs_ = {song('A', "a.mp3"), song('B', "b.mp3"), song('C', "c.mp3")};
        showSongs(songs_);
    }
    bool showsPauseLook() {
        return window().playButton->caption() == "暂停" &&
               window().playButton->normalPicture() == skinPicture("playButton-pause.gif");
    }
    QByteArray statusFrame(int frame) {
        return skinPicture("statusPicture" + std::to_string(frame) + ".gif");
    }

    std::vector<std::string> songs_;
    // For the tests that play in real time and wait for a device.
    std::optional<ProgressHeldBack> heldBack_;
};

TEST_F(PlaybackControlTest, PlayButtonPlaysPausesAndContinues) {
    MainWindow& w = window();
    heldBack_.emplace(w.nowPlayingLabel);
    w.playButton->click();
    EXPECT_EQ(balloonText(), "亲！您所在的列表没歌曲！ \r\n\r\n请添加歌曲后再播放吧哦！呵呵~~~~~");
    EXPECT_FALSE(kivo_->player().holdsPlayer());

    setSpeed(1);
    threeSongs();
    w.playButton->click();  // nothing selected, nothing plays: the first song
    EXPECT_EQ(w.songList->current(), 0);
    EXPECT_EQ(w.nowPlayingLabel->caption(), songs_[0]);
    EXPECT_EQ(w.songPositionLabel->caption(), "歌曲位置：1");
    EXPECT_EQ(state(), kPlayStatePlaying);
    EXPECT_TRUE(showsPauseLook());
    EXPECT_EQ(balloonText(), "亲！您正在播放的歌曲是  \r\n\r\n【" + songs_[0] +
                                 "】 \r\n\r\n请慢慢欣赏哦！嘻嘻~~~~~");

    w.playButton->click();
    EXPECT_EQ(state(), kPlayStatePaused);
    EXPECT_TRUE(showsPlayLook());
    EXPECT_EQ(w.statusPicture->picture(), statusFrame(0));
    EXPECT_EQ(balloonText(), "亲！您已暂停播放\r\n\r\n【" + songs_[0] +
                                 "】\r\n\r\n请再次点击按钮就可以播放哦！嘻嘻~~~~~");

    // One click on another song while paused: the paused song starts again from the bar's
    // new position 0, the message names the clicked one.
    w.songList->setCurrent(2);
    songSelectionChanged(*kivo_);
    EXPECT_EQ(w.progressBar->position(), 0);
    EXPECT_EQ(w.songPositionLabel->caption(), "歌曲位置：3");
    const size_t devices = deviceCount();
    w.playButton->click();
    EXPECT_EQ(state(), kPlayStatePlaying);
    EXPECT_EQ(w.nowPlayingLabel->caption(), songs_[0]);
    EXPECT_TRUE(showsPauseLook());
    EXPECT_EQ(balloonText(),
              "亲！您继续播放的歌曲是\r\n\r\n【" + songs_[2] + "】\r\n\r\n请慢慢欣赏哦！嘻嘻~~~~~");
    EXPECT_TRUE(playsAfter(devices, kRateA));
}

TEST_F(PlaybackControlTest, ContinuingAfterAPauseAt37PercentStartsAt37Percent) {
    MainWindow& w = window();
    const std::string a = song('A', "a.mp3");
    showSongs({a});
    kivo_->mainWindow().menus().setChecked("loopPlayItem", false);
    kivo_->mainWindow().menus().setChecked("singlePlayItem", true);

    // A whole play first, for the length of the song.
    doubleClick(0);
    ASSERT_TRUE(waitUntil([&] {
        return state() == kPlayStateIdle && w.progressBar->position() == 0 && lastLog() &&
               lastLog()->count("close") == 1;
    }));
    const size_t whole = lastLog()->pcmBytes();
    ASSERT_GT(whole, 300000u);

    setSpeed(1);
    doubleClick(0);
    w.playButton->click();
    ASSERT_EQ(state(), kPlayStatePaused);
    QCoreApplication::processEvents();  // the progress the decoder posted before the pause
    w.progressBar->setPosition(37);
    ProgressRecorder shown(w.nowPlayingLabel);
    setSpeed(0);
    w.playButton->click();
    ASSERT_EQ(state(), kPlayStatePlaying);
    ASSERT_TRUE(waitUntil([&] { return shown.ended(); }));
    const size_t rest = lastLog()->pcmBytes();
    EXPECT_NEAR(double(rest) / double(whole), 0.63, 0.04);
}

TEST_F(PlaybackControlTest, DoubleClickEnterAndThePlayItemPlayTheSelectedSong) {
    MainWindow& w = window();
    heldBack_.emplace(w.nowPlayingLabel);
    setSpeed(1);
    threeSongs();
    doubleClick(1);
    EXPECT_EQ(w.nowPlayingLabel->caption(), songs_[1]);
    EXPECT_EQ(state(), kPlayStatePlaying);
    EXPECT_TRUE(showsPauseLook());
    EXPECT_EQ(balloonText(), "亲！您正在播放的歌曲是  \r\n\r\n【" + songs_[1] +
                                 "】 \r\n\r\n请慢慢欣赏哦！嘻嘻~~~~~");

    w.songList->setCurrent(2);
    emit w.songList->keyPressed(runtime::kKeyEnter);
    EXPECT_EQ(w.nowPlayingLabel->caption(), songs_[2]);
    EXPECT_EQ(balloonText(), "亲！您正在播放的歌曲是  【\r\n\r\n" + songs_[2] +
                                 "\r\n\r\n】  ，请慢慢欣赏哦！嘻嘻~~~~~");

    const std::string before = balloonText();
    emit w.songList->keyPressed('A');
    EXPECT_EQ(balloonText(), before);

    // The song menu's play item: no message, the caption was set by the menu.
    w.songList->setCurrent(0);
    const size_t devices = deviceCount();
    playMenuItem(*kivo_);
    EXPECT_EQ(balloonText(), before);
    EXPECT_EQ(state(), kPlayStatePlaying);
    EXPECT_TRUE(playsAfter(devices, kRateA));

    // Delete asks before it deletes (the song is selected again: on a slow machine the short
    // song may have ended and moved the selection on).
    w.songList->setCurrent(0);
    dialogs_.answerMessageBox(runtime::kIdNo);
    emit w.songList->keyPressed(runtime::kKeyDelete);
    EXPECT_EQ(w.songList->itemCount(), 3);
    EXPECT_EQ(dialogs_.calls().back().text, "是否删除【本地列表】列表中的 【" + songs_[0] + "】？");
}

TEST_F(PlaybackControlTest, PreviousAndNextStopAtTheEndsOfTheList) {
    MainWindow& w = window();
    w.nextButton->click();
    w.previousButton->click();
    EXPECT_EQ(balloonText(), "");  // an empty list: nothing at all

    threeSongs();
    w.songList->setCurrent(2);
    w.nextButton->click();
    EXPECT_EQ(balloonText(), "亲！您所选的歌曲【" + songs_[2] +
                                 "】\r\n\r\n已是本列表最后的歌曲！  ，不用点击下一首喔！嘻嘻~~~~~");
    EXPECT_EQ(w.songList->current(), 2);
    EXPECT_FALSE(kivo_->player().holdsPlayer());

    w.songList->setCurrent(0);
    w.previousButton->click();
    EXPECT_EQ(balloonText(), "亲！您所选的歌曲【" + songs_[0] +
                                 "】\r\n\r\n已是置顶！  ，不用点击上一首喔！嘻嘻~~~~~");
    EXPECT_EQ(w.songList->current(), 0);
    EXPECT_FALSE(kivo_->player().holdsPlayer());

    setSpeed(1);
    w.nextButton->click();
    EXPECT_EQ(w.songList->current(), 1);
    EXPECT_EQ(w.nowPlayingLabel->caption(), songs_[1]);
    EXPECT_EQ(w.songPositionLabel->caption(), "歌曲位置：2");
    EXPECT_EQ(state(), kPlayStatePlaying);
    EXPECT_TRUE(showsPauseLook());
    EXPECT_EQ(balloonText(), "亲！您正在切换播放的歌曲是  【\r\n\r\n" + songs_[1] +
                                 "\r\n\r\n】  ，请慢慢欣赏哦！嘻嘻~~~~~");
    w.previousButton->click();
    EXPECT_EQ(w.nowPlayingLabel->caption(), songs_[0]);
    EXPECT_EQ(state(), kPlayStatePlaying);

    // Previous with nothing selected stops the song and names no song.
    w.songList->setCurrent(-1);
    w.previousButton->click();
    EXPECT_EQ(state(), kPlayStateIdle);
    EXPECT_EQ(w.nowPlayingLabel->caption(), "");
    EXPECT_EQ(balloonText(),
              "亲！您正在切换播放的歌曲是  【\r\n\r\n\r\n\r\n】  ，请慢慢欣赏哦！嘻嘻~~~~~");
    // Next from no selection starts at the top.
    w.nextButton->click();
    EXPECT_EQ(w.songList->current(), 0);
    EXPECT_EQ(state(), kPlayStatePlaying);
}

TEST_F(PlaybackControlTest, QuickPlayOnlyWhilePlaying) {
    MainWindow& w = window();
    heldBack_.emplace(w.nowPlayingLabel);
    setSpeed(1);
    threeSongs();
    w.songList->setCurrent(1);
    w.progressBar->setPosition(50);
    emit w.progressBar->stepForward();
    EXPECT_FALSE(kivo_->player().holdsPlayer());  // stopped: nothing happens
    EXPECT_EQ(balloonText(), "");

    doubleClick(1);
    w.playButton->click();
    ASSERT_EQ(state(), kPlayStatePaused);
    const std::string paused = balloonText();
    emit w.progressBar->stepBackward();
    EXPECT_EQ(state(), kPlayStatePaused);
    EXPECT_EQ(balloonText(), paused);

    w.playButton->click();
    ASSERT_EQ(state(), kPlayStatePlaying);
    // The quick play takes the selected song, not the current one.
    w.songList->setCurrent(2);
    w.progressBar->setPosition(50);
    const size_t devices = deviceCount();
    emit w.progressBar->stepBackward();
    EXPECT_EQ(state(), kPlayStatePlaying);
    EXPECT_EQ(w.nowPlayingLabel->caption(), songs_[1]);
    EXPECT_EQ(balloonText(), "亲！您正在快速播放歌曲  【" + songs_[2] +
                                 "】\r\n\r\n呵呵~~心急吃不了热豆腐，要慢慢欣赏哦！嘻嘻~~~~~");
    EXPECT_TRUE(playsAfter(devices, kRateC));

    // Forward from 95 asks for 105, which the engine takes as the end of the song. (The short
    // song may have ended and moved the selection on meanwhile on a slow machine.)
    w.songList->setCurrent(2);
    w.progressBar->setPosition(95);
    emit w.progressBar->leftButtonReleased();
    EXPECT_TRUE(kivo_->player().holdsPlayer());
    EXPECT_EQ(balloonText(), "亲！您正在快速播放歌曲  【" + songs_[2] +
                                 "】\r\n\r\n呵呵~~心急吃不了热豆腐，要慢慢欣赏哦！嘻嘻~~~~~");
}

TEST_F(PlaybackControlTest, LocateSelectsTheSongThatPlays) {
    MainWindow& w = window();
    threeSongs();
    w.songList->setCurrent(1);
    w.locateButton->click();
    EXPECT_EQ(w.songList->current(), 1);  // no current song: nothing, no message
    EXPECT_EQ(balloonText(), "");

    w.nowPlayingLabel->setCaption(songs_[2]);
    w.songList->setCurrent(0);
    w.locateButton->click();
    EXPECT_EQ(w.songList->current(), 2);
    EXPECT_EQ(balloonText(), "亲，已经定位到当前播放的歌曲。");

    w.nowPlayingLabel->setCaption(songs_[0]);
    w.locateButton->click();
    EXPECT_EQ(w.songList->current(), 0);

    // A song of another playlist: the last item stays selected, the message all the same.
    w.nowPlayingLabel->setCaption("/elsewhere/x.mp3");
    w.songList->setCurrent(0);
    w.locateButton->click();
    EXPECT_EQ(w.songList->current(), 2);
    EXPECT_EQ(balloonText(), "亲，已经定位到当前播放的歌曲。");
}

TEST_F(PlaybackControlTest, ProgressShowsThePercentAndEndsOnTheLastStatusFrame) {
    MainWindow& w = window();
    progress(37);
    EXPECT_EQ(w.progressBar->position(), 37);
    EXPECT_EQ(w.percentLabel->caption(), "37%");
    EXPECT_EQ(w.playButton->normalPicture(), skinPicture("playButton-pause.gif"));
    EXPECT_EQ(w.discPicture->picture(), skinPicture("discPicture-turning.gif"));
    EXPECT_EQ(w.statusPicture->picture(), statusFrame(5));

    // The end: the stopped look, the bar back at 0, the button's text left alone.
    w.playButton->setCaption("暂停");
    progress(100);
    EXPECT_EQ(w.progressBar->position(), 0);
    EXPECT_EQ(w.percentLabel->caption(), "0%");
    EXPECT_EQ(w.playButton->normalPicture(), skinPicture("playButton-play.gif"));
    EXPECT_EQ(w.playButton->caption(), "暂停");
    EXPECT_EQ(w.discPicture->picture(), skinPicture("discPicture.gif"));
    EXPECT_EQ(w.statusPicture->picture(), statusFrame(0));
}

// Progress events that come faster than the animation lasts are each handled at once, in the
// order they were posted, inside the animation that runs; they do not stack animations of
// their own on top of it.
TEST_F(PlaybackControlTest, AFastBurstOfProgressDoesNotStackAnimations) {
    MainWindow& w = window();
    std::vector<int> handled;  // when each event's handling has returned
    QObject::connect(w.nowPlayingLabel, &runtime::Label::progress,
                     [&](int percent) { handled.push_back(percent); });
    for (int percent = 1; percent <= 30; ++percent) {
        QCoreApplication::postEvent(
            w.nowPlayingLabel, new runtime::NotifyEvent(WM_PLAYPROGRESS, uintptr_t(percent), 0));
    }
    ASSERT_TRUE(waitUntil([&] { return handled.size() == 30; }));
    std::vector<int> expected;
    for (int percent = 2; percent <= 30; ++percent) expected.push_back(percent);
    expected.push_back(1);
    EXPECT_EQ(handled, expected);
    EXPECT_EQ(w.progressBar->position(), 30);
    EXPECT_EQ(w.percentLabel->caption(), "30%");
    EXPECT_EQ(w.statusPicture->picture(), statusFrame(5));
}

TEST_F(PlaybackControlTest, TheEnginesProgressArrivesOnTheWindowThreadInOrder) {
    MainWindow& w = window();
    kivo_->mainWindow().menus().setChecked("loopPlayItem", false);
    kivo_->mainWindow().menus().setChecked("singlePlayItem", true);
    threeSongs();
    ProgressRecorder shown(w.nowPlayingLabel);
    doubleClick(0);
    ASSERT_TRUE(waitUntil([&] { return shown.ended(); }));
    EXPECT_FALSE(shown.otherThread);
    EXPECT_TRUE(std::is_sorted(shown.values.begin(), shown.values.end()));
    EXPECT_GE(shown.values.size(), 50u);  // every whole percent a 2 s song passes
    EXPECT_EQ(shown.values.back(), 100);
    // Single play: after the end nothing plays and the song is still the current one.
    EXPECT_EQ(state(), kPlayStateIdle);
    EXPECT_EQ(w.nowPlayingLabel->caption(), songs_[0]);
    EXPECT_EQ(balloonText(), "亲！您已暂停播放  【" + songs_[0] +
                                 "】\r\n\r\n请再次点击按钮就可以播放哦！嘻嘻~~~~~");
}

}  // namespace
}  // namespace kivo
