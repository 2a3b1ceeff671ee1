#include "now_playing.h"

#include "companion_message.h"
#include "kivo.h"
#include "playback_control.h"

namespace kivo {

void playSelected(Kivo& kivo) {
    playRequest(kivo, selectedSong(kivo.mainWindow()));
}

void showNowPlaying(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    const std::string song = selectedSong(window);
    window.nowPlayingLabel->setCaption(song);
    showSongPosition(window);
    window.songList->setFocus();
    showCompanionMessage(
        kivo, "亲！您正在播放的歌曲是  \r\n\r\n【" + song + "】 \r\n\r\n请慢慢欣赏哦！嘻嘻~~~~~");
}

}  // namespace kivo
