// Every change the user makes to the current playlist: adding songs and folders, deleting,
// clearing, collecting the current song into another playlist, the sorted view and the
// search. Each change is saved at once.
#pragma once

#include <string_view>

namespace kivo {

class Kivo;

// A right click on the song list: the selected song becomes the current one and the song menu
// pops up.
void showSongMenu(Kivo& kivo);
// The add button: pops up the add menu.
void showAddMenu(Kivo& kivo);
// "添加音乐": one file from the open dialog, unless the list holds it already.
void addSongFile(Kivo& kivo);
// "添加目录": every MP3 file of a folder tree, without looking for duplicates.
void addSongFolder(Kivo& kivo);
// Asks first; deleting the current song pauses it.
void deleteSelectedSong(Kivo& kivo);
// Asks first; pauses whatever plays.
void clearPlaylist(Kivo& kivo);
// One of the nine items of the collect menu, by handle: switches to the playlist named by the
// item's caption and adds the current song to it. False for a handle that is not such an item.
bool collectToPlaylist(Kivo& kivo, std::string_view collectItem);
// "自动排序" (true) or "取消排序" (false).
void setAutoSort(Kivo& kivo, bool sorted);
// The search button shows the search field.
void showSearch(Kivo& kivo);
// Every change of the search text: selects the first song whose path ends in the text and
// ".mp3".
void searchSongs(Kivo& kivo);

}  // namespace kivo
