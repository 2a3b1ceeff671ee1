// Random sequences of the entry points against short songs on a fast device, meeting the
// message thread at every point of its end-of-song switch. Run under the thread sanitizer it
// finds races; the watchdog turns a deadlock into a failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <future>
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

}  // namespace
}  // namespace kivo
