// The keyboard of the main window: space plays and pauses, Left and Right jump in the song as
// the progress bar's steps do, Up and Down move through the song list. Enter and Delete are
// the song list's own keys.
#pragma once

namespace kivo {

class Kivo;

void bindMainWindowKeys(Kivo& kivo);

}  // namespace kivo
