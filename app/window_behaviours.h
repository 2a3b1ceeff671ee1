// The behaviours that belong to the windows themselves: the playlist panel, the search
// field's placeholder, minimise and close, and the animation switch that minimise relies on.
#pragma once

namespace kivo {

class Kivo;

// Opens or closes the playlist panel by changing the main window's height.
void togglePlaylistPanel(Kivo& kivo);
// The grey placeholder of the search field.
void searchGotFocus(Kivo& kivo);
void searchLostFocus(Kivo& kivo);
void closeSearch(Kivo& kivo);
void minimiseMainWindow(Kivo& kivo);
// Ends the program at once: nothing is asked and nothing saved.
void closeMainWindow(Kivo& kivo);
// Switches the dancing companion on or off.
void toggleAnimation(Kivo& kivo);
void minimiseWebPlayer(Kivo& kivo);
void closeWebPlayer(Kivo& kivo);

}  // namespace kivo
