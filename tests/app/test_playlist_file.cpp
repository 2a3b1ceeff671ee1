// The playlist file format: lines, their ends and the bytes they keep.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "playlist_file.h"

namespace kivo {
namespace {

using Lines = std::vector<std::string>;
using namespace std::string_literals;

TEST(PlaylistFile, LinesAndTheirEnds) {
    EXPECT_EQ(parsePlaylist(""), Lines{});
    EXPECT_EQ(parsePlaylist("/a.mp3\r\n/b.mp3\r\n"), (Lines{"/a.mp3", "/b.mp3"}));
    // A last line without CR LF still loads, and the next save adds the CR LF.
    const Lines lastOpen = parsePlaylist("/a.mp3\r\n/b.mp3");
    EXPECT_EQ(lastOpen, (Lines{"/a.mp3", "/b.mp3"}));
    EXPECT_EQ(formatPlaylist(lastOpen), "/a.mp3\r\n/b.mp3\r\n");
    // LF alone is not a line end: the whole file is one item holding the LF bytes.
    EXPECT_EQ(parsePlaylist("/a.mp3\n/b.mp3\n"), Lines{"/a.mp3\n/b.mp3\n"});
    // A CR not followed by LF stays inside the line.
    EXPECT_EQ(parsePlaylist("/a\r.mp3\r\n"), Lines{"/a\r.mp3"});
    EXPECT_EQ(formatPlaylist({}), "");
}

TEST(PlaylistFile, EmptyLinesRoundTripByteForByte) {
    for (const std::string& bytes :
         {"/a.mp3\r\n\r\n"s, "\r\n"s, "\r\n\r\n/a.mp3\r\n"s, "/a.mp3\r\n\r\n\r\n/b.mp3\r\n"s}) {
        EXPECT_EQ(formatPlaylist(parsePlaylist(bytes)), bytes) << bytes;
    }
    EXPECT_EQ(parsePlaylist("/a.mp3\r\n\r\n"), (Lines{"/a.mp3", ""}));
}

TEST(PlaylistFile, ANulByteNeitherCutsTheListNorLosesTheSongsAfterIt) {
    EXPECT_EQ(parsePlaylist("/a.mp3\r\n/b\0junk\r\n/c.mp3\r\n"s),
              (Lines{"/a.mp3", "/b\0junk"s, "/c.mp3"}));
    for (const std::string& bytes : {"\0/a.mp3\r\n"s, "/a.mp3\r\n\0\r\n/b.mp3\r\n"s}) {
        EXPECT_EQ(formatPlaylist(parsePlaylist(bytes)), bytes);
    }
}

TEST(PlaylistFile, ChineseAndInvalidBytesSurvive) {
    const std::string chinese = "/home/用户/音乐/我爱你.mp3\r\n/歌曲/粤语 歌.mp3\r\n";
    EXPECT_EQ(parsePlaylist(chinese), (Lines{"/home/用户/音乐/我爱你.mp3", "/歌曲/粤语 歌.mp3"}));
    EXPECT_EQ(formatPlaylist(parsePlaylist(chinese)), chinese);
    // A lead byte right before CR LF must not swallow the line end (that is the double-byte
    // rule of other code pages, which UTF-8 has not), and stray bytes stay as they are.
    const std::string odd = "/a\xe4\r\n/b\xff\xfe.mp3\r\n";
    EXPECT_EQ(parsePlaylist(odd), (Lines{"/a\xe4", "/b\xff\xfe.mp3"}));
    EXPECT_EQ(formatPlaylist(parsePlaylist(odd)), odd);
}

}  // namespace
}  // namespace kivo
