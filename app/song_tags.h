// What a song's tags say about it (title, artist, album, track, year) and how long it plays,
// for the tooltips and the desktop's media controls. Read with TagLib from ID3v1, ID3v2.2 to
// 2.4 and APE tags; the length comes from the stream as the engine reckons it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kivo {

struct SongTags {
    // UTF-8; empty when the tags do not say.
    std::string title;
    std::string artist;
    std::string album;
    int track = 0;
    int year = 0;
    int64_t lengthMs = 0;  // 0 when the file holds no stream to measure
};

// Never fails: a file without tags (or without a stream) gives what there is.
SongTags readSongTags(const std::string& path);

// Text that a tag claims to be Latin-1 (ID3v1 fields, ID3v2 frames marked Latin-1), as UTF-8.
// Chinese taggers write GBK there: bytes that are no ASCII but read cleanly as GBK are taken
// as GBK, and text that is valid UTF-8 as UTF-8; anything else is Latin-1.
std::string latin1TagText(std::string_view bytes);

// "歌手 – 标题 · 专辑 · 3:45", leaving out what is not known; the file's name stands in for a
// missing title.
std::string songDescription(const SongTags& tags, const std::string& path);

}  // namespace kivo
