// The nine fixed playlists, by index. A name is also the playlist's file name.
#pragma once

#include <string_view>

namespace kivo {

inline constexpr int kPlaylistCount = 9;
inline constexpr std::string_view kPlaylistNames[kPlaylistCount] = {
    "本地列表", "最爱歌曲", "欧美歌曲", "流行歌曲", "国语歌曲",
    "粤语歌曲", "伤感歌曲", "搞笑歌曲", "其他歌曲",
};

}  // namespace kivo
