// The keyboard of the main window, typed with xdotool on a private X display; what the keys
// did is read back from the media controls.
#include "desktop_session.h"
#include "pulse_server.h"
#include "virtual_display.h"

namespace kivo::desktop {
namespace {

TEST(MainWindowKeys, SpaceArrowsAndEnterPlayAsTheControlsDo) {
    // The sound server first: the display takes this process's environment, which then names
    // the server to the player (without it the player says it has no sound device).
    device::test::PulseServer pulse;
    if (!pulse.start(KIVO_PULSEAUDIO)) GTEST_SKIP() << pulse.why();
    VirtualDisplay display("1024x768x24");
    if (!display.why().isEmpty()) GTEST_SKIP() << display.why().toStdString();
    if (QStandardPaths::findExecutable("xdotool").isEmpty()) GTEST_SKIP() << "xdotool is missing";
    SessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-run-session did not start a bus";
    PlayerCopy copy("kivo-keys-" + std::to_string(::getpid()));
    const std::string first = copy.song("one.mp3", "l3_128_joint.mp3", 4);
    // Two minutes long: it still plays while the keys act on it.
    const std::string second = copy.song("two.mp3", "l3_128_joint.mp3", 60);
    writeFile(copy.playlist("本地列表"), first + "\r\n" + second + "\r\n");
    QProcessEnvironment environment = copy.environment(display.environment());
    environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    copy.start(environment);
    MediaControls controls(bus.address());
    QString window;
    ASSERT_TRUE(waitUntil(
        [&] {
            return xdotool(environment, {"search", "--name", "Kivo-mp3"}, &window) &&
                   !window.isEmpty();
        },
        30000))
        << "the main window never appeared";
    window = window.section('\n', 0, 0);
    ASSERT_TRUE(waitUntil([&] { return !controls.property("PlaybackStatus").isEmpty(); }, 10000));
    // No window manager runs on the display: the test gives the window the focus itself.
    ASSERT_TRUE(waitUntil(
        [&] {
            QString focused;
            xdotool(environment, {"windowfocus", window});
            return xdotool(environment, {"getwindowfocus"}, &focused) && focused == window;
        },
        10000))
        << "the main window never took the focus";
    const auto key = [&](const QString& name) {
        return xdotool(environment, {"key", "--clearmodifiers", name});
    };

    // Down twice: the second song is chosen; Enter plays it.
    ASSERT_TRUE(key("Down") && key("Down") && key("Return"));
    ASSERT_TRUE(controls.statusIs("Playing"));
    EXPECT_TRUE(controls.property("Metadata").contains("'xesam:title': <'two'>"));

    // Space pauses, and again continues the same song.
    ASSERT_TRUE(key("space"));
    EXPECT_TRUE(controls.statusIs("Paused"));
    ASSERT_TRUE(key("space"));
    EXPECT_TRUE(controls.statusIs("Playing"));

    // Right jumps ten percent on, Left ten percent back, as the bar's steps do.
    const double length = QString(controls.property("Metadata"))
                              .section("'mpris:length': <int64 ", 1)
                              .section('>', 0, 0)
                              .toDouble();
    ASSERT_GT(length, 0);
    const double before = controls.number("Position");
    ASSERT_TRUE(key("Right"));
    EXPECT_TRUE(
        waitUntil([&] { return controls.number("Position") >= before + 0.09 * length; }, 5000));
    const double ahead = controls.number("Position");
    ASSERT_TRUE(key("Left"));
    EXPECT_TRUE(
        waitUntil([&] { return controls.number("Position") <= ahead - 0.05 * length; }, 5000));

    // Up chooses the first song again; the playing one goes on until Enter.
    ASSERT_TRUE(key("Up"));
    EXPECT_TRUE(controls.property("Metadata").contains("'xesam:title': <'two'>"));
    ASSERT_TRUE(key("Return"));
    EXPECT_TRUE(waitUntil(
        [&] { return controls.property("Metadata").contains("'xesam:title': <'one'>"); }, 5000));
}

}  // namespace
}  // namespace kivo::desktop
