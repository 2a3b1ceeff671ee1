#include "outside_songs.h"

#include <sys/stat.h>

#include "companion_message.h"
#include "folder_scan.h"
#include "kivo.h"
#include "playback_control.h"
#include "playlist_store.h"

namespace kivo {

namespace {

struct Added {
    int files = 0;         // files new to the list
    int held = 0;          // files the list held already
    bool folders = false;  // a folder was among the paths
    std::string first;     // the song the paths begin with; empty when there is none
};

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

int indexOf(runtime::ListBox& list, const std::string& path) {
    for (int i = 0; i < list.itemCount(); ++i) {
        if (list.itemTextAt(i) == path) return i;
    }
    return -1;
}

Added addPaths(Kivo& kivo, const std::vector<std::string>& paths) {
    runtime::ListBox& list = *kivo.mainWindow().songList;
    Added added;
    for (const std::string& path : paths) {
        if (isFolder(path)) {
            added.folders = true;
            scanFolder(path, [&list, &added](const std::string& song) {
                list.addItem(song);
                if (added.first.empty()) added.first = song;
            });
        } else if (isFile(path) && fitsOnePlaylistLine(path)) {
            if (indexOf(list, path) >= 0) {
                ++added.held;
            } else {
                list.addItem(path);
                ++added.files;
            }
            if (added.first.empty()) added.first = path;
        }
    }
    return added;
}

void tellWhatWasAdded(Kivo& kivo, const Added& added) {
    const std::string playlist = currentPlaylistName(kivo);
    if (added.first.empty()) {
        showCompanionMessage(kivo, "亲~~您没有添加歌曲到【" + playlist + "】播放列表中！");
    } else if (!added.folders && added.files == 0 && added.held == 1) {
        showCompanionMessage(kivo, "亲，该歌曲已存在，无需再添加。");
    } else if (!added.folders && added.files == 1 && added.held == 0) {
        showCompanionMessage(
            kivo, "亲~~您已成功添加【" + added.first + "】到【" + playlist + "】播放列表中！");
    } else {
        showCompanionMessage(kivo, "您已成功添加歌曲到【" + playlist + "】播放列表中！");
    }
}

Added addAndSave(Kivo& kivo, const std::vector<std::string>& paths) {
    const Added added = addPaths(kivo, paths);
    if (added.files > 0 || added.folders) savePlaylist(kivo);
    tellWhatWasAdded(kivo, added);
    return added;
}

}  // namespace

void addOutsideSongs(Kivo& kivo, const std::vector<std::string>& paths) {
    addAndSave(kivo, paths);
}

void openOutsideSongs(Kivo& kivo, const std::vector<std::string>& paths) {
    MainWindow& window = kivo.mainWindow();
    window.showNormal();
    window.raise();
    window.activateWindow();
    if (paths.empty()) return;
    const Added added = addAndSave(kivo, paths);
    const int index = indexOf(*window.songList, added.first);
    if (index < 0) return;
    window.songList->setCurrent(index);
    songDoubleClicked(kivo);
}

}  // namespace kivo
