// The whole engine on ALSA, reached through its entry points as the application reaches it:
// what the sound server hears is what the engine decodes, a pause holds the sound and the
// resume goes on from the very next sample, and the end of the song is reported only once it
// has been heard.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <thread>

#include "device/device_backends.h"
#include "player_entry.h"
#include "pulse_server.h"

namespace kivo {
namespace {

using Clock = std::chrono::steady_clock;
using device::test::PulseEnvironment;
using std::chrono::milliseconds;

// A window that keeps the progress it is sent.
class ProgressWindow : public NotifyWindows {
public:
    static constexpr WindowHandle kHandle = 7;

    bool isWindow(WindowHandle window) override { return window == kHandle; }
    bool postMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t) override {
        std::lock_guard lock(mutex_);
        if (window != kHandle || message != WM_PLAYPROGRESS) return false;
        progress_.push_back(static_cast<int>(wParam));
        if (wParam == 100) endedAt_ = Clock::now();
        changed_.notify_all();
        return true;
    }
    // When the song's end was reported, or nothing after `limit`.
    std::optional<Clock::time_point> waitForEnd(milliseconds limit = milliseconds(20000)) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, limit, [&] { return endedAt_.has_value(); })) return {};
        return endedAt_;
    }
    std::vector<int> progress() {
        std::lock_guard lock(mutex_);
        return progress_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> progress_;
    std::optional<Clock::time_point> endedAt_;
};

class AlsaPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PulseEnvironment::running_) {
            GTEST_SKIP() << "no sound server to play into: " << PulseEnvironment::server_.why();
        }
        setNotifyWindows(&window_);
        list_ = std::string(KIVO_TEST_DATA) + "/play/l2-cbr.mp2";
        list_.push_back('\0');
        list_.push_back('\0');
    }
    void TearDown() override {
        setNotifyWindows(nullptr);
        device::setDeviceFactory(nullptr);
    }

    // The PCM the engine hands to a device for the song, taken without pacing.
    std::vector<uint8_t> decodedSong() {
        auto log = std::make_shared<device::VirtualDeviceLog>();
        device::setDeviceFactory([log] {
            device::VirtualDeviceOptions options;
            options.speed = 0;
            options.log = log;
            return device::createVirtualDevice(options);
        });
        ProgressWindow window;
        setNotifyWindows(&window);
        Player* player = CreatePlayer(list_.data(), 1);
        NewPlay(player, ProgressWindow::kHandle, nullptr, 0);
        EXPECT_TRUE(window.waitForEnd());
        RemovePlayer(player);
        setNotifyWindows(&window_);
        return log->pcm();
    }

    ProgressWindow window_;
    std::string list_;
};

TEST_F(AlsaPlayback, PausedAndResumedSongIsHeardWholeAndItsEndReportedOnlyOnceHeard) {
    const std::vector<uint8_t> expected = device::test::soundingFrames(decodedSong());
    ASSERT_GT(expected.size(), 44100u * 4 / 2);  // about a second of sound
    device::setDeviceFactory([] { return device::createAlsaDevice("default"); });

    Clock::time_point started;
    std::optional<Clock::time_point> ended;
    const auto recording = device::test::recordWhile([&] {
        Player* player = CreatePlayer(list_.data(), 1);
        started = Clock::now();
        NewPlay(player, ProgressWindow::kHandle, nullptr, 0);
        std::this_thread::sleep_for(milliseconds(400));
        SetPauseState(player, 1);
        EXPECT_EQ(GetPlayState(player), -1);
        std::this_thread::sleep_for(milliseconds(600));
        SetPauseState(player, 0);
        EXPECT_EQ(GetPlayState(player), 1);
        ended = window_.waitForEnd();
        RemovePlayer(player);
    });
    ASSERT_TRUE(ended.has_value()) << "the end of the song was never reported";
    const auto heard = device::test::soundingFrames(recording);
    EXPECT_EQ(heard.size(), expected.size()) << "sound was lost or repeated";
    EXPECT_TRUE(heard == expected) << "what was heard differs from what was decoded";
    EXPECT_GE(device::test::longestInnerSilence(recording), 44100u * 4 / 10)
        << "the pause was not heard";
    // The song lasts about a second and was held for 600 ms: its end cannot come sooner.
    const auto duration = milliseconds(expected.size() / 4 * 1000 / 44100);
    EXPECT_GE(*ended - started, duration + milliseconds(550));
    const auto progress = window_.progress();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100);
    EXPECT_EQ(std::count(progress.begin(), progress.end(), 100), 1);
}

