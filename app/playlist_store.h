// The user's side of the playlist store: switching playlists and the save button. Loading and
// saving themselves are shared operations (kivo.h).
#pragma once

#include <string>

namespace kivo {

class Kivo;

// The user chose a playlist in the combo box.
void switchPlaylist(Kivo& kivo);
// The save button: asks first, and saves nothing for an empty list.
void confirmSavePlaylist(Kivo& kivo);

// The name of the current playlist, read now.
std::string currentPlaylistName(Kivo& kivo);

}  // namespace kivo
