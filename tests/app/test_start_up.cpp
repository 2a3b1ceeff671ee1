// Start-up, the one-copy rule and the end of the program.
#include <QApplication>
#include <QFont>
#include <QLocalServer>

#include "app_fixture.h"
#include "single_instance.h"
#include "start_up.h"

namespace kivo {
namespace {

using runtime::ProcessEntry;

TEST(SingleInstance, CountsExactNamesOfTheSameUserOnly) {
    const std::string own = "kivo";
    EXPECT_FALSE(anotherCopyRuns({}, own, 1000));
    EXPECT_FALSE(
        anotherCopyRuns({{1, "init", 0}, {7, "kivo", 1000}, {9, "bash", 1000}}, own, 1000));
    EXPECT_TRUE(
        anotherCopyRuns({{7, "kivo", 1000}, {9, "bash", 1000}, {12, "kivo", 1000}}, own, 1000));
    // Another name, another letter case or a longer name is another program.
    EXPECT_FALSE(anotherCopyRuns(
        {{7, "kivo", 1000}, {8, "Kivo", 1000}, {9, "kivo2", 1000}, {10, "kiv", 1000}}, own, 1000));
    // Another user's player, or one whose owner is unknown, is not this user's copy.
    EXPECT_FALSE(
        anotherCopyRuns({{7, "kivo", 1000}, {8, "kivo", 1001}, {9, "kivo", -1}}, own, 1000));
}

class StartUpTest : public AppTest {};

TEST_F(StartUpTest, ReadyWindowHasTheTemplateStateAndPlaylistZero) {
    writePlaylist("本地列表", "/a.mp3\r\n/b.mp3\r\n/c.mp3\r\n");
    writePlaylist("最爱歌曲", "/other.mp3\r\n");
    kivo_->start();
    MainWindow& w = window();
    EXPECT_TRUE(w.isLayered());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.songList->itemCount(), 3);
    EXPECT_EQ(w.songCountLabel->caption(), "歌曲总数：3");
    EXPECT_EQ(w.playlistCombo->current(), 0);
    EXPECT_EQ(w.songList->current(), -1);
    EXPECT_EQ(w.nowPlayingLabel->caption(), kWelcomeCaption);
    EXPECT_EQ(w.percentLabel->caption(), "0%");
    EXPECT_EQ(w.modeLabel->caption(), "◣循环播放◥");
    EXPECT_TRUE(w.menus().isChecked("loopPlayItem"));
    EXPECT_FALSE(w.menus().isChecked("autoSwitchListItem"));
    EXPECT_FALSE(w.songList->isSorted());
    EXPECT_FALSE(kivo_->player().holdsPlayer());
    // The welcome is the last message of the start-up, at its place beside the window.
    EXPECT_EQ(balloonText(),
              "欢迎使用【Kivo-mp3播放器】      我就是Kivo，Kivo就是我\r\n\r\n"
              "不要迷恋哥，哥只是个传说！不要迷恋姐，姐会让你吐血！\r\n\r\n哈哈哈哈哈~~~~~~");
    EXPECT_EQ(w.tipBalloon->point(), QPoint(w.left() + 445, w.top() + 10));
    EXPECT_EQ(w.geometry(), QRect(50, 50, 476, 510));
}

TEST_F(StartUpTest, ASecondCopyEndsBeforeAnythingElse) {
    writePlaylist("本地列表", "/a.mp3\r\n");
    // A runtime folder of this test's own: test programs run side by side under one name.
    const std::string runtimeDir = folder_.path() + "/runtime";
    std::filesystem::create_directory(runtimeDir);
    std::filesystem::permissions(runtimeDir, std::filesystem::perms::owner_all);
    const std::string savedRuntime =
        std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
    ::setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    const std::string own = runtime::programFileName();
    const int uid = int(::getuid());
    kivo_->setProcessLister([own, uid] {
        return std::vector<ProcessEntry>{{1, "init", 0}, {100, own, uid}, {300, own, uid}};
    });
    // Only a copy that answers on the user's socket is one.
    EXPECT_NO_THROW(kivo_->start());
    kivo_ = std::make_unique<Kivo>(programDir_);
    kivo_->setProcessLister([own, uid] {
        return std::vector<ProcessEntry>{{1, "init", 0}, {100, own, uid}, {300, own, uid}};
    });
    QLocalServer first;
    const QString socket = InstanceChannel::socketPath(own);
    QLocalServer::removeServer(socket);
    ASSERT_TRUE(first.listen(socket));
    EXPECT_THROW(kivo_->start(), ProgramEnded);
    if (savedRuntime.empty()) {
        ::unsetenv("XDG_RUNTIME_DIR");
    } else {
        ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
    }
    EXPECT_FALSE(window().isLayered());
    EXPECT_EQ(balloonText(), "");
    EXPECT_EQ(window().songList->itemCount(), 0);
}

TEST_F(StartUpTest, ThemeAndVolumeSetUp) {
    kivo_->start();
    EXPECT_EQ(QApplication::font().family(), "WenQuanYi Micro Hei");
    // Pure white is the see-through key: the theme must not paint it anywhere.
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
        EXPECT_NE(QApplication::palette().color(role), QColor(Qt::white));
    }
    MainWindow& w = window();
    const int maximum = int(w.systemVolume->maximum());
    EXPECT_EQ(w.volumeSlider->maximum(), maximum);
    EXPECT_EQ(w.volumeSlider->position(), maximum / 2);
}

TEST_F(StartUpTest, CloseEndsTheProgramAtOnceWithoutSaving) {
    writePlaylist("本地列表", "/a.mp3\r\n");
    kivo_->start();
    window().songList->addItem("/unsaved.mp3");
    int code = -1;
    try {
        window().closeButton->click();
    } catch (const ProgramEnded& ended) {
        code = ended.code;
    }
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(kivo_->player().holdsPlayer());
    EXPECT_EQ(readFile(playlistPath("本地列表")), "/a.mp3\r\n");
    EXPECT_EQ(dialogs_.calls().size(), 0u);
}

TEST_F(StartUpTest, CloseWhileASongPlaysRemovesThePlayer) {
    kivo_->start();
    kivo_->player().play(KIVO_TEST_DATA "/conformance/l3-sin1k0db.bit", 0, 0);
    ASSERT_TRUE(kivo_->player().holdsPlayer());
    EXPECT_THROW(window().closeButton->click(), ProgramEnded);
    EXPECT_FALSE(kivo_->player().holdsPlayer());
}

}  // namespace
}  // namespace kivo
