// The five play modes, the automatic switch of playlists, and the step that runs when a song
// has ended.
#pragma once

#include <string_view>

namespace kivo {

class Kivo;

// The mode button: pops up the mode menu.
void showModeMenu(Kivo& kivo);
// One of the mode items was chosen; false for a handle that is not a mode item.
bool setPlayMode(Kivo& kivo, std::string_view modeItem);
// "自动切换列表" on or off.
void toggleAutoSwitch(Kivo& kivo);
// Moves on after a song has ended.
void advanceAfterSong(Kivo& kivo);

}  // namespace kivo
