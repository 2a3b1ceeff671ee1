#include "play_modes.h"

#include <string>

#include "companion_message.h"
#include "kivo.h"
#include "now_playing.h"
#include "playback_control.h"
#include "playlist_store.h"
#include "popup_menus.h"
#include "random_range.h"

namespace kivo {

namespace {

enum class PlayMode { Single, SingleRepeat, Loop, Sequential, Random };

struct ModeItem {
    std::string_view handle;
    std::string_view name;
    PlayMode mode;
};

constexpr ModeItem kModes[] = {
    {"singlePlayItem", "单曲播放", PlayMode::Single},
    {"singleRepeatItem", "单曲循环", PlayMode::SingleRepeat},
    {"loopPlayItem", "循环播放", PlayMode::Loop},
    {"sequentialPlayItem", "顺序播放", PlayMode::Sequential},
    {"randomPlayItem", "随机播放", PlayMode::Random},
};

constexpr std::string_view kAutoSwitchItem = "autoSwitchListItem";
constexpr int kLastPlaylist = 8;

// The checked mode item decides; loop if, against the rule, none is checked.
PlayMode checkedMode(Kivo& kivo) {
    for (const ModeItem& item : kModes) {
        if (kivo.mainWindow().menus().isChecked(item.handle)) return item.mode;
    }
    return PlayMode::Loop;
}

bool caretOnLastSong(MainWindow& window) {
    return window.songList->caretIndex() == window.songList->itemCount() - 1;
}

void switchToRandomPlaylist(Kivo& kivo) {
    kivo.mainWindow().playlistCombo->setCurrent(runtime::randomInRange(0, kLastPlaylist));
    loadPlaylist(kivo);
    showCompanionMessage(kivo, "亲！Kivo已经自动帮您切换到 【" + currentPlaylistName(kivo) +
                                   "】列表，\r\n\r\n请慢慢欣赏哦！嘻嘻~~~~~");
}

void playNextByMode(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    runtime::ListBox& list = *window.songList;
    switch (checkedMode(kivo)) {
        case PlayMode::Single:
            window.nowPlayingLabel->setCaption(selectedSong(window));
            showSongPosition(window);
            showCompanionMessage(kivo, "亲！您正在播放的歌曲是  \r\n\r\n【" + selectedSong(window) +
                                           "】 \r\n\r\n请慢慢欣赏哦！嘻嘻~~~~~");
            break;
        case PlayMode::SingleRepeat:
            playSelected(kivo);
            showNowPlaying(kivo);
            break;
        case PlayMode::Sequential:
            if (caretOnLastSong(window)) break;
            list.setCurrent(list.current() + 1);
            showNowPlaying(kivo);
            playSelected(kivo);
            break;
        case PlayMode::Loop:
            // From -1, one step on selects the first song.
            if (caretOnLastSong(window)) list.setCurrent(-1);
            list.setCurrent(list.current() + 1);
            showNowPlaying(kivo);
            playSelected(kivo);
            break;
        case PlayMode::Random:
            // A list of one song draws nothing from the generator.
            list.setCurrent(runtime::randomInRange(0, list.itemCount() - 1));
            showNowPlaying(kivo);
            playSelected(kivo);
            break;
    }
}

}  // namespace

void showModeMenu(Kivo& kivo) {
    showCompanionMessage(kivo, "*^_^*  \r\n\r\n亲！请选择要播放的模式！ 呵呵呵呵~~~~~");
    kivo.mainWindow().menus().popUp("modeMenu");
}

bool setPlayMode(Kivo& kivo, std::string_view modeItem) {
    const ModeItem* chosen = nullptr;
    for (const ModeItem& item : kModes) {
        if (item.handle == modeItem) chosen = &item;
    }
    if (chosen == nullptr) return false;
    MainWindow& window = kivo.mainWindow();
    for (const ModeItem& item : kModes) {
        window.menus().setChecked(item.handle, &item == chosen);
    }
    const std::string name(chosen->name);
    window.modeLabel->setCaption("◣" + name + "◥");
    showCompanionMessage(kivo, "亲~~~您已经设置为" + name + "！\r\n\r\n欢迎下次光临哦！呵呵~~~~~");
    return true;
}

void toggleAutoSwitch(Kivo& kivo) {
    runtime::PopupMenus& menus = kivo.mainWindow().menus();
    if (menus.isChecked(kAutoSwitchItem)) {
        menus.setChecked(kAutoSwitchItem, false);
        showCompanionMessage(kivo, "亲~~~您已经取消自动切换列表！\r\n\r\n欢迎下次光临哦");
    } else {
        menus.setChecked(kAutoSwitchItem, true);
        showCompanionMessage(kivo, "亲~~~您已经设置为自动切换列表！\r\n\r\n欢迎下次光临哦");
    }
}

void advanceAfterSong(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    if (caretOnLastSong(window) && window.menus().isChecked(kAutoSwitchItem)) {
        switchToRandomPlaylist(kivo);
    }
    playNextByMode(kivo);
    if (kivo.player().state() != kPlayStatePlaying) {
        showCompanionMessage(kivo, "亲！您已暂停播放  【" + selectedSong(window) +
                                       "】\r\n\r\n请再次点击按钮就可以播放哦！嘻嘻~~~~~");
    }
}

}  // namespace kivo
