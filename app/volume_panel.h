// The volume setting: a slider for the speakers' master volume in a panel that closes itself
// five seconds after it was opened, and a mute button whose picture is the mute state.
#pragma once

namespace kivo {

class Kivo;

// The slider moved (by the user or by a write that changed its position): sets the volume.
void volumePositionChanged(Kivo& kivo);
// Opens the volume setting for five seconds, or closes it when it is open.
void toggleVolumeSetting(Kivo& kivo);
// Mutes, or goes back to half the volume when muted.
void toggleMute(Kivo& kivo);

}  // namespace kivo
