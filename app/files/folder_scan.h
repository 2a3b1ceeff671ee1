// Finding the MP3 files of a folder tree.
#pragma once

#include <functional>
#include <string>

namespace kivo {

// Walks the tree under `folder` depth first: the MP3 files of a folder (extension ".mp3" in
// any letter case) in name order, then its sub-folders in name order, skipping every folder
// whose name begins with a dot. Files whose names could not be kept in a playlist file are
// passed over. Calls `found` with the full path of each file. The window
// events that are waiting are handled at the start of every folder, so the windows stay
// alive during a long scan. Folders that cannot be read give nothing.
void scanFolder(const std::string& folder, const std::function<void(const std::string&)>& found);

// Whether a file name ends in ".mp3", in any letter case.
bool hasMp3Extension(const std::string& name);

// Whether a path can be kept as one line of a playlist file: a CR LF inside it would split it
// into two lines the next time the list is loaded.
bool fitsOnePlaylistLine(const std::string& path);

}  // namespace kivo
