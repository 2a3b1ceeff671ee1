// The file services: the atomic replacement of a file, the choice of the music folder and the
// files a folder scan takes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "folder_scan.h"
#include "music_folder.h"
#include "replacement_file.h"
#include "temp_folder.h"

namespace kivo {
namespace {

using Lines = std::vector<std::string>;

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

TEST_F(MusicFolderTest, InstalledCopySavesForTheUserAndStillReadsTheListsBesideIt) {
    std::filesystem::create_directories(folder_.path() + "/share/applications");
    writeFile(folder_.path() + "/share/applications/io.github.kivo.Kivo.desktop", "");
    std::filesystem::create_directory(program_ + "/music");
    writeFile(program_ + "/music/本地列表.ini", "/shipped.mp3\r\n");
    // Writable as the program folder is (root runs it, say), nothing is saved into it.
    EXPECT_EQ(playlistFilePath(program_, "本地列表"), fallback_ + "/本地列表.ini");
    EXPECT_EQ(playlistReadPath(program_, "本地列表"), program_ + "/music/本地列表.ini");
    EXPECT_EQ(playlistReadPath(program_, "最爱歌曲"), fallback_ + "/最爱歌曲.ini");
    // Once the user has saved the list, the user's copy is the one loaded.
    createMusicFolder(program_);
    writeFile(fallback_ + "/本地列表.ini", "");
    EXPECT_EQ(playlistReadPath(program_, "本地列表"), fallback_ + "/本地列表.ini");
}

TEST_F(MusicFolderTest, DefaultUserFolderIsUnderHome) {
    ::unsetenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') GTEST_SKIP() << "HOME is not set";
    EXPECT_EQ(userMusicFolder(), std::string(home) + "/.local/share/kivo/music");
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    EXPECT_EQ(userMusicFolder(), std::string(home) + "/.local/share/kivo/music");
}

TEST(FolderScan, Mp3ExtensionInAnyLetterCase) {
    for (const char* name : {"a.mp3", "a.MP3", "a.Mp3", ".mp3", "我爱你.mP3"}) {
        EXPECT_TRUE(hasMp3Extension(name)) << name;
    }
    for (const char* name : {"mp3", "a.mp", "a.mp3 ", "a.mp4", "a_mp3", ""}) {
        EXPECT_FALSE(hasMp3Extension(name)) << name;
    }
}

}  // namespace
}  // namespace kivo
