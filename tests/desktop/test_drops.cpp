// Files dragged from another program onto the song list, with real pointer events on a private
// X display: a stand-in file manager drags, the player takes the drop and keeps the songs.
#include "desktop_session.h"
#include "virtual_display.h"

namespace kivo::desktop {
namespace {

// The first window named `name`, once it is mapped, with its place on the screen.
struct Window {
    QString id;
    int x = 0, y = 0;
};
bool findWindow(const QProcessEnvironment& environment, const QString& name, Window* window) {
    QString ids, geometry;
    if (!xdotool(environment, {"search", "--onlyvisible", "--name", name}, &ids) || ids.isEmpty()) {
        return false;
    }
    window->id = ids.section('\n', 0, 0);
    if (!xdotool(environment, {"getwindowgeometry", "--shell", window->id}, &geometry)) {
        return false;
    }
    window->x = geometry.section("X=", 1).section('\n', 0, 0).toInt();
    window->y = geometry.section("Y=", 1).section('\n', 0, 0).toInt();
    return true;
}

TEST(SongDrops, FilesAndAFolderDroppedOnTheListAreAddedAndKept) {
    VirtualDisplay display("1024x768x24");
    if (!display.why().isEmpty()) GTEST_SKIP() << display.why().toStdString();
    if (QStandardPaths::findExecutable("xdotool").isEmpty()) GTEST_SKIP() << "xdotool is missing";
    SessionBus bus;
    PlayerCopy copy("kivo-drops-" + std::to_string(::getpid()));
    const std::string held = copy.song("held.mp3", "l3_128_joint.mp3", 1);
    const std::string playlist = copy.playlist("本地列表");
    writeFile(playlist, held + "\r\n");
    const std::string dropped = copy.song("dropped.mp3", "l3_128_joint.mp3", 1);
    const std::string album = copy.folder() + "/album";
    std::filesystem::create_directory(album);
    std::filesystem::copy_file(held, album + "/a.mp3");
    QProcessEnvironment environment = copy.environment(display.environment());
    environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    copy.start(environment);
    Window player, source;
    ASSERT_TRUE(waitUntil([&] { return findWindow(environment, "Kivo-mp3", &player); }, 30000))
        << "the main window never appeared";

    QProcess files;
    files.setProcessEnvironment(environment);
    files.start(KIVO_DRAG_SOURCE, {QString::fromStdString(dropped), QString::fromStdString(album)});
    ASSERT_TRUE(
        waitUntil([&] { return findWindow(environment, "kivo-drag-source", &source); }, 10000));

    // Press on the file manager's window, move over the song list in steps as a hand does, and
    // let go there (the list is at 68,240 in the main window, 343 by 216).
    const auto at = [](int x, int y) {
        return QStringList{QString::number(x), QString::number(y)};
    };
    ASSERT_TRUE(xdotool(environment, QStringList{"mousemove"} + at(source.x + 60, source.y + 60)));
    ASSERT_TRUE(xdotool(environment, {"mousedown", "1"}));
    const int toX = player.x + 68 + 170, toY = player.y + 240 + 150;
    for (int step = 1; step <= 10; ++step) {
        const int x = source.x + 60 + (toX - source.x - 60) * step / 10;
        const int y = source.y + 60 + (toY - source.y - 60) * step / 10;
        ASSERT_TRUE(xdotool(environment, QStringList{"mousemove"} + at(x, y)));
        QThread::msleep(50);
    }
    ASSERT_TRUE(xdotool(environment, QStringList{"mousemove"} + at(toX + 1, toY)));
    ASSERT_TRUE(xdotool(environment, {"mouseup", "1"}));
    QByteArray said;
    EXPECT_TRUE(waitUntil(
        [&] {
            files.waitForReadyRead(50);
            said += files.readAllStandardOutput();
            return said.contains("taken") || said.contains("refused");
        },
        10000));
    EXPECT_TRUE(said.contains("taken")) << said.toStdString();

    // The list on disk: the song it held, then the dropped file, then the folder's song.
    const std::string expected = held + "\r\n" + dropped + "\r\n" + album + "/a.mp3\r\n";
    EXPECT_TRUE(waitUntil([&] { return readFile(playlist) == expected; }, 10000))
        << readFile(playlist);
    files.kill();
    files.waitForFinished(3000);
}

}  // namespace
}  // namespace kivo::desktop
