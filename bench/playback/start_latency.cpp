// How long the engine takes from NewPlay to the first buffer it hands to the sound device,
// from the beginning of a song and from a start percentage:
//   kivo-bench-start SONG [RUNS]
// The device is a virtual one paced in real time, so the pipeline behaves as when it plays.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/device_backends.h"
#include "player_entry.h"

namespace {

using namespace kivo;
using Clock = std::chrono::steady_clock;

// Milliseconds from NewPlay to the device's first write, or -1 if none came within 5 s.
double firstBufferMs(const std::vector<char>& list, int32_t startPercent) {
    auto log = std::make_shared<device::VirtualDeviceLog>();
    device::setDeviceFactory([log] {
        device::VirtualDeviceOptions options;
        options.recordPcm = false;
        options.log = log;
        return device::createVirtualDevice(options);
    });
    Player* player = CreatePlayer(list.data(), 1);
    const auto start = Clock::now();
    NewPlay(player, 0, nullptr, startPercent);
    double ms = -1;
    for (int i = 0; i < 5000 && ms < 0; ++i) {
        for (const auto& call : log->calls()) {
            if (call.op == "write") {
                ms = std::chrono::duration<double, std::milli>(call.when - start).count();
                break;
            }
        }
        if (ms < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    RemovePlayer(player);
    device::setDeviceFactory(nullptr);
    return ms;
}

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s median %6.2f ms   min %6.2f ms   max %6.2f ms   (%zu runs)\n", what,
                ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kivo-bench-start SONG [RUNS]\n");
        return 2;
    }
    const std::string song = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    std::vector<char> list(song.begin(), song.end());
    list.push_back('\0');
    list.push_back('\0');

    std::vector<double> fromStart, fromPercent;
    for (int i = 0; i < runs; ++i) {
        const double a = firstBufferMs(list, 0);
        const double b = firstBufferMs(list, 50);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "kivo-bench-start: no buffer reached the device\n");
            return 1;
        }
        fromStart.push_back(a);
        fromPercent.push_back(b);
    }
    report("NewPlay to first buffer", fromStart);
    report("NewPlay at 50 % to first buffer", fromPercent);
    return 0;
}
