// The file services: the atomic replacement of a file, the choice of the music folder and the
// files a folder scan takes.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <functional>
#include <random>
#include <thread>

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

// A list of `count` songs under the folder `tag`.
std::string listOf(int count, const std::string& tag) {
    std::string bytes;
    for (int i = 0; i < count; ++i)
        bytes += "/home/用户/" + tag + "/歌曲 " + std::to_string(i) + ".mp3\r\n";
    return bytes;
}

// Replaces `path` with `bytes` in a child process; its id.
pid_t saveInChild(const std::string& path, const std::string& bytes) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(replaceFileContents(path, bytes) ? 0 : 1);
    return pid;
}

int exitCodeOf(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ReplacementFileTest, KilledAtAnyMomentTheFileHoldsTheOldOrTheNewListByteForByte) {
    const std::string lists[2] = {listOf(5000, "a"), listOf(5000, "b")};
    writeFile(path_, lists[0]);
    // One whole save, timed, so that the kills fall before, inside and after the saves.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(exitCodeOf(saveInChild(path_, lists[1])), 0);
    const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    ASSERT_EQ(readFile(path_), lists[1]);

    std::mt19937 random(16);
    int current = 1, keptOld = 0, tookNew = 0;
    for (int trial = 0; trial < 200; ++trial) {
        const int next = 1 - current;
        const pid_t pid = saveInChild(path_, lists[next]);
        std::this_thread::sleep_for(
            std::chrono::microseconds(random() % (saveTime.count() * 3 / 2 + 1)));
        ::kill(pid, SIGKILL);
        exitCodeOf(pid);
        const std::string now = readFile(path_);
        if (now == lists[next]) {
            current = next;
            ++tookNew;
        } else {
            ASSERT_TRUE(now == lists[current])
                << "trial " << trial << ": " << now.size() << " bytes";
            ++keptOld;
        }
    }
    // Both outcomes happened, so the kills did land inside saves.
    EXPECT_GT(keptOld, 0);
    EXPECT_GT(tookNew, 0);

    // The next start removes what the killed saves left, and nothing else.
    const std::string others[] = {".本地列表.ini.keep", ".最爱歌曲.ini.Ab12Cd", "notes.txt"};
    for (const std::string& name : others) writeFile(folder_.path() + "/" + name, "x");
    writeFile(folder_.path() + "/.本地列表.ini.Zz09aB", "/half");
    removeLeftoverReplacements(path_);
    EXPECT_EQ(folder_.entries(),
              (Lines{".最爱歌曲.ini.Ab12Cd", ".本地列表.ini.keep", "notes.txt", "本地列表.ini"}));
}

// Runs `body` in a child process with a private tmpfs of `size` mounted on `folder`, and gives
// its exit code; 77 when the system grants no private mount.
int withPrivateTmpfs(const std::string& folder, const std::string& size,
                     const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid != 0) return exitCodeOf(pid);
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWNS) != 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) ::_exit(77);
        writeFile("/proc/self/setgroups", "deny");
        writeFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1");
        writeFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1");
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("kivo", folder.c_str(), "tmpfs", 0, ("size=" + size).c_str()) != 0) {
        ::_exit(77);
    }
    ::_exit(body());
}

TEST_F(ReplacementFileTest, AFullDiskOrAReadOnlyFolderLeavesTheOldListWhole) {
    const std::string old = listOf(10, "old");
    const std::string big = listOf(5000, "new");  // far more than the 64 KiB disk holds
    const int full = withPrivateTmpfs(folder_.path(), "64k", [&] {
        writeFile(path_, old);
        if (replaceFileContents(path_, big)) return 1;
        if (readFile(path_) != old) return 2;
        return folder_.entries() == Lines{"本地列表.ini"} ? 0 : 3;  // no half file left
    });
    if (full == 77) GTEST_SKIP() << "no private mount here";
    EXPECT_EQ(full, 0);
    const int readOnly = withPrivateTmpfs(folder_.path(), "1m", [&] {
        writeFile(path_, old);
        if (::mount(nullptr, folder_.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) !=
            0) {
            return 77;
        }
        if (replaceFileContents(path_, listOf(3, "new"))) return 1;
        return readFile(path_) == old ? 0 : 2;
    });
    if (readOnly != 77) {
        EXPECT_EQ(readOnly, 0);
    }
}

}  // namespace
}  // namespace kivo
