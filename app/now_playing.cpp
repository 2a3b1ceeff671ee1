// The song operations that the list, the buttons and the end of a song share. The step after
// the end of a song is with the play modes.
#include "kivo.h"
#include "notify_windows_qt.h"
#include "text.h"

namespace kivo {

void playSelected(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    const std::string path = window.songList->itemTextAt(window.songList->current());
    kivo.player().play(path, 0, runtime::notifyHandleOf(window.nowPlayingLabel));
}

void showNowPlaying(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    const std::string song = window.songList->itemTextAt(window.songList->current());
    window.nowPlayingLabel->setCaption(song);
    window.songPositionLabel->setCaption("歌曲位置：" +
                                         runtime::toText(window.songList->caretIndex() + 1));
    window.songList->setFocus();
    showCompanionMessage(
        kivo, "亲！您正在播放的歌曲是  \r\n\r\n【" + song + "】 \r\n\r\n请慢慢欣赏哦！嘻嘻~~~~~");
}

}  // namespace kivo
