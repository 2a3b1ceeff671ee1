// Loading, saving, switching and the save button, through the main window's controls.
#include <QTimer>
#include <filesystem>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "playlist_store.h"

namespace kivo {
namespace {

using namespace std::string_literals;

class PlaylistStoreTest : public AppTest {
protected:
    std::vector<std::string> items() {
        std::vector<std::string> texts;
        for (int i = 0; i < window().songList->itemCount(); ++i) {
            texts.push_back(window().songList->itemTextAt(i));
        }
        return texts;
    }
    void choosePlaylist(int index) {
        window().playlistCombo->setCurrent(index);
        switchPlaylist(*kivo_);
    }
};

TEST_F(PlaylistStoreTest, LoadShowsTheLinesAndTheirCount) {
    writePlaylist("本地列表", "/music/a.mp3\r\n/music/b.mp3");  // the last line has no CR LF
    window().songList->addItem("/stale.mp3");
    loadPlaylist(*kivo_);
    EXPECT_EQ(items(), (std::vector<std::string>{"/music/a.mp3", "/music/b.mp3"}));
    EXPECT_EQ(window().songCountLabel->caption(), "歌曲总数：2");
    savePlaylist(*kivo_);
    EXPECT_EQ(readFile(playlistPath("本地列表")), "/music/a.mp3\r\n/music/b.mp3\r\n");
}

TEST_F(PlaylistStoreTest, LoadAndSaveKeepTheBytes) {
    for (const std::string& bytes :
         {"/a.mp3\r\n\r\n"s, "/home/用户/我爱你.mp3\r\n/歌/粤语.mp3\r\n"s, "/x\xff\xfe.mp3\r\n"s}) {
        writePlaylist("本地列表", bytes);
        loadPlaylist(*kivo_);
        std::filesystem::remove(playlistPath("本地列表"));
        savePlaylist(*kivo_);
        EXPECT_EQ(readFile(playlistPath("本地列表")), bytes);
    }
}

TEST_F(PlaylistStoreTest, LfOnlyAndNulBytes) {
    writePlaylist("本地列表", "/a.mp3\n/b.mp3\n");
    loadPlaylist(*kivo_);
    EXPECT_EQ(items(), std::vector<std::string>{"/a.mp3\n/b.mp3\n"});

    writePlaylist("本地列表", "/a.mp3\r\n/b\0/c.mp3\r\n/d.mp3\r\n"s);
    loadPlaylist(*kivo_);
    EXPECT_EQ(items(), (std::vector<std::string>{"/a.mp3", "/b\0/c.mp3"s, "/d.mp3"}));
    savePlaylist(*kivo_);
    EXPECT_EQ(readFile(playlistPath("本地列表")), "/a.mp3\r\n/b\0/c.mp3\r\n/d.mp3\r\n"s);
}

TEST_F(PlaylistStoreTest, MissingOrUnreadableFileLoadsEmpty) {
    window().songList->addItem("/stale.mp3");
    loadPlaylist(*kivo_);
    EXPECT_EQ(window().songList->itemCount(), 0);
    EXPECT_EQ(window().songCountLabel->caption(), "歌曲总数：0");
    std::filesystem::create_directories(playlistPath("本地列表"));  // a folder, not a file
    loadPlaylist(*kivo_);
    EXPECT_EQ(window().songList->itemCount(), 0);
}

TEST_F(PlaylistStoreTest, SaveCreatesTheFolderAndWritesTheCurrentPlaylist) {
    window().playlistCombo->setCurrent(3);
    window().songList->addItem("/流行/一.mp3");
    savePlaylist(*kivo_);
    EXPECT_EQ(readFile(playlistPath("流行歌曲")), "/流行/一.mp3\r\n");
    EXPECT_EQ(window().songCountLabel->caption(), "歌曲总数：1");
    // An emptied list saves as an empty file.
    window().songList->removeAll();
    savePlaylist(*kivo_);
    EXPECT_TRUE(std::filesystem::exists(playlistPath("流行歌曲")));
    EXPECT_EQ(readFile(playlistPath("流行歌曲")), "");
}

TEST_F(PlaylistStoreTest, UnwritableProgramFolderFallsBackToTheUserFolder) {
    writeFile(programDir_ + "/music", "a file where the folder should be");
    window().songList->addItem("/a.mp3");
    savePlaylist(*kivo_);
    const std::string fallback = folder_.path() + "/data/kivo/music/本地列表.ini";
    EXPECT_EQ(readFile(fallback), "/a.mp3\r\n");
    EXPECT_EQ(readFile(programDir_ + "/music"), "a file where the folder should be");
    window().songList->removeAll();
    loadPlaylist(*kivo_);
    EXPECT_EQ(window().songList->itemCount(), 1);
}

TEST_F(PlaylistStoreTest, SwitchingToAListWithSongs) {
    writePlaylist("欧美歌曲", "/west/a.mp3\r\n");
    window().nowPlayingLabel->setCaption("/playing/now.mp3");
    choosePlaylist(2);
    EXPECT_EQ(balloonText(), "呵呵~~~\r\n\r\n您已经切换到【欧美歌曲】列表！");
    EXPECT_EQ(items(), std::vector<std::string>{"/west/a.mp3"});
    EXPECT_EQ(window().nowPlayingLabel->caption(), "/playing/now.mp3");
}

TEST_F(PlaylistStoreTest, SwitchingToAListWithoutFileTellsSoThreeSecondsLater) {
    window().nowPlayingLabel->setCaption("/playing/now.mp3");
    std::string duringWait;
    QTimer::singleShot(1500, [&] { duringWait = balloonText(); });
    choosePlaylist(1);
    EXPECT_EQ(duringWait, "呵呵~~~\r\n\r\n您已经切换到【最爱歌曲】列表！");
    EXPECT_EQ(balloonText(),
              "嘿嘿~~~亲~~您所切换的列表【最爱歌曲】\r\n\r\n木有歌曲，请添加歌曲哦！");
    EXPECT_EQ(window().nowPlayingLabel->caption(), "/playing/now.mp3");
    EXPECT_FALSE(std::filesystem::exists(playlistPath("最爱歌曲")));
}

TEST_F(PlaylistStoreTest, SaveButtonAsksAndSavesOnYes) {
    window().playlistCombo->setCurrent(4);
    window().songList->addItem("/国语/歌.mp3");
    dialogs_.answerMessageBox(runtime::kIdYes);
    window().saveButton->click();
    ASSERT_EQ(dialogs_.calls().size(), 1u);
    const auto& question = dialogs_.calls()[0];
    EXPECT_EQ(question.text, "请问您是否要保存【国语歌曲】播放列表！");
    EXPECT_EQ(question.caption, "温馨提示");
    EXPECT_EQ(question.flags, 0x44u);
    EXPECT_EQ(readFile(playlistPath("国语歌曲")), "/国语/歌.mp3\r\n");
    EXPECT_EQ(balloonText(), "恭喜！您已成功保存【国语歌曲】播放列表！");
}

TEST_F(PlaylistStoreTest, SaveButtonNeverClaimsAFailedSave) {
    // A folder where the file should be: the save cannot replace it.
    std::filesystem::create_directories(playlistPath("本地列表"));
    window().songList->addItem("/a.mp3");
    dialogs_.answerMessageBox(runtime::kIdYes);
    window().saveButton->click();
    EXPECT_EQ(balloonText(),
              "呜呜~~~【本地列表】播放列表没能保存！\r\n\r\n请看看音乐文件夹能不能写入哦！");
    EXPECT_TRUE(std::filesystem::is_directory(playlistPath("本地列表")));
    EXPECT_EQ(window().songCountLabel->caption(), "歌曲总数：1");
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(programDir_ + "/music"),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(PlaylistStoreTest, SaveButtonOnNoOrAnEmptyListWritesNothing) {
    writePlaylist("本地列表", "/kept.mp3\r\n");
    window().songList->addItem("/changed.mp3");
    dialogs_.answerMessageBox(runtime::kIdNo);
    window().saveButton->click();
    EXPECT_EQ(balloonText(), "呵呵！您已取消保存【本地列表】播放列表！");
    EXPECT_EQ(readFile(playlistPath("本地列表")), "/kept.mp3\r\n");

    window().songList->removeAll();
    window().saveButton->click();
    EXPECT_EQ(balloonText(), "抱歉！【本地列表】播放列表没有歌曲，无需保存！");
    EXPECT_EQ(readFile(playlistPath("本地列表")), "/kept.mp3\r\n");
    EXPECT_EQ(dialogs_.calls().size(), 1u);  // no question for the empty list
    EXPECT_EQ(dialogs_.unexpectedCalls(), 0);
}

}  // namespace
}  // namespace kivo
