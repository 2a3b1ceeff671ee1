// The playlist file format, the atomic replacement of a file and the choice of the folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "music_folder.h"
#include "playlist_file.h"
#include "replacement_file.h"
#include "temp_folder.h"

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

TEST(PlaylistFile, BytesAfterNulAreIgnored) {
    EXPECT_EQ(parsePlaylist("/a.mp3\r\n/b\0junk\r\n/c.mp3\r\n"s), (Lines{"/a.mp3", "/b"}));
    EXPECT_EQ(parsePlaylist("\0/a.mp3\r\n"s), Lines{});
    EXPECT_EQ(formatPlaylist(parsePlaylist("/a.mp3\r\n\0/b.mp3\r\n"s)), "/a.mp3\r\n");
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

class ReplacementFileTest : public ::testing::Test {
protected:
    TempFolder folder_;
    std::string path_ = folder_.path() + "/本地列表.ini";
};

TEST_F(ReplacementFileTest, ReplacesWholeAndLeavesNoTemporaryFile) {
    writeFile(path_, "/old/a.mp3\r\n/old/b.mp3\r\n");
    ASSERT_TRUE(replaceFileContents(path_, "/new.mp3\r\n"));
    EXPECT_EQ(readFile(path_), "/new.mp3\r\n");
    ASSERT_TRUE(replaceFileContents(path_, ""));
    EXPECT_EQ(readFile(path_), "");
    EXPECT_EQ(folder_.entries(), Lines{"本地列表.ini"});
}

TEST_F(ReplacementFileTest, InterruptedBeforeTheRenameLeavesTheOldFileWhole) {
    writeFile(path_, "/old/a.mp3\r\n");
    {
        ReplacementFile file(path_);
        ASSERT_TRUE(file.isOpen());
        ASSERT_TRUE(file.write("/new/partial"));
        EXPECT_EQ(readFile(path_), "/old/a.mp3\r\n");
    }  // dropped without commit, as when the save dies half way
    EXPECT_EQ(readFile(path_), "/old/a.mp3\r\n");
    EXPECT_EQ(folder_.entries(), Lines{"本地列表.ini"});
}

TEST_F(ReplacementFileTest, KeepsModeAndWritesThroughALink) {
    writeFile(path_, "/old.mp3\r\n");
    ::chmod(path_.c_str(), 0640);
    const std::string link = folder_.path() + "/link.ini";
    ASSERT_EQ(::symlink(path_.c_str(), link.c_str()), 0);
    ASSERT_TRUE(replaceFileContents(link, "/new.mp3\r\n"));
    EXPECT_EQ(readFile(path_), "/new.mp3\r\n");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(ReplacementFileTest, NoFolderMeansNothingWritten) {
    EXPECT_FALSE(replaceFileContents(folder_.path() + "/missing/x.ini", "/a.mp3\r\n"));
    EXPECT_FALSE(std::filesystem::exists(folder_.path() + "/missing"));
}

class MusicFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedXdg_ = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
        hadXdg_ = std::getenv("XDG_DATA_HOME") != nullptr;
        ::setenv("XDG_DATA_HOME", (folder_.path() + "/data").c_str(), 1);
        std::filesystem::create_directory(program_);
    }
    void TearDown() override {
        if (hadXdg_)
            ::setenv("XDG_DATA_HOME", savedXdg_.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
    TempFolder folder_;
    std::string program_ = folder_.path() + "/bin";
    std::string fallback_ = folder_.path() + "/data/kivo/music";
    std::string savedXdg_;
    bool hadXdg_ = false;
};

TEST_F(MusicFolderTest, BesideTheProgramWhenItCanBeCreated) {
    EXPECT_EQ(musicFolder(program_), program_ + "/music");
    EXPECT_EQ(playlistFilePath(program_, "最爱歌曲"), program_ + "/music/最爱歌曲.ini");
    createMusicFolder(program_);
    EXPECT_TRUE(std::filesystem::is_directory(program_ + "/music"));
    EXPECT_FALSE(std::filesystem::exists(fallback_));
}

TEST_F(MusicFolderTest, FallsBackWhereTheFolderCannotBeCreated) {
    writeFile(program_ + "/music", "not a folder");
    EXPECT_EQ(musicFolder(program_), fallback_);
    createMusicFolder(program_);
    EXPECT_TRUE(std::filesystem::is_directory(fallback_));
    // A missing program folder (the program was moved away) behaves alike.
    EXPECT_EQ(musicFolder(folder_.path() + "/gone"), fallback_);
}

TEST_F(MusicFolderTest, FallsBackWhereTheProgramFolderIsReadOnly) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    ::chmod(program_.c_str(), 0555);
    EXPECT_EQ(musicFolder(program_), fallback_);
    ::chmod(program_.c_str(), 0755);
}

TEST_F(MusicFolderTest, DefaultUserFolderIsUnderHome) {
    ::unsetenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') GTEST_SKIP() << "HOME is not set";
    EXPECT_EQ(userMusicFolder(), std::string(home) + "/.local/share/kivo/music");
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    EXPECT_EQ(userMusicFolder(), std::string(home) + "/.local/share/kivo/music");
}

}  // namespace
}  // namespace kivo
