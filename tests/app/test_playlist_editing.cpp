// Adding, deleting, clearing, collecting, sorting and searching, each saved at once.
#include <unistd.h>

#include "playback_control.h"
#include "playback_fixture.h"
#include "playlist_editing.h"
#include "playlist_store.h"

namespace kivo {
namespace {

class PlaylistEditingTest : public PlaybackTest {
protected:
    std::string localFile() { return readFile(playlistPath("本地列表")); }
    std::vector<std::string> items() {
        std::vector<std::string> texts;
        for (int i = 0; i < window().songList->itemCount(); ++i) {
            texts.push_back(window().songList->itemTextAt(i));
        }
        return texts;
    }
};

TEST_F(PlaylistEditingTest, AddingASongTwiceKeepsOneCopy) {
    MainWindow& w = window();
    dialogs_.answerFile("");
    addSongFile(*kivo_);
    EXPECT_EQ(balloonText(), "亲~~您没有添加歌曲到【本地列表】播放列表中！");
    EXPECT_FALSE(std::filesystem::exists(playlistPath("本地列表")));
    ASSERT_EQ(dialogs_.calls().size(), 1u);
    EXPECT_EQ(dialogs_.calls()[0].text, "音乐文件(*.mp3)|*.mp3;*.wma;*.wav");

    dialogs_.answerFile("/music/a.mp3");
    dialogs_.answerFile("/music/b.mp3");
    dialogs_.answerFile("/music/a.mp3");
    addSongFile(*kivo_);
    EXPECT_EQ(balloonText(), "亲~~您已成功添加【/music/a.mp3】到【本地列表】播放列表中！");
    addSongFile(*kivo_);
    EXPECT_EQ(w.songList->current(), 0);  // the scan's last stop stays selected
    addSongFile(*kivo_);
    EXPECT_EQ(balloonText(), "亲，该歌曲已存在，无需再添加。");
    EXPECT_EQ(w.songList->current(), 0);  // the copy found stays selected
    EXPECT_EQ(items(), (std::vector<std::string>{"/music/a.mp3", "/music/b.mp3"}));
    EXPECT_EQ(localFile(), "/music/a.mp3\r\n/music/b.mp3\r\n");
    EXPECT_EQ(w.songCountLabel->caption(), "歌曲总数：2");

    // A line break in the name would split the song in two in the file: not added.
    dialogs_.answerFile("/music/two\r\nlines.mp3");
    addSongFile(*kivo_);
    EXPECT_EQ(balloonText(), "亲~~您没有添加歌曲到【本地列表】播放列表中！");
    EXPECT_EQ(localFile(), "/music/a.mp3\r\n/music/b.mp3\r\n");
    EXPECT_EQ(dialogs_.unexpectedCalls(), 0);
}

TEST_F(PlaylistEditingTest, FolderScanFindsMp3FilesInAnyCaseAndSkipsDotFolders) {
    const std::string root = folder_.path() + "/tree";
    for (const char* name :
         {"b.mp3", "A.MP3", "notes.txt", "c.mp3.txt", "sub/d.Mp3", "sub/deeper/e.mp3",
          ".hidden/x.mp3", "sub/.git/y.mp3", ".f.mp3", "two\r\nlines.mp3"}) {
        const std::string path = root + "/" + name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        writeFile(path, "");
    }
    std::filesystem::create_directories(root + "/empty.mp3");             // a folder, not a song
    ASSERT_EQ(::symlink(root.c_str(), (root + "/sub/loop").c_str()), 0);  // back up the tree

    dialogs_.answerFolder("");
    addSongFolder(*kivo_);
    EXPECT_EQ(balloonText(), "");  // cancelled: no message, nothing saved
    EXPECT_EQ(dialogs_.calls().back().text, "请选择一个目录，以搜索MP3音乐文件");

    dialogs_.answerFolder(root);
    addSongFolder(*kivo_);
    const std::vector<std::string> once = {root + "/.f.mp3", root + "/A.MP3", root + "/b.mp3",
                                           root + "/sub/d.Mp3", root + "/sub/deeper/e.mp3"};
    EXPECT_EQ(items(), once);
    EXPECT_EQ(balloonText(), "您已成功添加歌曲到【本地列表】播放列表中！");
    std::string bytes;
    for (const std::string& path : once) bytes += path + "\r\n";
    EXPECT_EQ(localFile(), bytes);

    // The same folder again: no duplicate scan, every song a second time.
    dialogs_.answerFolder(root + "/");
    addSongFolder(*kivo_);
    EXPECT_EQ(window().songList->itemCount(), 10);
    EXPECT_EQ(localFile(), bytes + bytes);
    EXPECT_EQ(window().songCountLabel->caption(), "歌曲总数：10");

    // A folder that cannot be read gives nothing, and still the message and the save.
    dialogs_.answerFolder(folder_.path() + "/missing");
    addSongFolder(*kivo_);
    EXPECT_EQ(window().songList->itemCount(), 10);
    EXPECT_EQ(balloonText(), "您已成功添加歌曲到【本地列表】播放列表中！");
}

TEST_F(PlaylistEditingTest, DeletingTheCurrentSongPausesItAndShowsTheTemplateCaption) {
    MainWindow& w = window();
    deleteSelectedSong(*kivo_);
    EXPECT_EQ(balloonText(), "→_→ 抱歉！列表【本地列表】中没有歌曲！请添加歌曲哦！");

    setSpeed(1);
    const std::vector<std::string> songs = {song('A', "a.mp3"), song('B', "b.mp3"),
                                            song('C', "c.mp3")};
    showSongs(songs);
    savePlaylist(*kivo_);
    deleteSelectedSong(*kivo_);
    EXPECT_EQ(balloonText(), "亲~~你还没有选择要删除的歌曲！嘻嘻~~");

    w.songList->setCurrent(1);
    emit w.songList->doubleClicked();
    ASSERT_EQ(state(), kPlayStatePlaying);

    // Another song: the playing one goes on.
    w.songList->setCurrent(2);
    dialogs_.answerMessageBox(runtime::kIdYes);
    deleteSelectedSong(*kivo_);
    EXPECT_EQ(dialogs_.calls().back().text, "是否删除【本地列表】列表中的 【" + songs[2] + "】？");
    EXPECT_EQ(dialogs_.calls().back().caption, "温馨提示");
    EXPECT_EQ(dialogs_.calls().back().flags, 0x44u);
    EXPECT_EQ(state(), kPlayStatePlaying);
    EXPECT_EQ(w.nowPlayingLabel->caption(), songs[1]);
    EXPECT_EQ(balloonText(), "^︵^  呜呜呜~~您干嘛把【本地列表】中的\r\n\r\n【" + songs[2] +
                                 "】\r\n\r\n删除啦！好吧！你成功了！");
    EXPECT_EQ(localFile(), songs[0] + "\r\n" + songs[1] + "\r\n");

    // No: nothing changes.
    w.songList->setCurrent(1);
    dialogs_.answerMessageBox(runtime::kIdNo);
    deleteSelectedSong(*kivo_);
    EXPECT_EQ(w.songList->itemCount(), 2);
    EXPECT_EQ(balloonText(), "Y(^_^)Y  呵呵呵~~亲~~你已取消删除播放列表\r\n\r\n【本地列表】中的【" +
                                 songs[1] + "】！\r\n\r\n嘻嘻~~~你做了明智的选择！来！给偶亲亲~~");

    // The current song: paused, not removed, and the window forgets it.
    dialogs_.answerMessageBox(runtime::kIdYes);
    deleteSelectedSong(*kivo_);
    EXPECT_EQ(state(), kPlayStatePaused);
    EXPECT_EQ(w.nowPlayingLabel->caption(), "欢迎使用【Kivo-mp3播放器】");
    EXPECT_EQ(w.percentLabel->caption(), "0%");
    EXPECT_EQ(w.playButton->caption(), "播放");
    EXPECT_EQ(localFile(), songs[0] + "\r\n");
    EXPECT_EQ(w.songCountLabel->caption(), "歌曲总数：1");
    EXPECT_EQ(w.songPositionLabel->caption(),
              "歌曲位置：" + std::to_string(w.songList->caretIndex() + 1));
}

// A dialog host whose message box lets something happen while it is open, as the real one
// does: events run during a modal question.
class EventfulDialogs : public runtime::ScriptedDialogs {
public:
    std::function<void()> duringQuestion;
    int messageBox(QWidget* owner, const std::string& text, uint32_t flags,
                   const std::string& caption) override {
        if (duringQuestion) duringQuestion();
        return ScriptedDialogs::messageBox(owner, text, flags, caption);
    }
};

// A song that ends while the question is open moves the selection on (loop mode), or with
// auto-switch even loads another playlist; the yes still deletes what the user was asked about.
TEST_F(PlaylistEditingTest, TheAnswerDeletesTheSongThatWasAsked) {
    MainWindow& w = window();
    const std::vector<std::string> songs = {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"};
    writePlaylist("最爱歌曲", "/m/other.mp3\r\n");
    showSongs(songs);
    savePlaylist(*kivo_);
    EventfulDialogs dialogs;
    dialogs.duringQuestion = [&] { progress(100); };
    w.songList->setCurrent(0);
    dialogs.answerMessageBox(runtime::kIdYes);
    deleteSelectedSong(*kivo_);
    EXPECT_EQ(localFile(), "/m/b.mp3\r\n/m/c.mp3\r\n");

    kivo_->mainWindow().menus().setChecked("autoSwitchListItem", true);
    w.songList->setCurrent(1);  // the last song: its end switches the playlist
    dialogs.duringQuestion = [&] {
        progress(100);
        w.playlistCombo->setCurrent(1);  // wherever the draw went, this one for sure
        loadPlaylist(*kivo_);
    };
    dialogs.answerMessageBox(runtime::kIdYes);
    deleteSelectedSong(*kivo_);
    EXPECT_EQ(w.playlistCombo->current(), 0);
    EXPECT_EQ(localFile(), "/m/b.mp3\r\n");
    EXPECT_EQ(readFile(playlistPath("最爱歌曲")), "/m/other.mp3\r\n");

    // Clearing likewise clears the list the user was asked about.
    dialogs.answerMessageBox(runtime::kIdYes);
    clearPlaylist(*kivo_);
    EXPECT_EQ(localFile(), "");
    EXPECT_EQ(readFile(playlistPath("最爱歌曲")), "/m/other.mp3\r\n");
}

TEST_F(PlaylistEditingTest, ClearingWritesAnEmptyFileAndPausesWhateverPlays) {
    MainWindow& w = window();
    clearPlaylist(*kivo_);
    EXPECT_EQ(balloonText(), "→_→ 抱歉！列表【本地列表】中没有歌曲！请添加歌曲哦！");
    EXPECT_FALSE(std::filesystem::exists(playlistPath("本地列表")));

    setSpeed(1);
    const std::vector<std::string> songs = {song('A', "a.mp3"), song('B', "b.mp3")};
    showSongs(songs);
    savePlaylist(*kivo_);
    w.songList->setCurrent(0);
    emit w.songList->doubleClicked();
    ASSERT_EQ(state(), kPlayStatePlaying);

    dialogs_.answerMessageBox(runtime::kIdNo);
    clearPlaylist(*kivo_);
    EXPECT_EQ(dialogs_.calls().back().text, "是否清空【本地列表】列表？");
    EXPECT_EQ(balloonText(),
              "哈哈~~您已取消清空列表【本地列表】！\r\n\r\n还是你好呀！"
              "我不用饱受无歌听的寂寞了！oh~ Yeah~  ");
    EXPECT_EQ(w.songList->itemCount(), 2);
    EXPECT_EQ(state(), kPlayStatePlaying);

    dialogs_.answerMessageBox(runtime::kIdYes);
    clearPlaylist(*kivo_);
    EXPECT_TRUE(std::filesystem::exists(playlistPath("本地列表")));
    EXPECT_EQ(localFile(), "");
    EXPECT_EQ(state(), kPlayStatePaused);
    EXPECT_EQ(w.playButton->caption(), "播放");
    EXPECT_EQ(w.nowPlayingLabel->caption(), "欢迎使用【Kivo-mp3播放器】");
    EXPECT_EQ(w.percentLabel->caption(), "0%");
    EXPECT_EQ(w.songPositionLabel->caption(), "被选歌曲项目：0");
    EXPECT_EQ(w.songCountLabel->caption(), "歌曲总数：0");
    EXPECT_EQ(balloonText(),
              "Y(^_^)Y 嘻嘻~~~亲！~您已成功清空列表【本地列表】！\r\n\r\n"
              "可我没歌曲听了！不行！赶快给我添歌去！   ~~>_<~~");
}

TEST_F(PlaylistEditingTest, CollectingGoesToThePlaylistOfTheItemsName) {
    MainWindow& w = window();
    writePlaylist("流行歌曲", "/m/pop.mp3\r\n");
    showSongs({"/m/a.mp3", "/m/b.mp3"});
    w.songList->setCurrent(1);

    dialogs_.answerMenu("");
    showSongMenu(*kivo_);  // dismissed
    EXPECT_EQ(w.nowPlayingLabel->caption(), "/m/b.mp3");
    EXPECT_FALSE(w.menus().isVisible("collectItem0"));  // the playlist on view
    EXPECT_TRUE(w.menus().isVisible("collectItem3"));
    EXPECT_EQ(balloonText(),
              "亲！您选择的歌曲是  【/m/b.mp3】\r\n\r\n请选择你要执行的操作！嘻嘻~~~~~");

    // "流行歌曲" is the third item of the menu but playlist 3.
    ASSERT_TRUE(collectToPlaylist(*kivo_, "collectItem3"));
    EXPECT_EQ(w.playlistCombo->current(), 3);
    EXPECT_EQ(readFile(playlistPath("流行歌曲")), "/m/pop.mp3\r\n/m/b.mp3\r\n");
    EXPECT_NE(balloonText().find("/m/b.mp3"), std::string::npos);
    EXPECT_NE(balloonText().find("流行歌曲"), std::string::npos);

    // Into the playlist that holds it already: switched, but not added again.
    ASSERT_TRUE(collectToPlaylist(*kivo_, "collectItem3"));
    EXPECT_EQ(balloonText(), "亲，该歌曲已存在，无需再添加。");
    EXPECT_EQ(readFile(playlistPath("流行歌曲")), "/m/pop.mp3\r\n/m/b.mp3\r\n");

    // Without a current song nothing is collected: the welcome caption is no path.
    w.nowPlayingLabel->setCaption("欢迎使用【Kivo-mp3播放器】");
    ASSERT_TRUE(collectToPlaylist(*kivo_, "collectItem1"));
    EXPECT_EQ(w.playlistCombo->current(), 1);
    EXPECT_FALSE(std::filesystem::exists(playlistPath("最爱歌曲")));
    w.nowPlayingLabel->setCaption("");
    ASSERT_TRUE(collectToPlaylist(*kivo_, "collectItem8"));
    EXPECT_FALSE(std::filesystem::exists(playlistPath("其他歌曲")));

    EXPECT_FALSE(collectToPlaylist(*kivo_, "playItem"));
}

TEST_F(PlaylistEditingTest, SortedViewAndFileOrder) {
    MainWindow& w = window();
    writePlaylist("本地列表", "/m/b.mp3\r\n/m/C.mp3\r\n/m/a.mp3\r\n");
    loadPlaylist(*kivo_);
    setAutoSort(*kivo_, true);
    EXPECT_EQ(items(), (std::vector<std::string>{"/m/a.mp3", "/m/b.mp3", "/m/C.mp3"}));
    EXPECT_TRUE(w.menus().isChecked("autoSortItem"));
    EXPECT_FALSE(w.menus().isChecked("cancelSortItem"));
    EXPECT_EQ(balloonText(), "您已经把列表【本地列表】设置为自动排序");
    EXPECT_EQ(localFile(), "/m/b.mp3\r\n/m/C.mp3\r\n/m/a.mp3\r\n");  // until the next save

    dialogs_.answerFile("/m/B2.mp3");
    addSongFile(*kivo_);
    EXPECT_EQ(items(), (std::vector<std::string>{"/m/a.mp3", "/m/b.mp3", "/m/B2.mp3", "/m/C.mp3"}));
    EXPECT_EQ(localFile(), "/m/a.mp3\r\n/m/b.mp3\r\n/m/B2.mp3\r\n/m/C.mp3\r\n");

    writePlaylist("本地列表", "/m/b.mp3\r\n/m/a.mp3\r\n");
    setAutoSort(*kivo_, false);
    EXPECT_EQ(items(), (std::vector<std::string>{"/m/b.mp3", "/m/a.mp3"}));
    EXPECT_FALSE(w.menus().isChecked("autoSortItem"));
    EXPECT_TRUE(w.menus().isChecked("cancelSortItem"));
    EXPECT_EQ(balloonText(), "您已经取消把列表【本地列表】设置为自动排序");
}

TEST_F(PlaylistEditingTest, SearchFindsTheEndOfTheTitleBeforeASmallLetterExtension) {
    MainWindow& w = window();
    runtime::EditBox& edit = *w.searchEdit;
    showSongs({"/m/爱你.MP3", "/m/爱你 .mp3", "/m/我爱你.mp3", "/m/z.mp3"});

    w.searchButton->click();
    EXPECT_TRUE(w.searchPanel->isVisibleTo(&w));
    EXPECT_EQ(balloonText(), "【查找规则：如:‘我爱你’，可查找‘你’、‘爱你’或‘我爱你’】");

    edit.setContent("爱你");
    EXPECT_EQ(w.songList->current(), 2);
    EXPECT_EQ(balloonText(), "亲，查找结束咯！");
    edit.setContent("你");
    EXPECT_EQ(w.songList->current(), 2);
    edit.setContent("我爱你");
    EXPECT_EQ(w.songList->current(), 2);
    edit.setContent("/m/z");
    EXPECT_EQ(w.songList->current(), 3);
    edit.setContent("他");
    EXPECT_EQ(w.songList->current(), 3);  // nothing found: the last song stays selected
    EXPECT_EQ(balloonText(), "亲，查找结束咯！");

    edit.setContent("");
    EXPECT_EQ(balloonText(), "亲，请输入要查找的歌曲！");
    // Leaving the empty field brings the placeholder back, which searches too.
    emit edit.lostFocus();
    EXPECT_EQ(balloonText(), "亲，查找结束咯！");
}

TEST_F(PlaylistEditingTest, MenusRunTheirItemsAsEventsOfTheirOwn) {
    MainWindow& w = window();
    dialogs_.answerMenu("addMusicItem");
    dialogs_.answerFile("/m/x.mp3");
    w.addButton->click();
    EXPECT_EQ(balloonText(), "*^_^*\r\n\r\n 亲！请选择要添加的歌曲或目录！ 呵呵呵呵~~~~~");
    EXPECT_EQ(w.songList->itemCount(), 0);  // not yet: the pick comes as its own event
    QCoreApplication::processEvents();
    EXPECT_EQ(w.songList->itemCount(), 1);
    EXPECT_EQ(localFile(), "/m/x.mp3\r\n");

    // Ctrl+D is the delete item's key.
    w.songList->setCurrent(0);
    dialogs_.answerMessageBox(runtime::kIdYes);
    w.menus().item("deleteSelectedItem")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.songList->itemCount(), 0);
    EXPECT_EQ(localFile(), "");
    EXPECT_EQ(dialogs_.unexpectedCalls(), 0);
}

}  // namespace
}  // namespace kivo
