#include "play_failures.h"

#include <algorithm>
#include <string>

#include "companion_message.h"
#include "kivo.h"
#include "playback_control.h"
#include "player_entry.h"

namespace kivo {

namespace {

// Kept on the now-playing label: how many songs failed in a row, whether the song that ends
// next has failed, and whether its end stops the advance.
constexpr char kFailuresInARow[] = "kivoFailuresInARow";
constexpr char kSongFailed[] = "kivoSongFailed";
constexpr char kStopAtEnd[] = "kivoStopAtEnd";

// What the companion says of the reason, in a few words.
const char* reasonText(int reason) {
    switch (reason) {
        case kFailCannotOpen:
            return "文件找不到或者打不开";
        case kFailNotAFile:
            return "它不是一个文件";
        case kFailNoAudio:
            return "里面没有能播放的MP3音乐";
        case kFailReadError:
            return "读文件的时候出错了";
        default:
            return "出了点问题";
    }
}

// Songs that may fail in a row before a whole pass has failed: the one song that single
// repeat plays over and over, otherwise the whole list.
int passLength(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    if (window.menus().isChecked("singleRepeatItem")) return 1;
    return std::max(window.songList->itemCount(), 1);
}

}  // namespace

void onPlayFailed(Kivo& kivo, int reason) {
    MainWindow& window = kivo.mainWindow();
    QObject* label = window.nowPlayingLabel;
    const int inARow = label->property(kFailuresInARow).toInt() + 1;
    label->setProperty(kFailuresInARow, inARow);
    label->setProperty(kSongFailed, true);
    setStoppedPictures(window);
    setPlayLook(window);
    const std::string song = window.nowPlayingLabel->caption();
    if (reason == kFailDeviceRefused) {
        label->setProperty(kStopAtEnd, true);
        showCompanionMessage(kivo, "亲！Kivo找不到能用的声音设备，\r\n\r\n【" + song +
                                       "】放不出声音哦！请检查一下音箱或耳机吧！呜呜~~~~~");
    } else if (reason == kFailDeviceLost) {
        // Playing on would only run the clock into nothing; the next Play opens it anew.
        label->setProperty(kStopAtEnd, true);
        showCompanionMessage(kivo, "亲！声音设备突然不见了，\r\n\r\n【" + song +
                                       "】Kivo先停下来啦！请检查一下音箱或耳机，再点播放吧！"
                                       "呜呜~~~~~");
    } else if (reason == kFailCutShort) {
        // Part of the song was heard: the play mode goes on with the next.
        showCompanionMessage(kivo, "亲！歌曲【" + song +
                                       "】\r\n\r\n在播放的时候文件变短了，Kivo只能放到这里啦！"
                                       "呜呜~~~~~");
    } else if (inARow >= passLength(kivo)) {
        label->setProperty(kStopAtEnd, true);
        showCompanionMessage(kivo,
                             "亲！列表里的歌曲Kivo一首也播放不了，\r\n\r\n先停下来啦！"
                             "请检查一下歌曲文件吧！呜呜~~~~~");
    } else {
        showCompanionMessage(kivo, "亲！歌曲【" + song + "】\r\n\r\n" + reasonText(reason) +
                                       "，Kivo播放不了哦！呜呜~~~~~");
    }
}

bool advanceStopsAfterFailures(Kivo& kivo) {
    QObject* label = kivo.mainWindow().nowPlayingLabel;
    const bool failed = label->property(kSongFailed).toBool();
    const bool stop = label->property(kStopAtEnd).toBool();
    label->setProperty(kSongFailed, false);
    label->setProperty(kStopAtEnd, false);
    if (!failed || stop) label->setProperty(kFailuresInARow, 0);
    return stop;
}

void songIsPlaying(Kivo& kivo) {
    kivo.mainWindow().nowPlayingLabel->setProperty(kFailuresInARow, 0);
}

}  // namespace kivo
