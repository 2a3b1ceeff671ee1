#include "playlist_store.h"

#include <vector>

#include "companion_message.h"
#include "dialog_host.h"
#include "files.h"
#include "kivo.h"
#include "music_folder.h"
#include "playlist_file.h"
#include "pumping_wait.h"
#include "replacement_file.h"
#include "song_list.h"
#include "text.h"

namespace kivo {

namespace {

constexpr int kEmptyListNoticeDelayMs = 3000;

std::string playlistFile(Kivo& kivo) {
    return playlistFilePath(kivo.programDir(), currentPlaylistName(kivo));
}

}  // namespace

std::string currentPlaylistName(Kivo& kivo) {
    runtime::ComboBox& combo = *kivo.mainWindow().playlistCombo;
    return combo.itemTextAt(combo.current());
}

void loadPlaylist(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    window.songList->removeAll();
    // With the sorted flag on, the list puts each line in its place by itself.
    const std::string file = playlistReadPath(kivo.programDir(), currentPlaylistName(kivo));
    for (const std::string& line : parsePlaylist(runtime::readWholeFile(file))) {
        window.songList->addItem(line);
    }
    showSongCount(window);
}

bool savePlaylist(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    std::vector<std::string> paths;
    paths.reserve(std::size_t(window.songList->itemCount()));
    for (int i = 0; i < window.songList->itemCount(); ++i) {
        paths.push_back(window.songList->itemTextAt(i));
    }
    createMusicFolder(kivo.programDir());
    // The old file is replaced whole or not at all.
    const bool saved = replaceFileContents(playlistFile(kivo), formatPlaylist(paths));
    showSongCount(window);
    // The list on screen is whole either way; the user learns that its file is not up to date.
    if (!saved) {
        showCompanionMessage(kivo,
                             "呜呜~~~【" + currentPlaylistName(kivo) +
                                 "】播放列表没能保存！\r\n\r\n请看看音乐文件夹能不能写入哦！");
    }
    return saved;
}

void switchPlaylist(Kivo& kivo) {
    showCompanionMessage(kivo,
                         "呵呵~~~\r\n\r\n您已经切换到【" + currentPlaylistName(kivo) + "】列表！");
    loadPlaylist(kivo);
    if (kivo.mainWindow().songList->itemCount() != 0) return;
    runtime::pumpingWait(kEmptyListNoticeDelayMs);
    // Read the name again: the user may have switched once more during the wait.
    showCompanionMessage(kivo, "嘿嘿~~~亲~~您所切换的列表【" + currentPlaylistName(kivo) +
                                   "】\r\n\r\n木有歌曲，请添加歌曲哦！");
}

void confirmSavePlaylist(Kivo& kivo) {
    if (kivo.mainWindow().songList->itemCount() == 0) {
        showCompanionMessage(
            kivo, "抱歉！【" + currentPlaylistName(kivo) + "】播放列表没有歌曲，无需保存！");
        return;
    }
    const int answer =
        runtime::messageBox("请问您是否要保存【" + currentPlaylistName(kivo) + "】播放列表！",
                            runtime::kMbYesNo | runtime::kMbIconInformation, "温馨提示");
    if (answer != runtime::kIdYes) {
        showCompanionMessage(kivo,
                             "呵呵！您已取消保存【" + currentPlaylistName(kivo) + "】播放列表！");
    } else if (savePlaylist(kivo)) {  // a failed save has told the user itself
        showCompanionMessage(kivo,
                             "恭喜！您已成功保存【" + currentPlaylistName(kivo) + "】播放列表！");
    }
}

}  // namespace kivo
