#include "playback_control.h"

#include <string>

#include "beat.h"
#include "companion_message.h"
#include "kivo.h"
#include "notify_windows_qt.h"
#include "now_playing.h"
#include "play_failures.h"
#include "play_modes.h"
#include "playlist_editing.h"
#include "pumping_wait.h"
#include "skin.h"
#include "song_list.h"
#include "text.h"

namespace kivo {

namespace {

constexpr int kStatusFrames = 6;
constexpr int kStatusFrameMs = 100;

// The status animation keeps its bookkeeping on the picture it animates: whether a run is
// going on, how many progress events still owe a run, and a count that every end of a song
// raises, so that a run does not paint over the stopped picture.
constexpr char kAnimationRunning[] = "kivoStatusRunning";
constexpr char kAnimationOwed[] = "kivoStatusOwed";
constexpr char kAnimationStops[] = "kivoStatusStops";

int intProperty(const QObject* object, const char* name) {
    return object->property(name).toInt();
}

void setButtonFace(MainWindow& window, std::string_view normal, std::string_view hot) {
    window.playButton->setNormalPicture(skinPicture(normal));
    window.playButton->setHotPicture(skinPicture(hot));
}

void setPauseFace(MainWindow& window) {
    setButtonFace(window, "playButton-pause.gif", "playButton-pause-hot.gif");
}

void showStatusFrame(MainWindow& window, int frame) {
    window.statusPicture->setPicture(skinPicture("statusPicture" + std::to_string(frame) + ".gif"));
}

// Written only when it changes, so that the turning disc is not restarted by every event.
void setPlayingDisc(MainWindow& window) {
    const QByteArray turning = skinPicture("discPicture-turning.gif");
    if (window.discPicture->picture() != turning) window.discPicture->setPicture(turning);
}

// Frames 0 to 5, each followed by a 100 ms wait that keeps the windows alive, on the beat that
// the turning disc steps on, so that both repaint together. Progress events
// that arrive during a run do not start runs of their own inside it (a short song sends them
// faster than a run lasts, and the nested waits would pile up without end); together they ask
// for one more full run after the current one instead.
void runStatusAnimation(MainWindow& window) {
    QObject* picture = window.statusPicture;
    picture->setProperty(kAnimationOwed, intProperty(picture, kAnimationOwed) + 1);
    if (picture->property(kAnimationRunning).toBool()) return;
    picture->setProperty(kAnimationRunning, true);
    while (intProperty(picture, kAnimationOwed) > 0) {
        picture->setProperty(kAnimationOwed, 0);
        const int stops = intProperty(picture, kAnimationStops);
        for (int frame = 0; frame < kStatusFrames; ++frame) {
            showStatusFrame(window, frame);
            runtime::pumpingWaitOnBeat(kStatusFrameMs);
            if (intProperty(picture, kAnimationStops) != stops) break;
        }
    }
    picture->setProperty(kAnimationRunning, false);
}

void stopStatusAnimation(MainWindow& window) {
    QObject* picture = window.statusPicture;
    picture->setProperty(kAnimationOwed, 0);
    picture->setProperty(kAnimationStops, intProperty(picture, kAnimationStops) + 1);
}

// The steps that previous and next share once they have moved the selection.
void playSwitchedSong(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    window.songList->setFocus();
    playSelected(kivo);
    window.nowPlayingLabel->setCaption(selectedSong(window));
    showSongPosition(window);
    setPauseLook(window);
    showCompanionMessage(kivo, "亲！您正在切换播放的歌曲是  【\r\n\r\n" + selectedSong(window) +
                                   "\r\n\r\n】  ，请慢慢欣赏哦！嘻嘻~~~~~");
}

// The steps that a double-click and Enter share before their messages.
void playChosenSong(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    window.nowPlayingLabel->setCaption(selectedSong(window));
    playSelected(kivo);
    setPauseLook(window);
}

}  // namespace

std::string selectedSong(MainWindow& window) {
    return window.songList->itemTextAt(window.songList->current());
}

void showSongPosition(MainWindow& window) {
    window.songPositionLabel->setCaption("歌曲位置：" +
                                         runtime::toText(window.songList->caretIndex() + 1));
}

void playRequest(Kivo& kivo, std::string_view path, int startPercent) {
    kivo.player().play(path, startPercent,
                       runtime::notifyHandleOf(kivo.mainWindow().nowPlayingLabel));
}

void setPlayFace(MainWindow& window) {
    setButtonFace(window, "playButton-play.gif", "playButton-play-hot.gif");
}

void setPlayLook(MainWindow& window) {
    setPlayFace(window);
    window.playButton->setCaption("播放");
}

void setPauseLook(MainWindow& window) {
    setPauseFace(window);
    window.playButton->setCaption("暂停");
}

void setStoppedPictures(MainWindow& window) {
    window.discPicture->setPicture(skinPicture("discPicture.gif"));
    showStatusFrame(window, 0);
}

void playPauseToggle(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    if (window.songList->itemCount() == 0) {
        showCompanionMessage(kivo,
                             "亲！您所在的列表没歌曲！ \r\n\r\n请添加歌曲后再播放吧哦！呵呵~~~~~");
        return;
    }
    if (window.songList->current() == -1) {
        window.songList->setCurrent(0);
        showNowPlaying(kivo);
    }
    switch (kivo.player().state()) {
        case kPlayStatePlaying:
            kivo.player().pause();
            setStoppedPictures(window);
            setPlayLook(window);
            showCompanionMessage(kivo, "亲！您已暂停播放\r\n\r\n【" + selectedSong(window) +
                                           "】\r\n\r\n请再次点击按钮就可以播放哦！嘻嘻~~~~~");
            break;
        case kPlayStatePaused:
            // Continuing starts the current song anew, from the whole percent the bar shows.
            playRequest(kivo, window.nowPlayingLabel->caption(), window.progressBar->position());
            setPauseLook(window);
            showCompanionMessage(kivo, "亲！您继续播放的歌曲是\r\n\r\n【" + selectedSong(window) +
                                           "】\r\n\r\n请慢慢欣赏哦！嘻嘻~~~~~");
            break;
        default:
            playSelected(kivo);
            window.nowPlayingLabel->setCaption(selectedSong(window));
            setPauseLook(window);
            showCompanionMessage(kivo, "亲！您正在播放的歌曲是  \r\n\r\n【" + selectedSong(window) +
                                           "】 \r\n\r\n请慢慢欣赏哦！嘻嘻~~~~~");
            break;
    }
}

void previousSong(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    runtime::ListBox& list = *window.songList;
    if (list.itemCount() == 0) return;
    if (list.current() == 0) {
        showCompanionMessage(kivo, "亲！您所选的歌曲【" + selectedSong(window) +
                                       "】\r\n\r\n已是置顶！  ，不用点击上一首喔！嘻嘻~~~~~");
        return;
    }
    list.setCurrent(list.current() - 1);
    playSwitchedSong(kivo);
}

void nextSong(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    runtime::ListBox& list = *window.songList;
    if (list.itemCount() == 0) return;
    // Next never wraps to the top, whatever the play mode.
    if (list.caretIndex() == list.itemCount() - 1) {
        showCompanionMessage(kivo,
                             "亲！您所选的歌曲【" + selectedSong(window) +
                                 "】\r\n\r\n已是本列表最后的歌曲！  ，不用点击下一首喔！嘻嘻~~~~~");
        return;
    }
    list.setCurrent(list.current() + 1);
    playSwitchedSong(kivo);
}

void songSelectionChanged(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    window.progressBar->setPosition(0);
    showSongPosition(window);
    showCompanionMessage(kivo, "亲！您选择的歌曲是  【" + selectedSong(window) +
                                   "】\r\n\r\n请鼠标右击或双击或敲回车键！更多功能等你发现哦！"
                                   "嘻嘻~~~~~");
}

void songDoubleClicked(Kivo& kivo) {
    playChosenSong(kivo);
    showCompanionMessage(kivo, "亲！您正在播放的歌曲是  \r\n\r\n【" +
                                   selectedSong(kivo.mainWindow()) +
                                   "】 \r\n\r\n请慢慢欣赏哦！嘻嘻~~~~~");
}

void songKeyPressed(Kivo& kivo, int keyCode) {
    if (keyCode == runtime::kKeyEnter) {
        playChosenSong(kivo);
        showCompanionMessage(kivo, "亲！您正在播放的歌曲是  【\r\n\r\n" +
                                       selectedSong(kivo.mainWindow()) +
                                       "\r\n\r\n】  ，请慢慢欣赏哦！嘻嘻~~~~~");
    } else if (keyCode == runtime::kKeyDelete) {
        deleteSelectedSong(kivo);
    }
}

void playMenuItem(Kivo& kivo) {
    playSelected(kivo);
    setPauseLook(kivo.mainWindow());
}

void quickPlay(Kivo& kivo, int offset) {
    MainWindow& window = kivo.mainWindow();
    // Read before the bar moves: the step events come first. The engine clamps the percentage.
    const int start = window.progressBar->position() + offset;
    if (kivo.player().state() != kPlayStatePlaying) return;
    playRequest(kivo, selectedSong(window), start);
    showCompanionMessage(kivo, "亲！您正在快速播放歌曲  【" + selectedSong(window) +
                                   "】\r\n\r\n呵呵~~心急吃不了热豆腐，要慢慢欣赏哦！嘻嘻~~~~~");
}

void locateCurrentSong(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    const std::string current = window.nowPlayingLabel->caption();
    if (current == kWelcomeCaption) return;
    // Without a match the last item stays selected.
    walkSelectionTo(*window.songList, [&](const std::string& item) { return item == current; });
    showCompanionMessage(kivo, "亲，已经定位到当前播放的歌曲。");
}

void onPlayProgress(Kivo& kivo, int percent) {
    MainWindow& window = kivo.mainWindow();
    if (percent == 100) {
        stopStatusAnimation(window);
        setStoppedPictures(window);
        setPlayFace(window);
        window.percentLabel->setCaption("0%");
        window.progressBar->setPosition(0);
        if (!advanceStopsAfterFailures(kivo)) advanceAfterSong(kivo);
        return;
    }
    songIsPlaying(kivo);
    // A report sent just before the player was paused (by the user, or by deleting or clearing
    // its song) arrives late: it must not move the bar that a continue starts from.
    if (kivo.player().state() == kPlayStatePaused) return;
    window.progressBar->setPosition(percent);
    setPauseFace(window);
    setPlayingDisc(window);
    window.percentLabel->setCaption(runtime::toText(percent) + "%");
    runStatusAnimation(window);
}

}  // namespace kivo