TEST_F(AlsaPlayback, RemovingAPlayingPlayerSilencesItAtOnce) {
    const std::vector<uint8_t> expected = device::test::soundingFrames(decodedSong());
    device::setDeviceFactory([] { return device::createAlsaDevice("default"); });
    const auto recording = device::test::recordWhile([&] {
        Player* player = CreatePlayer(list_.data(), 1);
        NewPlay(player, ProgressWindow::kHandle, nullptr, 0);
        std::this_thread::sleep_for(milliseconds(300));
        RemovePlayer(player);
    });
    const auto heard = device::test::soundingFrames(recording);
    EXPECT_GT(heard.size(), 0u);
    EXPECT_LT(heard.size(), expected.size() * 7 / 10) << "the song went on after its removal";
    EXPECT_TRUE(std::equal(heard.begin(), heard.end(), expected.begin()));
    const auto progress = window_.progress();
    EXPECT_EQ(std::count(progress.begin(), progress.end(), 100), 0);
}

// kivo-play as a user runs it, on either backend, when the sound server crashes in the middle
// of a long song: it says so and ends with a failure instead of running the song's clock into
// nothing.
class KivoPlayServerCrash : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (!PulseEnvironment::running_) GTEST_SKIP() << PulseEnvironment::server_.why();
        char pattern[] = "/tmp/kivo-play-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }
    std::filesystem::path dir_;
};

TEST_P(KivoPlayServerCrash, SaysTheSoundDeviceWentAwayAndEndsWithAFailure) {
    // Ten seconds: the two-second song five times over.
    const std::string song = (dir_ / "long.mp3").string();
    {
        std::ifstream in(std::string(KIVO_TEST_DATA) + "/streams/l3_128_joint.mp3",
                         std::ios::binary);
        const std::string once{std::istreambuf_iterator<char>(in), {}};
        std::ofstream out(song, std::ios::binary);
        for (int i = 0; i < 5; ++i) out << once;
    }
    const std::string errors = (dir_ / "errors").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT, 0644);
    std::vector<std::string> args = {KIVO_PLAY, "--device", GetParam(), song};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, KIVO_PLAY, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    const auto exited = [&](milliseconds limit, int* status) {
        for (const auto end = Clock::now() + limit; Clock::now() < end;) {
            if (::waitpid(pid, status, WNOHANG) == pid) return true;
            std::this_thread::sleep_for(milliseconds(20));
        }
        return false;
    };

    int status = 0;
    EXPECT_FALSE(exited(milliseconds(1000), &status)) << "kivo-play did not play";
    PulseEnvironment::server_.stop(SIGKILL);
    // The song had eight seconds left.
    const bool ended = exited(milliseconds(5000), &status);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    PulseEnvironment::running_ = PulseEnvironment::server_.start(KIVO_PULSEAUDIO);
    ASSERT_TRUE(ended) << "kivo-play played on after the sound server had gone";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    std::ifstream said(errors);
    const std::string text{std::istreambuf_iterator<char>(said), {}};
    EXPECT_NE(text.find("kivo-play: " + song + ": the sound device went away\n"), std::string::npos)
        << text;
}

INSTANTIATE_TEST_SUITE_P(Backends, KivoPlayServerCrash, ::testing::Values("pulse", "alsa"));

}  // namespace
}  // namespace kivo
