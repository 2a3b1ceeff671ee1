// Random sequences of the entry points against short songs on a fast device, meeting the
// message thread at every point of its end-of-song switch. Run under the thread sanitizer it
// finds races; the watchdog turns a deadlock into a failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <random>
#include <thread>

#include "player_test_fixture.h"

namespace kivo {
namespace {

using namespace std::chrono_literals;

class PlayerStress : public test::PlayerTest {};

TEST_F(PlayerStress, RandomEntrySequencesEndCleanly) {
    speed = 40;
    const std::vector<std::string> songs = {
        folder.file("short.mp3", test::frames(4)),
        folder.file("medium.mp3", test::frames(25)),
        folder.file("noise.mp3", std::vector<uint8_t>(6000, 0x33)),
        folder.path() + "/missing.mp3",
    };
    auto body = [&] {
        std::mt19937 random(20261208);
        auto pick = [&](int low, int high) {
            return std::uniform_int_distribution<int>(low, high)(random);
        };
        for (int round = 0; round < 300; ++round) {
            std::vector<std::string> list;
            for (int i = pick(1, 3); i > 0; --i) list.push_back(songs[pick(0, 3)]);
            Player* player = CreatePlayer(fileList(list).c_str(), pick(-1, 2));
            ASSERT_NE(player, nullptr);
            WindowHandle window = windows.createWindow();
            for (int step = pick(1, 8); step > 0; --step) {
                switch (pick(0, 5)) {
                    case 0:
                        NewPlay(player, window, nullptr, 0);
                        break;
                    case 1:
                        NewPlay(player, window, nullptr, pick(-10, 150));
                        break;
                    case 2:
                        SetPauseState(player, pick(0, 1));
                        break;
                    case 3:
                        Play(player);
                        break;
                    case 4:
                        windows.destroyWindow(window);
                        break;
                    default:
                        EXPECT_GE(GetPlayState(player), -1);
                        break;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(pick(0, 8000)));
            }
            RemovePlayer(player);
        }
    };
    auto done = std::async(std::launch::async, body);
    if (done.wait_for(240s) != std::future_status::ready) {
        std::fprintf(stderr, "entry sequences did not finish: deadlock\n");
        std::_Exit(1);
    }
    done.get();
}

// A restart meets the end of the song it replaces at every moment: the report of the replaced
// pipeline, queued just before, must not end the new one. Each restarted song plays whole.
TEST_F(PlayerStress, ARestartAtAnyMomentPlaysTheSongWhole) {
    std::mutex mutex;
    std::vector<std::shared_ptr<device::VirtualDeviceLog>> logs;
    device::setDeviceFactory([&] {
        device::VirtualDeviceOptions options;
        options.speed = 0;
        options.log = std::make_shared<device::VirtualDeviceLog>();
        std::lock_guard lock(mutex);
        logs.push_back(options.log);
        return device::createVirtualDevice(options);
    });
    const std::string song = folder.file("song.mp3", test::frames(8));
    std::mt19937 random(20261208);
    for (int round = 0; round < 200; ++round) {
        Player* player = CreatePlayer(fileList({song}).c_str(), 1);
        const WindowHandle window = windows.createWindow();
        NewPlay(player, window, nullptr, 0);
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(0, 3000)(random)));
        size_t before;
        {
            std::lock_guard lock(mutex);
            before = logs.size();
        }
        NewPlay(player, window, nullptr, 0);
        const bool whole = test::waitFor(
            [&] {
                std::lock_guard lock(mutex);
                return logs.size() > before &&
                       test::serialsOf(logs.back()->pcm(), 4608) == test::range(0, 8);
            },
            2s);
        RemovePlayer(player);
        ASSERT_TRUE(whole) << "round " << round;
    }
}

}  // namespace
}  // namespace kivo
