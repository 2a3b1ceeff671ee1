// The desktop's media controls: calls on a private session bus change what the private sound
// server hears, and the properties say what the player does.
#include <QRegularExpression>
#include <QUrl>

#include "desktop_session.h"
#include "pulse_server.h"

namespace kivo::desktop {
namespace {

using device::test::MonitorRecorder;
using device::test::PulseServer;
using device::test::soundingFrames;

// What reaches the sink's monitor in `ms` milliseconds, as sounding stereo frames.
size_t framesHeardIn(const PulseServer& pulse, int ms) {
    MonitorRecorder recorder;
    if (!recorder.start(KIVO_PAREC, pulse.dir() / "monitor.raw")) return size_t(-1);
    QThread::msleep(ms);
    return soundingFrames(recorder.stop()).size() / 4;
}

// The start-up sound has ended, and nothing sounds.
bool silenceFalls(const PulseServer& pulse) {
    return waitUntil([&] { return framesHeardIn(pulse, 500) == 0; }, 15000);
}

QString field(const QString& metadata, const QString& key) {
    const QRegularExpression pattern("'" + key + "': <(?:objectpath |int64 )?'?([^'>]*)'?>");
    return pattern.match(metadata).captured(1);
}

TEST(MediaControls, CallsChangeWhatIsHeardAndThePropertiesSayWhatPlays) {
    PulseServer pulse;
    if (!pulse.start(KIVO_PULSEAUDIO)) GTEST_SKIP() << pulse.why();
    SessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-run-session did not start a bus";
    PlayerCopy copy("kivo-mpris-" + std::to_string(::getpid()));
    const std::string first = copy.song("first song.mp3", "l3_128_joint.mp3", 12);
    const std::string second = copy.song("第二首.mp3", "l3_320_joint.mp3", 6);
    writeFile(copy.playlist("本地列表"), first + "\r\n" + second + "\r\n");
    QProcessEnvironment environment = copy.environment(QProcessEnvironment::systemEnvironment());
    environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    QProcess& player = copy.start(environment);
    MediaControls controls(bus.address());

    ASSERT_TRUE(waitUntil([&] { return !controls.property("PlaybackStatus").isEmpty(); }, 30000))
        << "the player never appeared on the bus";
    EXPECT_TRUE(controls.statusIs("Stopped", 0));
    EXPECT_TRUE(
        controls.property("Metadata").contains("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    EXPECT_EQ(controls.property("CanGoNext"), "(<true>,)");
    EXPECT_NEAR(controls.number("Volume"), 0.5, 0.01) << "the panel starts at half the volume";
    ASSERT_TRUE(silenceFalls(pulse));

    // Play: the first song of the list sounds, and the desktop learns which it is.
    controls.player("Play");
    ASSERT_TRUE(controls.statusIs("Playing"));
    EXPECT_GT(framesHeardIn(pulse, 1000), 20000u);
    const QString metadata = controls.property("Metadata");
    EXPECT_EQ(field(metadata, "xesam:title"), "first song");
    EXPECT_EQ(field(metadata, "xesam:url"),
              QUrl::fromLocalFile(QString::fromStdString(first)).toString(QUrl::FullyEncoded));
    const qlonglong length = field(metadata, "mpris:length").toLongLong();
    EXPECT_GT(length, 22'000'000);  // twelve times a stream of a little over two seconds
    EXPECT_LT(length, 27'000'000);

    // Pause falls silent; a position set meanwhile is where playing goes on.
    controls.player("Pause");
    ASSERT_TRUE(controls.statusIs("Paused"));
    EXPECT_TRUE(silenceFalls(pulse));
    controls.player("SetPosition", {field(metadata, "mpris:trackid"), QString::number(length / 2)});
    EXPECT_NEAR(controls.number("Position"), length / 2.0, length * 0.02);
    controls.player("PlayPause");
    ASSERT_TRUE(controls.statusIs("Playing"));
    EXPECT_GT(framesHeardIn(pulse, 500), 5000u);
    EXPECT_GE(controls.number("Position"), length / 2.0 - length * 0.02);

    // Next plays the second and last song.
    controls.player("Next");
    EXPECT_TRUE(waitUntil(
        [&] { return field(controls.property("Metadata"), "xesam:title") == "第二首"; }, 5000));
    EXPECT_TRUE(controls.statusIs("Playing"));
    EXPECT_EQ(controls.property("CanGoNext"), "(<false>,)");

    // The volume is the panel's slider, which sets the speakers.
    ASSERT_TRUE(controls.setProperty("Volume", "<0.0>"));
    EXPECT_EQ(controls.number("Volume"), 0.0);
    EXPECT_TRUE(silenceFalls(pulse));
    EXPECT_TRUE(controls.statusIs("Playing", 0));
    ASSERT_TRUE(controls.setProperty("Volume", "<0.25>"));
    EXPECT_NEAR(controls.number("Volume"), 0.25, 0.01);
    EXPECT_GT(framesHeardIn(pulse, 500), 5000u);

    // Stop falls silent for good.
    controls.player("Stop");
    EXPECT_TRUE(controls.statusIs("Stopped"));
    EXPECT_TRUE(silenceFalls(pulse));
    EXPECT_EQ(controls.number("Position"), 0);
    EXPECT_EQ(player.state(), QProcess::Running);
}

}  // namespace
}  // namespace kivo::desktop
