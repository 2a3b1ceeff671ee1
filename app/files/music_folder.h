// Where the playlist files live: the folder `music` beside the program file. An installed copy
// (a program in PREFIX/bin beside PREFIX/share/applications/io.github.kivo.Kivo.desktop), or
// one whose folder cannot be created or written, keeps its lists in the user's data folder
// instead: $XDG_DATA_HOME/kivo/music, by default ~/.local/share/kivo/music. A readable `music`
// folder beside such a program still gives the lists the user has not saved yet.
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

// The file of the playlist `name` in the folder in use: where it is saved.
std::string playlistFilePath(const std::string& programDir, const std::string& name);

// The file the playlist `name` is loaded from: the one in the folder in use, or, while the
// user's data folder is in use and holds no such file, the one beside the program.
std::string playlistReadPath(const std::string& programDir, const std::string& name);

}  // namespace kivo
