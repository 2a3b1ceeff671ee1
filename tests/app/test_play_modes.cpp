// The play modes, the automatic switch of playlists and the step at the end of every song.
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "play_modes.h"
#include "playback_fixture.h"
#include "playlist_store.h"

namespace kivo {
namespace {

constexpr const char* kModeItems[] = {"singlePlayItem", "singleRepeatItem", "loopPlayItem",
                                      "sequentialPlayItem", "randomPlayItem"};

class PlayModesTest : public PlaybackTest {
protected:
    PlayModesTest() { setSpeed(1); }

    void threeSongs() {
        songs_ = {song('A', "a.mp3"), song('B', "b.mp3"), song('C', "c.mp3")};
        showSongs(songs_);
    }
    void choose(const char* modeItem) { ASSERT_TRUE(setPlayMode(*kivo_, modeItem)); }
    // The song that played has ended: its player is done, and the engine says 100.
    void songEnds() {
        kivo_->player().remove();
        progress(100);
    }
    ProgressHeldBack heldBack_{window().nowPlayingLabel};

    std::string nowPlayingMessage(const std::string& song) {
        return "亲！您正在播放的歌曲是  \r\n\r\n【" + song + "】 \r\n\r\n请慢慢欣赏哦！嘻嘻~~~~~";
    }
    std::string pausedMessage(const std::string& song) {
        return "亲！您已暂停播放  【" + song + "】\r\n\r\n请再次点击按钮就可以播放哦！嘻嘻~~~~~";
    }
    // The song plays now, is the current one, and the window says so.
    void expectPlaying(int index) {
        MainWindow& w = window();
        EXPECT_EQ(w.songList->current(), index);
        EXPECT_EQ(state(), kPlayStatePlaying);
        EXPECT_EQ(w.nowPlayingLabel->caption(), w.songList->itemTextAt(index));
        EXPECT_EQ(w.songPositionLabel->caption(), "歌曲位置：" + std::to_string(index + 1));
        EXPECT_EQ(balloonText(), nowPlayingMessage(w.songList->itemTextAt(index)));
    }

