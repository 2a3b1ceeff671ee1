// A user's session from start to end: a prepared music folder, a folder of three songs added,
// the first one double-clicked, the list played round in loop mode, then sequential mode, a
// playlist switch, and the close button.
#include "playback_fixture.h"
#include "skin.h"

namespace kivo {
namespace {

class PlaybackScenarioTest : public PlaybackTest {};

TEST_F(PlaybackScenarioTest, AddAFolderPlayItRoundSwitchModeAndPlaylistQuit) {
    MainWindow& w = window();
    // The music folder as an earlier run left it: an empty local list and one favourite.
    const std::string favourite = song('B', "favourite.mp3", folder_.path() + "/favourites");
    writePlaylist("本地列表", "");
    writePlaylist("最爱歌曲", favourite + "\r\n");

    kivo_->start();
    EXPECT_EQ(w.songList->itemCount(), 0);
    EXPECT_EQ(w.songCountLabel->caption(), "歌曲总数：0");
    EXPECT_EQ(w.modeLabel->caption(), "◣循环播放◥");

    // The album: three songs, a cover and a hidden folder that must stay out.
    const std::string album = folder_.path() + "/album";
    const std::vector<std::string> songs = {song('A', "01 晴天.mp3", album),
                                            song('B', "02 Rain.MP3", album),
                                            song('C', "03 夜曲.mp3", album)};
    writeFile(album + "/cover.jpg", "jpeg");
    song('A', "ghost.mp3", album + "/.thumbnails");
    dialogs_.answerMenu("addFolderItem");
    dialogs_.answerFolder(album);
    w.addButton->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(w.songList->itemCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(w.songList->itemTextAt(i), songs[i]);
    EXPECT_EQ(readFile(playlistPath("本地列表")),
              songs[0] + "\r\n" + songs[1] + "\r\n" + songs[2] + "\r\n");
    EXPECT_EQ(w.songCountLabel->caption(), "歌曲总数：3");
    EXPECT_EQ(balloonText(), "您已成功添加歌曲到【本地列表】播放列表中！");

    // Double-click the first song; loop mode carries on through the list and round again.
    w.songList->setCurrent(0);
    emit w.songList->doubleClicked();
    EXPECT_EQ(w.nowPlayingLabel->caption(), songs[0]);
    ASSERT_TRUE(waitUntil([&] { return playedRates().size() >= 4; }, 30000));

    // Sequential from here: the list plays to its end and stops there.
    dialogs_.answerMenu("sequentialPlayItem");
    w.modeButton->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.modeLabel->caption(), "◣顺序播放◥");
    ASSERT_TRUE(waitUntil(
        [&] {
            return state() == kPlayStateIdle && w.songList->current() == 2 &&
                   balloonText().find("已暂停播放") != std::string::npos;
        },
        30000));
    const std::vector<int> rates = playedRates();
    ASSERT_GE(rates.size(), 6u);
    EXPECT_EQ(rates.size() % 3, 0u);
    const int order[] = {kRateA, kRateB, kRateC};
    for (size_t i = 0; i < rates.size(); ++i) EXPECT_EQ(rates[i], order[i % 3]) << i;
    EXPECT_EQ(w.nowPlayingLabel->caption(), songs[2]);
    EXPECT_EQ(balloonText(), "亲！您已暂停播放  【" + songs[2] +
                                 "】\r\n\r\n请再次点击按钮就可以播放哦！嘻嘻~~~~~");
    EXPECT_EQ(w.percentLabel->caption(), "0%");
    EXPECT_EQ(w.progressBar->position(), 0);
    EXPECT_EQ(w.playButton->normalPicture(), skinPicture("playButton-play.gif"));
    // Playing changed nothing on disk.
    EXPECT_EQ(readFile(playlistPath("本地列表")),
              songs[0] + "\r\n" + songs[1] + "\r\n" + songs[2] + "\r\n");

    // The favourites: the list changes, the current song stays.
    w.playlistCombo->setCurrent(1);
    emit w.playlistCombo->selectionChanged(1);
    EXPECT_EQ(w.songList->itemCount(), 1);
    EXPECT_EQ(w.songList->itemTextAt(0), favourite);
    EXPECT_EQ(balloonText(), "呵呵~~~\r\n\r\n您已经切换到【最爱歌曲】列表！");
    EXPECT_EQ(w.nowPlayingLabel->caption(), songs[2]);

    // And the favourite plays, in real time, when the user leaves.
    setSpeed(1);
    w.playButton->click();
    EXPECT_EQ(state(), kPlayStatePlaying);
    EXPECT_EQ(w.nowPlayingLabel->caption(), favourite);
    EXPECT_THROW(w.closeButton->click(), ProgramEnded);
    EXPECT_FALSE(kivo_->player().holdsPlayer());
    EXPECT_EQ(dialogs_.unexpectedCalls(), 0);
}

}  // namespace
}  // namespace kivo
