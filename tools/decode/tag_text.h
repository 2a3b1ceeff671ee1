// Title, artist and album from an MP3 file's ID3 tags for `kivo-decode --info`: the version 2
// tag in front (text frames in Latin-1, UTF-16 or UTF-8), else the version 1 tag behind. Text
// marked Latin-1 is shown as Latin-1; the player's own reader knows GBK as well.
#pragma once

#include <string>

namespace kivo::tools {

struct TagText {
    std::string title;  // UTF-8, empty when not tagged
    std::string artist;
    std::string album;
};

// Reads the tags of the file at `path`; nothing for standard input or a file without them.
TagText readTagText(const std::string& path);

}  // namespace kivo::tools