    std::vector<std::string> songs_;
};

TEST_F(PlayModesTest, OneModeIsCheckedAndNamed) {
    MainWindow& w = window();
    EXPECT_TRUE(w.menus().isChecked("loopPlayItem"));
    EXPECT_EQ(w.modeLabel->caption(), "◣循环播放◥");
    const char* names[] = {"单曲播放", "单曲循环", "循环播放", "顺序播放", "随机播放"};
    for (int m = 0; m < 5; ++m) {
        choose(kModeItems[m]);
        for (int other = 0; other < 5; ++other) {
            EXPECT_EQ(w.menus().isChecked(kModeItems[other]), other == m);
        }
        EXPECT_EQ(w.modeLabel->caption(), std::string("◣") + names[m] + "◥");
        EXPECT_EQ(balloonText(), std::string("亲~~~您已经设置为") + names[m] +
                                     "！\r\n\r\n欢迎下次光临哦！呵呵~~~~~");
    }
    EXPECT_FALSE(setPlayMode(*kivo_, "autoSwitchListItem"));

    // Through the mode button and its menu.
    dialogs_.answerMenu("sequentialPlayItem");
    w.modeButton->click();
    EXPECT_EQ(balloonText(), "*^_^*  \r\n\r\n亲！请选择要播放的模式！ 呵呵呵呵~~~~~");
    QCoreApplication::processEvents();
    EXPECT_EQ(w.modeLabel->caption(), "◣顺序播放◥");

    dialogs_.answerMenu("autoSwitchListItem");
    w.modeButton->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.menus().isChecked("autoSwitchListItem"));
    EXPECT_EQ(balloonText(), "亲~~~您已经设置为自动切换列表！\r\n\r\n欢迎下次光临哦");
    toggleAutoSwitch(*kivo_);
    EXPECT_FALSE(w.menus().isChecked("autoSwitchListItem"));
    EXPECT_EQ(balloonText(), "亲~~~您已经取消自动切换列表！\r\n\r\n欢迎下次光临哦");
    EXPECT_EQ(w.modeLabel->caption(), "◣顺序播放◥");
}

TEST_F(PlayModesTest, LoopGoesOnAndWrapsToTheTop) {
    threeSongs();
    window().songList->setCurrent(1);
    songEnds();
    expectPlaying(2);
    const size_t devices = deviceCount();
    songEnds();
    expectPlaying(0);
    EXPECT_TRUE(playsAfter(devices, kRateA));
}

TEST_F(PlayModesTest, SequentialStopsAfterTheLastSong) {
    choose("sequentialPlayItem");
    threeSongs();
    window().songList->setCurrent(1);
    songEnds();
    expectPlaying(2);
    songEnds();
    EXPECT_EQ(state(), kPlayStateIdle);
    EXPECT_EQ(window().songList->current(), 2);
    EXPECT_EQ(balloonText(), pausedMessage(songs_[2]));
}

TEST_F(PlayModesTest, SinglePlayShowsTheSelectedSongAndPlaysNothing) {
    MainWindow& w = window();
    choose("singlePlayItem");
    threeSongs();
    w.songList->setCurrent(1);
    w.nowPlayingLabel->setCaption(songs_[0]);
    songEnds();
    EXPECT_EQ(state(), kPlayStateIdle);
    EXPECT_FALSE(kivo_->player().holdsPlayer());
    EXPECT_EQ(w.nowPlayingLabel->caption(), songs_[1]);
    EXPECT_EQ(w.songPositionLabel->caption(), "歌曲位置：2");
    EXPECT_EQ(balloonText(), pausedMessage(songs_[1]));  // after the now-playing message
}

TEST_F(PlayModesTest, SingleRepeatPlaysTheSongSelectedWhenItEnds) {
    MainWindow& w = window();
    choose("singleRepeatItem");
    threeSongs();
    w.songList->setCurrent(2);
    songEnds();
    expectPlaying(2);
    w.songList->setCurrent(0);  // chosen while it played
    songEnds();
    expectPlaying(0);
}

TEST_F(PlayModesTest, RandomDrawsFromTheGeneratorAndNotForASingleSong) {
    MainWindow& w = window();
    choose("randomPlayItem");
    threeSongs();
    GeneratorWatch generator;
    ASSERT_TRUE(generator.found());
    for (int i = 0; i < 4; ++i) {
        const int expected = generator.upcoming(i) % 3;  // may well be the song that ended
        songEnds();
        expectPlaying(expected);
    }
    EXPECT_EQ(generator.drawsSince(), 4);

    showSongs({songs_[1]});
    songEnds();
    expectPlaying(0);
    EXPECT_EQ(generator.drawsSince(), 0);

    w.songList->removeAll();
    songEnds();
    EXPECT_EQ(generator.drawsSince(), 0);
    EXPECT_EQ(state(), kPlayStateIdle);
    EXPECT_EQ(balloonText(), pausedMessage(""));
}

TEST_F(PlayModesTest, AutoSwitchOnlyAtTheEndOfTheLastSong) {
    MainWindow& w = window();
    const char* names[] = {"本地列表", "最爱歌曲", "欧美歌曲", "流行歌曲", "国语歌曲",
                           "粤语歌曲", "伤感歌曲", "搞笑歌曲", "其他歌曲"};
    std::vector<std::string> firstOf(9);
    for (int p = 0; p < 9; ++p) {
        firstOf[p] = song(char('A' + p % 3), "first" + std::to_string(p) + ".mp3");
        const std::string second = song('B', "second" + std::to_string(p) + ".mp3");
        writePlaylist(names[p], firstOf[p] + "\r\n" + second + "\r\n");
    }
    loadPlaylist(*kivo_);
    toggleAutoSwitch(*kivo_);
    GeneratorWatch generator;

    w.songList->setCurrent(0);
    songEnds();
    EXPECT_EQ(w.playlistCombo->current(), 0);
    expectPlaying(1);
    EXPECT_EQ(generator.drawsSince(), 0);

    // The end of the last song: a playlist drawn from all nine, the first song of it.
    const int drawn = generator.upcoming() % 9;
    songEnds();
    EXPECT_EQ(w.playlistCombo->current(), drawn);
    EXPECT_EQ(w.nowPlayingLabel->caption(), firstOf[drawn]);
    expectPlaying(0);
    EXPECT_EQ(generator.drawsSince(), 1);

    // Switched off: the end of the last song stays in the playlist.
    toggleAutoSwitch(*kivo_);
    w.songList->setCurrent(1);
    songEnds();
    EXPECT_EQ(w.playlistCombo->current(), drawn);
    expectPlaying(0);
    EXPECT_EQ(generator.drawsSince(), 0);
}

TEST_F(PlayModesTest, ASongThatCannotBeOpenedIsSaidAndTheAdvanceGoesOn) {
    threeSongs();
    std::filesystem::remove(songs_[2]);
    window().songList->setCurrent(1);
    const size_t devices = deviceCount();
    songEnds();
    EXPECT_EQ(window().songList->current(), 2);
    EXPECT_EQ(window().nowPlayingLabel->caption(), songs_[2]);
    EXPECT_EQ(state(), kPlayStateIdle);
    EXPECT_EQ(balloonText(), pausedMessage(songs_[2]));
    // The engine then says the song failed and ends it: loop mode goes on to the first song.
    ASSERT_TRUE(playsAfter(devices, kRateA));
    EXPECT_EQ(window().songList->current(), 0);
}

// The program never seeds its generator: two runs that see the same actions play the same
// songs. Each run is a fresh copy of this test program running the test below.
constexpr char kRunOutput[] = "KIVO_RANDOM_RUN_OUTPUT";

TEST_F(PlayModesTest, RandomRunChild) {
    const char* output = std::getenv(kRunOutput);
    if (output == nullptr)
        GTEST_SKIP() << "runs only as a child of RandomPlay.PlaysTheSameSongsInEveryRun";
    choose("randomPlayItem");
    showSongs({"/m/1.mp3", "/m/2.mp3", "/m/3.mp3", "/m/4.mp3", "/m/5.mp3"});
    std::ofstream out(output);
    for (int i = 0; i < 8; ++i) {
        songEnds();
        out << window().songList->current() << ' ';
    }
}

TEST(RandomPlay, PlaysTheSameSongsInEveryRun) {
    testApplication();
    std::string runs[2];
    TempFolder folder;
    for (std::string& run : runs) {
        const std::string output = folder.path() + "/run";
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(kRunOutput, QString::fromStdString(output));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(environment);
        child.start(QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe")),
                    {"--gtest_filter=PlayModesTest.RandomRunChild"});
        ASSERT_TRUE(child.waitForFinished(60000));
        ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString();
        run = readFile(output);
        std::filesystem::remove(output);
    }
    EXPECT_EQ(runs[0], runs[1]);
    // The generator starts from 1 in every run: 41, 18467, 6334, 26500, ...
    std::ostringstream expected;
    uint32_t state = 1;
    for (int i = 0; i < 8; ++i) {
        state = state * 214013u + 2531011u;
        expected << ((state >> 16) & 0x7FFF) % 5 << ' ';
    }
    EXPECT_EQ(runs[0], expected.str());
}

}  // namespace
}  // namespace kivo
