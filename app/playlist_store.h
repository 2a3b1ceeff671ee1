// The playlist store: loading and saving the song list, switching playlists and the save
// button.
#pragma once

#include <string>

namespace kivo {

class Kivo;

// Fills the song list from the current playlist's file.
void loadPlaylist(Kivo& kivo);
// Writes the song list to the current playlist's file; false when the file could not be
// written (it is then left as it was, and the companion says so).
bool savePlaylist(Kivo& kivo);

// The user chose a playlist in the combo box.
void switchPlaylist(Kivo& kivo);
// The save button: asks first, and saves nothing for an empty list.
void confirmSavePlaylist(Kivo& kivo);

// The name of the current playlist, read now.
std::string currentPlaylistName(Kivo& kivo);

}  // namespace kivo
