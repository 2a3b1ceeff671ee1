// Damaged and hostile playlist files, a disk that fills up during a save, and what killed saves
// leave behind: the player starts, shows what it can, loses no song and tells the user.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "app_fixture.h"
#include "playlist_editing.h"
#include "playlist_file.h"
#include "playlist_store.h"

namespace kivo {
namespace {

using namespace std::string_literals;

// Writes beyond `bytes` fail in this process as on a full disk (EFBIG instead of ENOSPC).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    sighandler_t oldHandler_;
};

class HostileFilesTest : public AppTest {
protected:
    std::string localFile() { return readFile(playlistPath("本地列表")); }
    std::filesystem::file_time_type localTime() {
        return std::filesystem::last_write_time(playlistPath("本地列表"));
    }
};

TEST_F(HostileFilesTest, DamagedListsLoadAsTheyAreAndAreNeverRewrittenUnasked) {
    std::mt19937 random(7);
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage) c = char(random());
    std::string manyLines;
    for (int i = 0; i < 100000; ++i) manyLines += "/music/" + std::to_string(i) + ".mp3\r\n";
    struct Case {
        const char* what;
        std::string bytes;
        int items;
    };
    const Case cases[] = {
        {"one 50 MB line", std::string(50u << 20, 'x'), 1},
        {"100 000 lines", manyLines, 100000},
        {"binary garbage", garbage, int(parsePlaylist(garbage).size())},
        {"invalid UTF-8 and a NUL", "/a\xff\xfe.mp3\r\n/b\xc3\0.mp3\r\n/c.mp3\r\n"s, 3},
        {"LF only", "/a.mp3\n/b.mp3\n/c.mp3\n", 1},
        {"CR only", "/a.mp3\r/b.mp3\r", 1},
        {"a device", "/dev/zero\r\n/dev/urandom\r\n", 2},
    };
    writePlaylist("最爱歌曲", "/other.mp3\r\n");
    for (const Case& c : cases) {
        writePlaylist("本地列表", c.bytes);
        const auto written = localTime();
        loadPlaylist(*kivo_);
        EXPECT_EQ(window().songList->itemCount(), c.items) << c.what;
        EXPECT_EQ(window().songCountLabel->caption(), "歌曲总数：" + std::to_string(c.items));
        EXPECT_LE(window().songList->item(0)->text().size(), 4097) << c.what;
        // Switching away and back reads it again, and nothing writes it.
        window().playlistCombo->setCurrent(1);
        switchPlaylist(*kivo_);
        window().playlistCombo->setCurrent(0);
        switchPlaylist(*kivo_);
        EXPECT_EQ(window().songList->itemCount(), c.items) << c.what;
        EXPECT_TRUE(localFile() == c.bytes) << c.what;
        EXPECT_EQ(localTime(), written) << c.what;
    }
}

TEST_F(HostileFilesTest, StartsWhateverStandsWhereTheListsLive) {
    // A pipe as the list would block a plain open for good; the music folder a loop of links.
    std::filesystem::create_directories(programDir_ + "/music");
    ASSERT_EQ(::mkfifo(playlistPath("本地列表").c_str(), 0600), 0);
    kivo_->start();
    EXPECT_EQ(window().songList->itemCount(), 0);
    EXPECT_EQ(window().songCountLabel->caption(), "歌曲总数：0");

    std::filesystem::remove_all(programDir_ + "/music");
    std::filesystem::create_symlink(programDir_ + "/music", programDir_ + "/music");
    loadPlaylist(*kivo_);
    EXPECT_EQ(window().songList->itemCount(), 0);
    // Songs still get saved, in the user's own folder.
    window().songList->addItem("/a.mp3");
    EXPECT_TRUE(savePlaylist(*kivo_));
    EXPECT_EQ(readFile(folder_.path() + "/data/kivo/music/本地列表.ini"), "/a.mp3\r\n");
}

TEST_F(HostileFilesTest, KilledSavesLeftoversGoAtTheNextStart) {
    writePlaylist("本地列表", "/a.mp3\r\n");
    for (const char* name :
         {".本地列表.ini.Ab12Cd", ".其他歌曲.ini.0aZ9xY", ".本地列表.ini.notes"}) {
        writeFile(programDir_ + "/music/" + name, "/half");
    }
    kivo_->start();
    EXPECT_FALSE(std::filesystem::exists(programDir_ + "/music/.本地列表.ini.Ab12Cd"));
    EXPECT_FALSE(std::filesystem::exists(programDir_ + "/music/.其他歌曲.ini.0aZ9xY"));
    EXPECT_TRUE(std::filesystem::exists(programDir_ + "/music/.本地列表.ini.notes"));
    EXPECT_EQ(window().songList->itemCount(), 1);
}

TEST_F(HostileFilesTest, AnEditTheDiskCannotTakeKeepsTheOldFileAndSaysSo) {
    writePlaylist("本地列表", "/old.mp3\r\n");
    loadPlaylist(*kivo_);
    for (int i = 0; i < 1000; ++i) window().songList->addItem("/new/" + std::to_string(i) + ".mp3");
    dialogs_.answerFile("/new/last.mp3");
    {
        FileSizeLimit diskFull(4096);
        addSongFile(*kivo_);
    }
    EXPECT_EQ(localFile(), "/old.mp3\r\n");
    EXPECT_EQ(balloonText(),
              "呜呜~~~【本地列表】播放列表没能保存！\r\n\r\n请看看音乐文件夹能不能写入哦！");
    EXPECT_EQ(window().songList->itemCount(), 1002);  // the list on screen keeps every song
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(programDir_ + "/music"),
                            std::filesystem::directory_iterator()),
              1);
    // Once there is room again the same list saves whole.
    EXPECT_TRUE(savePlaylist(*kivo_));
    EXPECT_EQ(parsePlaylist(localFile()).size(), 1002u);
}

}  // namespace
}  // namespace kivo
