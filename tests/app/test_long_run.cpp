// Loop mode over 200 very short songs, played by the real engine into devices that keep
// nothing: memory stays flat, the window goes on handling events, and no handler's wait nests
// inside another's. The test command plays two laps; KIVO_LONG_RUN_SECONDS makes it the long
// run (tools/long_run.sh: ten minutes under AddressSanitizer) and prints its figures.
#include <unistd.h>

#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app_fixture.h"
#include "device/device_backends.h"
#include "device/virtual_device.h"
#include "notify_windows_qt.h"
#include "now_playing.h"

namespace kivo {
namespace {

long residentKb() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

class LongRunTest : public AppTest {};

TEST_F(LongRunTest, LoopModeOverTwoHundredShortSongsStaysFlatAndAnswers) {
    const char* seconds = std::getenv("KIVO_LONG_RUN_SECONDS");
    const int runMs = seconds != nullptr ? std::atoi(seconds) * 1000 : 0;
    auto notify = runtime::installNotifyWindows();
    std::atomic<int> devices{0};
    device::setDeviceFactory([&devices] {
        ++devices;
        device::VirtualDeviceOptions unpaced;
        unpaced.speed = 0;
        return device::createVirtualDevice(unpaced);
    });

    // About half a second of sound each: the first 8 KB of a 128 kbit/s song.
    std::ifstream source(std::string(KIVO_TEST_DATA) + "/streams/l3_128_joint.mp3",
                         std::ios::binary);
    std::string head(8192, '\0');
    source.read(head.data(), std::streamsize(head.size()));
    const std::string folder = folder_.path() + "/songs";
    std::filesystem::create_directories(folder);
    constexpr int kSongs = 200;
    for (int i = 0; i < kSongs; ++i) {
        const std::string path = folder + "/" + std::to_string(i) + ".mp3";
        std::ofstream(path, std::ios::binary) << head;
        window().songList->addItem(path);
    }

    // A tick every 20 ms notes how deep the window thread's stack reaches and how long the
    // window went without handling an event.
    uintptr_t deepest = UINTPTR_MAX;
    qint64 lastTick = 0, longestSilence = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        deepest = std::min(deepest, reinterpret_cast<uintptr_t>(__builtin_frame_address(0)));
        longestSilence = std::max(longestSilence, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    });
    ticker.start(20);

    window().songList->setCurrent(0);
    playSelected(*kivo_);
    auto runUntil = [&](const std::function<bool()>& done) {
        while (!done() && clock.elapsed() < std::max(runMs, 120000)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    };
    runUntil([&] { return devices >= kSongs; });  // the first lap sets the marks
    ASSERT_GE(devices, kSongs) << "the first lap did not end";
    const long firstLapKb = residentKb();
    const uintptr_t firstLapDeepest = deepest;
    longestSilence = 0;
    runUntil([&] { return devices >= 2 * kSongs && clock.elapsed() >= runMs; });
    const int laps = devices / kSongs;
    const long grownKb = residentKb() - firstLapKb;
    const long deeperBytes = long(firstLapDeepest - deepest);
    kivo_->player().remove();
    device::setDeviceFactory(nullptr);

    EXPECT_GE(laps, 2);
    EXPECT_LT(grownKb, 16 * 1024) << "memory grew after the first lap";
    EXPECT_LT(deeperBytes, 16 * 1024) << "waits nest deeper lap after lap";
    EXPECT_LT(longestSilence, 3000) << "the window stopped handling events";
    if (runMs > 0) {
        std::printf(
            "long run: %.0f s, %d songs (%d laps), resident %ld KB after the first lap, "
            "%+ld KB at the end, stack %+ld bytes deeper, longest pause between "
            "events %lld ms\n",
            clock.elapsed() / 1000.0, int(devices), laps, firstLapKb, grownKb, deeperBytes,
            static_cast<long long>(longestSilence));
    }
}

}  // namespace
}  // namespace kivo
