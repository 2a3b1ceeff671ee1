#include "song_list.h"

#include "main_window.h"
#include "text.h"

namespace kivo {

void showSongCount(MainWindow& window) {
    window.songCountLabel->setCaption("歌曲总数：" + runtime::toText(window.songList->itemCount()));
}

bool walkSelectionTo(runtime::ListBox& list,
                     const std::function<bool(const std::string& song)>& matches) {
    list.setCurrent(-1);
    for (int i = 0; i < list.itemCount(); ++i) {
        list.setCurrent(list.current() + 1);
        if (matches(list.itemTextAt(list.current()))) return true;
    }
    return false;
}

}  // namespace kivo
