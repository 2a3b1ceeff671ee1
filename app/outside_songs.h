// Songs that reach the player from outside its dialogs: the files of the command line, those a
// later copy of the program hands over, and files and folders dropped on the song list.
#pragma once

#include <string>
#include <vector>

namespace kivo {

class Kivo;

// Adds `paths` to the current playlist and saves it: a file unless the list holds it already
// (as "添加音乐" does), a folder by every MP3 file of its tree (as "添加目录" does). Paths that
// are neither are passed over. Tells the user what was added.
void addOutsideSongs(Kivo& kivo, const std::vector<std::string>& paths);

// Adds `paths` as above, then plays the first of them as a double-click would, and brings the
// main window to the front.
void openOutsideSongs(Kivo& kivo, const std::vector<std::string>& paths);

}  // namespace kivo
