// The six entry points over the whole pipeline: states, refusals, repeat counts, pause and
// resume, progress and end reports, and the start percentage.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "player.h"
#include "player_test_fixture.h"
#include "song_length.h"

namespace kivo {
namespace {

using namespace std::chrono_literals;
using test::PlayerTest;

TEST(EntryResolver, LooksEntriesUpByExactName) {
    EntryResolver resolver;
    EXPECT_EQ(resolver.lookup("CreatePlayer"), nullptr);  // not bound yet
    resolver.bind(&engineInitialise, &engineLookup, &engineRelease);
    EXPECT_EQ(resolver.lookupAs<CreatePlayerEntry>("CreatePlayer"), &CreatePlayer);
    EXPECT_EQ(resolver.lookupAs<NewPlayEntry>("NewPlay"), &NewPlay);
    EXPECT_EQ(resolver.lookupAs<PlayEntry>("Play"), &Play);
    EXPECT_EQ(resolver.lookupAs<GetPlayStateEntry>("GetPlayState"), &GetPlayState);
    EXPECT_EQ(resolver.lookupAs<SetPauseStateEntry>("SetPauseState"), &SetPauseState);
    EXPECT_EQ(resolver.lookupAs<RemovePlayerEntry>("RemovePlayer"), &RemovePlayer);
    EXPECT_EQ(resolver.lookup("createplayer"), nullptr);
    EXPECT_EQ(resolver.lookup("Pause"), nullptr);
    EXPECT_EQ(resolver.lookup(nullptr), nullptr);
}

namespace resolver_calls {
int initialises = 0;
int releases = 0;
int32_t refuse() {
    return ++initialises, 0;
}
int32_t accept() {
    return ++initialises, 1;
}
void release() {
    ++releases;
}
}  // namespace resolver_calls

TEST(EntryResolver, InitialisesOnceAndReleasesOnRebinding) {
    using namespace resolver_calls;
    initialises = releases = 0;
    EntryResolver resolver;
    resolver.bind(&refuse, &engineLookup, &release);
    EXPECT_EQ(resolver.lookup("Play"), nullptr);  // initialisation failed
    EXPECT_EQ(resolver.lookup("Play"), nullptr);
    EXPECT_EQ(initialises, 1);
    resolver.bind(&accept, &engineLookup, &release);
    EXPECT_EQ(releases, 0);  // the failed component had nothing to release
    EXPECT_NE(resolver.lookup("Play"), nullptr);
    EXPECT_NE(resolver.lookup("Play"), nullptr);
    EXPECT_EQ(initialises, 2);
    resolver.bind(&accept, nullptr, &release);
    EXPECT_EQ(releases, 1);
    EXPECT_EQ(resolver.lookup("Play"), nullptr);
}

TEST_F(PlayerTest, NullAndEmptyPlayersDoNothing) {
    NewPlay(nullptr, 1, nullptr, 0);
    Play(nullptr);
    SetPauseState(nullptr, 1);
    EXPECT_EQ(GetPlayState(nullptr), kPlayStateIdle);
    RemovePlayer(nullptr);

    Player* empty = CreatePlayer("\0", 1);
    ASSERT_NE(empty, nullptr);
    NewPlay(empty, windows.createWindow(), nullptr, 0);
    EXPECT_EQ(GetPlayState(empty), kPlayStateIdle);
    RemovePlayer(empty);
    EXPECT_EQ(log->count("open"), 0u);
}

TEST_F(PlayerTest, OneFilePlaysWhollyAndEndsWithOneHundred) {
    const std::string song = folder.file("song.mp3", test::frames(30));
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    const WindowHandle window = windows.createWindow();
    NewPlay(player, window, nullptr, 0);
    EXPECT_EQ(GetPlayState(player), kPlayStatePlaying);
    ASSERT_TRUE(waitForEnds(window, 1));
    EXPECT_TRUE(test::waitFor([&] { return GetPlayState(player) == kPlayStateIdle; }));
    // Every frame reaches the device, the last one included.
    EXPECT_EQ(played(), test::range(0, 30));
    const std::vector<uintptr_t> progress = windows.progress(window);
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress.back(), 100u);
    for (size_t i = 0; i + 1 < progress.size(); ++i) {
        EXPECT_LE(progress[i], 99u);
        if (i > 0) {
            EXPECT_GT(progress[i], progress[i - 1]);
        }
    }
    for (const test::Post& post : windows.posts()) EXPECT_EQ(post.message, WM_PLAYPROGRESS);
    RemovePlayer(player);
    EXPECT_EQ(endsPosted(window), 1u);
}

TEST_F(PlayerTest, RepeatCountPlaysTheListThatManyTimes) {
    const std::string a = folder.file("a.mp3", test::frames(8, {}, 0));
    const std::string b = folder.file("b.mp3", test::frames(8, {}, 100));
    Player* player = CreatePlayer(fileList({a, b}).c_str(), 2);
    const WindowHandle window = windows.createWindow();
    NewPlay(player, window, nullptr, 0);
    ASSERT_TRUE(waitForEnds(window, 4));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(endsPosted(window), 4u);
    EXPECT_EQ(GetPlayState(player), kPlayStateIdle);
    std::vector<int> expected;
    for (int pass = 0; pass < 2; ++pass) {
        for (int first : {0, 100}) {
            const std::vector<int> song = test::range(first, first + 8);
            expected.insert(expected.end(), song.begin(), song.end());
        }
    }
    EXPECT_EQ(played(), expected);
    // With the passes used up, NewPlay still starts the first path, but nobody reports its end.
    NewPlay(player, window, nullptr, 0);
    EXPECT_EQ(GetPlayState(player), kPlayStatePlaying);
    EXPECT_TRUE(test::waitFor([&] { return played().size() == expected.size() + 8; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(endsPosted(window), 4u);
    EXPECT_EQ(GetPlayState(player), kPlayStatePlaying);
    RemovePlayer(player);
}

TEST_F(PlayerTest, NegativeRepeatCountRepeatsWithoutEnd) {
    const std::string song = folder.file("loop.mp3", test::frames(5));
    Player* player = CreatePlayer(fileList({song}).c_str(), -5);
    const WindowHandle window = windows.createWindow();
    NewPlay(player, window, nullptr, 0);
    ASSERT_TRUE(waitForEnds(window, 5));
    EXPECT_NE(GetPlayState(player), kPlayStatePaused);
    RemovePlayer(player);
}

TEST_F(PlayerTest, PlayWithoutWindowPostsNothing) {
    const std::string song = folder.file("quiet.mp3", test::frames(12));
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    Play(player);
    ASSERT_TRUE(test::waitFor([&] { return GetPlayState(player) == kPlayStateIdle; }));
    EXPECT_EQ(played(), test::range(0, 12));
    EXPECT_EQ(windows.postCount(), 0u);
    RemovePlayer(player);
}

TEST_F(PlayerTest, SongsThatCannotPlayAreSaidAndSkipped) {
    // A missing file, a folder and a file without audio: each is refused, said with its reason
    // just before its end, and the next song plays.
    const std::string missing = folder.path() + "/missing.mp3";
    const std::string noise = folder.file("noise.mp3", std::vector<uint8_t>(30000, 0x42));
    const std::string good = folder.file("good.mp3", test::frames(6));
    const WindowHandle window = windows.createWindow();
    Player* player = CreatePlayer(fileList({missing, folder.path(), noise, good}).c_str(), 1);
    NewPlay(player, window, nullptr, 0);
    EXPECT_EQ(GetPlayState(player), kPlayStateIdle);
    ASSERT_TRUE(waitForEnds(window, 4));
    EXPECT_EQ(played(), test::range(0, 6));
    EXPECT_EQ(windows.failures(window),
              (std::vector<uintptr_t>{kFailCannotOpen, kFailNotAFile, kFailNoAudio}));
    std::vector<uint32_t> order;
    for (const test::Post& post : windows.posts()) {
        if (post.message == WM_PLAYFAILED || post.wParam == 100) order.push_back(post.message);
    }
    EXPECT_EQ(order,
              (std::vector<uint32_t>{WM_PLAYFAILED, WM_PLAYPROGRESS, WM_PLAYFAILED, WM_PLAYPROGRESS,
                                     WM_PLAYFAILED, WM_PLAYPROGRESS, WM_PLAYPROGRESS}));
    EXPECT_TRUE(test::waitFor([&] { return GetPlayState(player) == kPlayStateIdle; }));
    RemovePlayer(player);
}

TEST_F(PlayerTest, AnEndlessListWithNothingPlayableStopsAfterOnePass) {
    const std::string missing = folder.path() + "/missing.mp3";
    const WindowHandle window = windows.createWindow();
    Player* player = CreatePlayer(fileList({missing, folder.path()}).c_str(), 0);
    NewPlay(player, window, nullptr, 0);
    ASSERT_TRUE(waitForEnds(window, 2));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(endsPosted(window), 2u);
    EXPECT_EQ(GetPlayState(player), kPlayStateIdle);
    RemovePlayer(player);
}

// What the device had played when each progress message was posted.
class HeardAtEachPost : public NotifyWindows {
public:
    HeardAtEachPost(test::RecordingWindows& windows, std::shared_ptr<device::VirtualDeviceLog> log)
        : windows_(windows), log_(std::move(log)) {}
    bool isWindow(WindowHandle window) override { return windows_.isWindow(window); }
    bool postMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override {
        if (message == WM_PLAYPROGRESS) {
            std::lock_guard lock(mutex_);
            posts_.push_back({wParam, log_->pcmBytes()});
        }
        return windows_.postMessage(window, message, wParam, lParam);
    }
    std::vector<std::pair<uintptr_t, size_t>> posts() {
        std::lock_guard lock(mutex_);
        return posts_;
    }

private:
    test::RecordingWindows& windows_;
    std::shared_ptr<device::VirtualDeviceLog> log_;
    std::mutex mutex_;
    std::vector<std::pair<uintptr_t, size_t>> posts_;
};

// The percentage shown is the position heard, never the decoder's, which runs seconds ahead:
// every post agrees with what the device had played by then, and six seconds into a ten-second
// song played in real time it reads 50 to 62.
TEST_F(PlayerTest, ProgressIsThePositionHeard) {
    speed = 1;
    constexpr int kFrames = 383;  // 10.0 s
    const std::string song = folder.file("ten.mp3", test::frames(kFrames));
    HeardAtEachPost heard(windows, log);
    setNotifyWindows(&heard);
    const WindowHandle window = windows.createWindow();
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    const auto start = std::chrono::steady_clock::now();
    NewPlay(player, window, nullptr, 0);
    std::this_thread::sleep_until(start + 6s);
    const std::vector<uintptr_t> shown = windows.progress(window);
    ASSERT_FALSE(shown.empty());
    EXPECT_GE(shown.back(), 50u);
    EXPECT_LE(shown.back(), 62u);
    for (const auto& [percent, bytes] : heard.posts()) {
        const double heardPercent = bytes / 4608.0 * 100 / kFrames;
        EXPECT_LE(percent, heardPercent + 1) << "ahead of the sound";
        // Behind by a little when a busy machine wakes the output thread late.
        EXPECT_GE(percent + 3.0, heardPercent) << "behind the sound";
    }
    RemovePlayer(player);
    // A start at 40 % first says where it starts (frame 153 of 383: 39.9 %), not a position
    // decoded ahead of it.
    const size_t before = windows.progress(window).size();
    player = CreatePlayer(fileList({song}).c_str(), 1);
    NewPlay(player, window, nullptr, 40);
    ASSERT_TRUE(test::waitFor([&] { return windows.progress(window).size() > before; }));
    EXPECT_EQ(windows.progress(window)[before], 39u);
    RemovePlayer(player);
}

// A variable bitrate and no frame count in the file: the length is learnt from the frames, so
// the progress follows the sound to its end instead of reaching 99 early (the first frame's
// length alone made 67 frames of 77), and the length told before playing is right.
TEST_F(PlayerTest, AVariableBitrateWithoutAFrameCountIsFollowedToItsEnd) {
    setPipelineDecoderOps(nullptr);
    speed = 1;
    const std::string song = std::string(KIVO_TEST_DATA) + "/play/l2-vbr.mp2";
    constexpr double kFrames = 77;
    EXPECT_NEAR(songSeconds(song), kFrames * 1152 / 44100, 0.001);
    HeardAtEachPost heard(windows, log);
    setNotifyWindows(&heard);
    const WindowHandle window = windows.createWindow();
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    NewPlay(player, window, nullptr, 0);
    ASSERT_TRUE(waitForEnds(window, 1));
    RemovePlayer(player);
    for (const auto& [percent, bytes] : heard.posts()) {
        if (percent == 100) continue;
        const double heardPercent = bytes / 4608.0 * 100 / kFrames;
        EXPECT_LE(percent, heardPercent + 1) << "ahead of the sound";
        // Behind by a little when a busy machine wakes the output thread late.
        EXPECT_GE(percent + 5.0, heardPercent) << "behind the sound";
    }
}

TEST_F(PlayerTest, PauseAndResumeContinueFromTheSameSample) {
    speed = 2;  // 40 frames: about half a second of playing, time enough to pause midway
    const std::string song = folder.file("paused.mp3", test::frames(40));
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    const WindowHandle window = windows.createWindow();
    SetPauseState(player, 1);  // stopped: nothing to pause
    EXPECT_EQ(GetPlayState(player), kPlayStateIdle);
    NewPlay(player, window, nullptr, 0);
    SetPauseState(player, 0);  // playing: nothing to resume
    EXPECT_EQ(GetPlayState(player), kPlayStatePlaying);
    ASSERT_TRUE(test::waitFor([&] { return log->pcmBytes() > 0; }));
    SetPauseState(player, 1);
    EXPECT_EQ(GetPlayState(player), kPlayStatePaused);
    const size_t atPause = log->pcmBytes();
    std::this_thread::sleep_for(150ms);
    EXPECT_LT(log->pcmBytes(), 40u * 4608);
    EXPECT_LE(log->pcmBytes(), atPause + 4608);  // at most the slice under way
    SetPauseState(player, 0);
    EXPECT_EQ(GetPlayState(player), kPlayStatePlaying);
    ASSERT_TRUE(waitForEnds(window, 1));
    EXPECT_EQ(played(), test::range(0, 40));
    RemovePlayer(player);
}

TEST_F(PlayerTest, NewPlayOnAPausedPlayerResumesIt) {
    speed = 2;
    const std::string song = folder.file("resume.mp3", test::frames(40));
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    const WindowHandle window = windows.createWindow();
    NewPlay(player, window, nullptr, 0);
    ASSERT_TRUE(test::waitFor([&] { return log->pcmBytes() > 0; }));
    SetPauseState(player, 1);
    std::this_thread::sleep_for(50ms);
    NewPlay(player, window, nullptr, 70);  // the start has no effect on a running pipeline
    EXPECT_EQ(GetPlayState(player), kPlayStatePlaying);
    ASSERT_TRUE(waitForEnds(window, 1));
    EXPECT_EQ(played(), test::range(0, 40));
    RemovePlayer(player);
}

// The drain at the end of a song survives a pause: the end is still reported after the run.
TEST_F(PlayerTest, PauseWhileDrainingStillReportsTheEnd) {
    speed = 1;  // 20 frames: about half a second, all queued at once
    const std::string song = folder.file("drain.mp3", test::frames(20));
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    const WindowHandle window = windows.createWindow();
    NewPlay(player, window, nullptr, 0);
    ASSERT_TRUE(test::waitFor([&] { return log->count("write") == 20; }));
    std::this_thread::sleep_for(50ms);
    SetPauseState(player, 1);
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(endsPosted(window), 0u);
    SetPauseState(player, 0);
    ASSERT_TRUE(waitForEnds(window, 1));
    EXPECT_EQ(played(), test::range(0, 20));
    EXPECT_EQ(GetPlayState(player), kPlayStateIdle);
    RemovePlayer(player);
}

TEST_F(PlayerTest, DestroyedWindowReceivesNothing) {
    speed = 2;
    const std::string song = folder.file("gone.mp3", test::frames(60));
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    const WindowHandle window = windows.createWindow();
    NewPlay(player, window, nullptr, 0);
    ASSERT_TRUE(test::waitFor([&] { return windows.postCount() > 0; }));
    windows.destroyWindow(window);
    const size_t before = windows.postCount();
    ASSERT_TRUE(test::waitFor([&] { return GetPlayState(player) == kPlayStateIdle; }));
    EXPECT_EQ(windows.postCount(), before);
    EXPECT_EQ(played(), test::range(0, 60));
    RemovePlayer(player);
}

TEST_F(PlayerTest, StartPercentagesAreClampedToTheSong) {
    const std::string song = folder.file("start.mp3", test::frames(100));
    const WindowHandle window = windows.createWindow();
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    NewPlay(player, window, nullptr, 150);
    ASSERT_TRUE(waitForEnds(window, 1));
    EXPECT_TRUE(played().empty());
    RemovePlayer(player);

    player = CreatePlayer(fileList({song}).c_str(), 1);
    NewPlay(player, window, nullptr, -3);
    ASSERT_TRUE(waitForEnds(window, 2));
    EXPECT_EQ(played(), test::range(0, 100));
    RemovePlayer(player);

    log = std::make_shared<device::VirtualDeviceLog>();
    player = CreatePlayer(fileList({song}).c_str(), 1);
    NewPlay(player, window, nullptr, 40);
    ASSERT_TRUE(waitForEnds(window, 3));
    EXPECT_EQ(played(), test::range(40, 100));
    RemovePlayer(player);
}

TEST_F(PlayerTest, NewPlayOnAPlayingPlayerRestartsAndPlayDropsTheWindow) {
    speed = 1;
    const std::string song = folder.file("restart.mp3", test::frames(40));
    const WindowHandle window = windows.createWindow();
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    NewPlay(player, window, nullptr, 0);
    // The decoder runs ahead of the sound: once it has passed the middle, the first pipeline
    // has posted its one 50, whatever the machine's speed.
    ASSERT_TRUE(test::waitFor([&] {
        const std::vector<uintptr_t> progress = windows.progress(window);
        return log->pcmBytes() > 0 && std::count(progress.begin(), progress.end(), 50u) == 1;
    }));
    NewPlay(player, window, nullptr, 50);
    EXPECT_EQ(GetPlayState(player), kPlayStatePlaying);
    // The new pipeline counts again from 50.
    ASSERT_TRUE(test::waitFor([&] {
        const std::vector<uintptr_t> progress = windows.progress(window);
        return std::count(progress.begin(), progress.end(), 50u) == 2;
    }));
    Play(player);  // again from the start, unannounced
    const size_t posts = windows.postCount();
    ASSERT_TRUE(test::waitFor([&] { return GetPlayState(player) == kPlayStateIdle; }));
    EXPECT_EQ(windows.postCount(), posts);
    // The interrupted pipelines played parts of blocks; the last one played all of its own.
    const std::vector<uint8_t> pcm = log->pcm();
    ASSERT_GE(pcm.size(), 40u * 4608);
    const std::vector<uint8_t> last(pcm.end() - 40 * 4608, pcm.end());
    EXPECT_EQ(test::serialsOf(last, 4608), test::range(0, 40));
    RemovePlayer(player);
}

TEST_F(PlayerTest, LowSamplingFrequencyMonoPlaysInSmallBlocks) {
    const std::string song =
        folder.file("lsf.mp3", test::frames(30, test::FrameKind{0xF3, 0x80, 0xC0}));
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    Play(player);
    ASSERT_TRUE(test::waitFor([&] { return GetPlayState(player) == kPlayStateIdle; }));
    RemovePlayer(player);
    EXPECT_EQ(log->format().sampleRate, 22050);
    EXPECT_EQ(log->format().channels, 1);
    EXPECT_EQ(test::serialsOf(log->pcm(), 1152), test::range(0, 30));
    EXPECT_EQ(log->pcm().size(), 30u * 1152);
    for (const device::DeviceCall& call : log->calls()) {
        if (call.op == "write") {
            EXPECT_EQ(call.bytes, 1152u);
        }
    }
}

TEST_F(PlayerTest, RemovingWhileBuffersAreQueuedResetsAndClosesTheDevice) {
    speed = 1;
    const std::string song = folder.file("long.mp3", test::frames(200));
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    const WindowHandle window = windows.createWindow();
    NewPlay(player, window, nullptr, 0);
    ASSERT_TRUE(test::waitFor([&] { return log->count("write") >= 100; }));
    std::this_thread::sleep_for(60ms);  // a few buffers played, many still queued
    RemovePlayer(player);
    EXPECT_EQ(log->count("reset"), 1u);
    EXPECT_EQ(log->count("close"), 1u);
    // Every buffer that was prepared has been unprepared by the time the device closed.
    EXPECT_EQ(log->count("unprepare"), log->count("prepare"));
    const std::vector<device::DeviceCall> calls = log->calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().op, "close");
    EXPECT_EQ(endsPosted(window), 0u);
}

// A sound device that opens but takes no buffer, as one that was unplugged.
class RefusingDevice : public device::WaveOutDevice {
public:
    using Result = device::DeviceResult;
    Result open(const device::WaveFormat&, BufferDone) override { return Result::Ok; }
    Result prepare(device::DeviceBuffer*) override { return Result::Ok; }
    Result write(device::DeviceBuffer*) override { return Result::Error; }
    Result pause() override { return Result::Ok; }
    Result restart() override { return Result::Ok; }
    Result reset() override { return Result::Ok; }
    Result unprepare(device::DeviceBuffer*) override { return Result::Ok; }
    Result close() override { return Result::Ok; }
};

TEST_F(PlayerTest, DeviceThatRefusesBuffersEndsTheSongInsteadOfHanging) {
    device::setDeviceFactory([] { return std::make_unique<RefusingDevice>(); });
    const std::string song = folder.file("refused.mp3", test::frames(20));
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    const WindowHandle window = windows.createWindow();
    NewPlay(player, window, nullptr, 0);
    ASSERT_TRUE(waitForEnds(window, 1));
    EXPECT_TRUE(test::waitFor([&] { return GetPlayState(player) == kPlayStateIdle; }));
    RemovePlayer(player);
}

TEST_F(PlayerTest, RefusedSoundDeviceIsSaidAndTheSongEnds) {
    refuseOpen = true;
    const std::string song = folder.file("mute.mp3", test::frames(20));
    const WindowHandle window = windows.createWindow();
    Player* player = CreatePlayer(fileList({song}).c_str(), 1);
    NewPlay(player, window, nullptr, 0);
    ASSERT_TRUE(waitForEnds(window, 1));
    EXPECT_EQ(windows.failures(window), std::vector<uintptr_t>{kFailDeviceRefused});
    EXPECT_EQ(GetPlayState(player), kPlayStateIdle);
    RemovePlayer(player);
    // Nothing is asked of a device that never opened.
    EXPECT_EQ(log->count("reset"), 0u);
    EXPECT_EQ(log->count("close"), 0u);
}

}  // namespace
}  // namespace kivo
