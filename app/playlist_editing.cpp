#include "playlist_editing.h"

#include <QAction>
#include <QMenu>
#include <string>

#include "companion_message.h"
#include "dialog_host.h"
#include "folder_scan.h"
#include "kivo.h"
#include "playback_control.h"
#include "playlist_store.h"
#include "popup_menus.h"
#include "qt_text.h"
#include "song_list.h"
#include "text.h"

namespace kivo {

namespace {

constexpr std::string_view kCollectMenu = "collectMenu";
constexpr std::string_view kFolderTitle = "请选择一个目录，以搜索MP3音乐文件";
constexpr std::string_view kAlreadyThere = "亲，该歌曲已存在，无需再添加。";

bool askYesNo(const std::string& question) {
    return runtime::messageBox(question, runtime::kMbYesNo | runtime::kMbIconInformation,
                               "温馨提示") == runtime::kIdYes;
}

// The playlist an item of the collect menu stands for: the one whose name is its caption.
int collectTarget(Kivo& kivo, std::string_view collectItem) {
    const runtime::PopupMenus& menus = kivo.mainWindow().menus();
    QAction* item = menus.item(collectItem);
    const QMenu* collect = menus.menu(kCollectMenu);
    if (item == nullptr || collect == nullptr || !collect->actions().contains(item)) return -1;
    const std::string name = runtime::fromQString(item->text());
    const runtime::ComboBox& combo = *kivo.mainWindow().playlistCombo;
    for (int i = 0; i < combo.count(); ++i) {
        if (combo.itemTextAt(i) == name) return i;
    }
    return -1;
}

// Selects `song`, at `index` where the user saw it, else its first copy. False when the list
// no longer holds it.
bool selectSong(runtime::ListBox& list, int index, const std::string& song) {
    if (list.itemTextAt(index) != song) {
        index = -1;
        for (int i = 0; i < list.itemCount() && index < 0; ++i) {
            if (list.itemTextAt(i) == song) index = i;
        }
        if (index < 0) return false;
    }
    list.setCurrent(index);
    return true;
}

void returnToPlaylist(Kivo& kivo, int playlist) {
    if (kivo.mainWindow().playlistCombo->current() == playlist) return;
    kivo.mainWindow().playlistCombo->setCurrent(playlist);
    loadPlaylist(kivo);
}

bool isNoSong(std::string_view song) {
    return song.empty() || song == kWelcomeCaption;
}

}  // namespace

void showSongMenu(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    window.nowPlayingLabel->setCaption(selectedSong(window));
    // The playlist on view is no place to collect into.
    const std::string current = currentPlaylistName(kivo);
    if (const QMenu* collect = window.menus().menu(kCollectMenu)) {
        for (QAction* item : collect->actions()) {
            item->setVisible(runtime::fromQString(item->text()) != current);
        }
    }
    window.menus().popUp("songMenu");
    showCompanionMessage(kivo, "亲！您选择的歌曲是  【" + selectedSong(window) +
                                   "】\r\n\r\n请选择你要执行的操作！嘻嘻~~~~~");
}

void showAddMenu(Kivo& kivo) {
    showCompanionMessage(kivo, "*^_^*\r\n\r\n 亲！请选择要添加的歌曲或目录！ 呵呵呵呵~~~~~");
    kivo.mainWindow().menus().popUp("addMenu");
}

void addSongFile(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    window.openFileDialog->open();
    const std::string path = window.openFileDialog->fileName();
    // A path with a line break in it would come back from the file as two broken songs.
    if (path.empty() || !fitsOnePlaylistLine(path)) {
        showCompanionMessage(
            kivo, "亲~~您没有添加歌曲到【" + currentPlaylistName(kivo) + "】播放列表中！");
        return;
    }
    if (walkSelectionTo(*window.songList, [&](const std::string& item) { return item == path; })) {
        showCompanionMessage(kivo, kAlreadyThere);
        return;
    }
    window.songList->addItem(path);
    showSongCount(window);
    if (!savePlaylist(kivo)) return;  // the companion has told why
    showCompanionMessage(kivo, "亲~~您已成功添加【" + path + "】到【" + currentPlaylistName(kivo) +
                                   "】播放列表中！");
}

void addSongFolder(Kivo& kivo) {
    const std::string folder = runtime::browseForFolder(std::string(kFolderTitle));
    if (folder.empty()) return;
    // Events run during the scan; whatever the list holds then gets the songs.
    scanFolder(folder,
               [&kivo](const std::string& path) { kivo.mainWindow().songList->addItem(path); });
    showCompanionMessage(kivo,
                         "您已成功添加歌曲到【" + currentPlaylistName(kivo) + "】播放列表中！");
    savePlaylist(kivo);
}

void deleteSelectedSong(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    runtime::ListBox& list = *window.songList;
    const int playlist = window.playlistCombo->current();
    if (list.itemCount() == 0) {
        showCompanionMessage(
            kivo, "→_→ 抱歉！列表【" + currentPlaylistName(kivo) + "】中没有歌曲！请添加歌曲哦！");
        return;
    }
    if (list.current() == -1) {
        showCompanionMessage(kivo, "亲~~你还没有选择要删除的歌曲！嘻嘻~~");
        return;
    }
    const int asked = list.current();
    const std::string song = selectedSong(window);
    if (!askYesNo("是否删除【" + currentPlaylistName(kivo) + "】列表中的 【" + song + "】？")) {
        showCompanionMessage(kivo, "Y(^_^)Y  呵呵呵~~亲~~你已取消删除播放列表\r\n\r\n【" +
                                       currentPlaylistName(kivo) + "】中的【" + song +
                                       "】！\r\n\r\n嘻嘻~~~你做了明智的选择！来！给偶亲亲~~");
        return;
    }
    // The question lets other events run, and the end of a song may have moved the selection
    // on or switched the playlist meanwhile: the song the user agreed to lose is the one that
    // goes, or none when it is no longer there.
    returnToPlaylist(kivo, playlist);
    if (!selectSong(list, asked, song)) return;
    if (song == window.nowPlayingLabel->caption()) {
        kivo.player().pause();
        setStoppedPictures(window);
        // The bar goes back with the label: a later continue must not start at the old place.
        window.percentLabel->setCaption("0%");
        window.progressBar->setPosition(0);
        setPlayLook(window);
        window.nowPlayingLabel->setCaption(kWelcomeCaption);
    }
    showCompanionMessage(kivo, "^︵^  呜呜呜~~您干嘛把【" + currentPlaylistName(kivo) +
                                   "】中的\r\n\r\n【" + song +
                                   "】\r\n\r\n删除啦！好吧！你成功了！");
    list.deleteItem(list.current());
    savePlaylist(kivo);
    showSongPosition(window);
    showSongCount(window);
}

void clearPlaylist(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    if (window.songList->itemCount() == 0) {
        showCompanionMessage(
            kivo, "→_→ 抱歉！列表【" + currentPlaylistName(kivo) + "】中没有歌曲！请添加歌曲哦！");
        return;
    }
    const int playlist = window.playlistCombo->current();
    if (!askYesNo("是否清空【" + currentPlaylistName(kivo) + "】列表？")) {
        showCompanionMessage(kivo, "哈哈~~您已取消清空列表【" + currentPlaylistName(kivo) +
                                       "】！\r\n\r\n还是你好呀！我不用饱受无歌听的寂寞了！oh~ "
                                       "Yeah~  ");
        return;
    }
    // The end of a song may have switched the playlist while the question was open: the one
    // the user agreed to clear is cleared.
    returnToPlaylist(kivo, playlist);
    window.songList->removeAll();
    const bool saved = savePlaylist(kivo);
    // Whatever plays is paused, also a song of another playlist.
    kivo.player().pause();
    setStoppedPictures(window);
    window.playButton->setCaption("播放");
    window.nowPlayingLabel->setCaption(kWelcomeCaption);
    window.percentLabel->setCaption("0%");
    window.progressBar->setPosition(0);
    window.songPositionLabel->setCaption("被选歌曲项目：0");
    window.songCountLabel->setCaption("歌曲总数：0");
    if (!saved) return;  // the companion has told why
    showCompanionMessage(kivo, "Y(^_^)Y 嘻嘻~~~亲！~您已成功清空列表【" +
                                   currentPlaylistName(kivo) +
                                   "】！\r\n\r\n可我没歌曲听了！不行！赶快给我添歌去！   ~~>_<~~");
}

bool collectToPlaylist(Kivo& kivo, std::string_view collectItem) {
    const int target = collectTarget(kivo, collectItem);
    if (target < 0) return false;
    MainWindow& window = kivo.mainWindow();
    window.playlistCombo->setCurrent(target);
    loadPlaylist(kivo);
    const std::string song = window.nowPlayingLabel->caption();
    // Without a current song there is nothing to collect: the welcome caption is no path.
    if (isNoSong(song)) {
        showCompanionMessage(kivo,
                             "亲~~您还没有选择要收藏的歌曲哦！\r\n\r\n请先选择一首歌曲吧！"
                             "嘻嘻~~~~~");
        return true;
    }
    if (walkSelectionTo(*window.songList, [&](const std::string& item) { return item == song; })) {
        showCompanionMessage(kivo, kAlreadyThere);
        return true;
    }
    window.songList->addItem(song);
    if (!savePlaylist(kivo)) return true;  // the companion has told why
    showCompanionMessage(kivo, "亲~~您已成功把【" + song + "】\r\n\r\n收藏到【" +
                                   currentPlaylistName(kivo) + "】列表中，列表也已经切换到【" +
                                   currentPlaylistName(kivo) + "】啦！嘻嘻~~~~~");
    return true;
}

void setAutoSort(Kivo& kivo, bool sorted) {
    MainWindow& window = kivo.mainWindow();
    window.menus().setChecked("autoSortItem", sorted);
    window.menus().setChecked("cancelSortItem", !sorted);
    window.songList->setSorted(sorted);
    loadPlaylist(kivo);
    if (sorted) {
        showCompanionMessage(kivo,
                             "您已经把列表【" + currentPlaylistName(kivo) + "】设置为自动排序");
    } else {
        showCompanionMessage(kivo,
                             "您已经取消把列表【" + currentPlaylistName(kivo) + "】设置为自动排序");
    }
}

void showSearch(Kivo& kivo) {
    kivo.mainWindow().searchPanel->show();
    showCompanionMessage(kivo, "【查找规则：如:‘我爱你’，可查找‘你’、‘爱你’或‘我爱你’】");
}

void searchSongs(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    const std::string text = window.searchEdit->content();
    if (text.empty()) {
        showCompanionMessage(kivo, "亲，请输入要查找的歌曲！");
        return;
    }
    // The end of the file title, then the extension in small letters.
    const std::string key = text + ".mp3";
    const int32_t length = runtime::textLength(key);
    walkSelectionTo(*window.songList, [&](const std::string& song) {
        return runtime::rightPart(song, length) == key;
    });
    showCompanionMessage(kivo, "亲，查找结束咯！");
}

}  // namespace kivo
