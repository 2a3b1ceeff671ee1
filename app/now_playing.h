// The song operations that the list, the buttons and the end of a song share. The step after
// the end of a song is with the play modes.
#pragma once

namespace kivo {

class Kivo;

// Plays the selected song from its beginning.
void playSelected(Kivo& kivo);
// Makes the selected song the current one and tells the user.
void showNowPlaying(Kivo& kivo);

}  // namespace kivo
