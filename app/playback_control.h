// Playing, pausing, continuing and changing songs of the current playlist, and what the
// window shows of the song that plays.
#pragma once

#include <string>
#include <string_view>

namespace kivo {

class Kivo;
class MainWindow;

// The text of the selected song; empty when none is selected.
std::string selectedSong(MainWindow& window);
// "歌曲位置：" and the caret's place in the list, counted from 1.
void showSongPosition(MainWindow& window);

// Removes the player held so far and, unless `path` is empty, plays that song from
// `startPercent` (0: the beginning), reporting its progress to the now-playing label.
void playRequest(Kivo& kivo, std::string_view path, int startPercent = 0);

// The looks of the player controls.
void setPlayLook(MainWindow& window);   // play face, text "播放"
void setPauseLook(MainWindow& window);  // pause face, text "暂停"
// The play face alone; the button's text stays.
void setPlayFace(MainWindow& window);
// The still disc and status frame 0.
void setStoppedPictures(MainWindow& window);

// The play button: plays, pauses, or continues the current song from the bar's position.
void playPauseToggle(Kivo& kivo);
void previousSong(Kivo& kivo);
void nextSong(Kivo& kivo);
// The song list: one click shows the song, a double-click or Enter plays it, Delete deletes it.
void songSelectionChanged(Kivo& kivo);
void songDoubleClicked(Kivo& kivo);
void songKeyPressed(Kivo& kivo, int keyCode);
// "播放" in the song menu, which has already made the selected song the current one.
void playMenuItem(Kivo& kivo);
// The progress bar's events, while a song plays: a restart `offset` percent away from the
// position the bar shows (-10 for a step backward, 10 for a step forward or a release).
void quickPlay(Kivo& kivo, int offset);
// Selects the song that plays.
void locateCurrentSong(Kivo& kivo);
// The engine's progress: 0..99 while a song plays, 100 when it has ended.
void onPlayProgress(Kivo& kivo, int percent);

}  // namespace kivo
