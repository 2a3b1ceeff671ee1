// The main window's song list as the handlers read and walk it: the count under it and the
// search that moves the selection down it.
#pragma once

#include <functional>
#include <string>

#include "list_box.h"

namespace kivo {

class MainWindow;

// "歌曲总数：" and the number of songs in the list.
void showSongCount(MainWindow& window);

// Walks the selection down the list from the top and stops on the first song that `matches`,
// which stays selected; without one the last song stays selected. False when none matched.
bool walkSelectionTo(runtime::ListBox& list,
                     const std::function<bool(const std::string& song)>& matches);

}  // namespace kivo
