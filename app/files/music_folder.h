// Where the playlist files live: the folder `music` beside the program file. A copy installed
// where that folder cannot be created or written (a system folder) keeps its lists in the
// user's data folder instead: $XDG_DATA_HOME/kivo/music, by default ~/.local/share/kivo/music.
#pragma once

#include <string>

namespace kivo {

// The per-user stand-in folder.
std::string userMusicFolder();

// The folder in use for a program that lives in `programDir` (no trailing slash). Decided
// afresh on every call, so a folder that becomes writable is used from then on.
std::string musicFolder(const std::string& programDir);

// Creates the folder in use when it is missing: one level beside the program, the whole chain
// for the per-user folder. Failure is not reported; the save that follows simply fails.
void createMusicFolder(const std::string& programDir);

// The file of the playlist `name` in the folder in use.
std::string playlistFilePath(const std::string& programDir, const std::string& name);

}  // namespace kivo
