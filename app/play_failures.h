// Songs that cannot play: the companion says which and why, the player shows its play look,
// and the advance stops once nothing in a whole pass over the list could play, or at once when
// there is no sound device or it went away mid-song, instead of trying song after song.
#pragma once

namespace kivo {

class Kivo;

// The engine's failed event for the current song: its end (progress 100) follows.
void onPlayFailed(Kivo& kivo, int reason);
// Called at the end of every song, before the advance; true when the advance must not happen.
bool advanceStopsAfterFailures(Kivo& kivo);
// Something was heard: the count of songs that failed in a row starts again.
void songIsPlaying(Kivo& kivo);

}  // namespace kivo
