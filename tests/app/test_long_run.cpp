// Loop mode over 200 very short songs, played by the real engine into devices that keep
// nothing: memory stays flat, the window goes on handling events and answering clicks, and no
// handler's wait nests inside another's. The test command plays two laps;
// KIVO_LONG_RUN_SECONDS makes it the long run (tools/long_run.sh: ten minutes under
// AddressSanitizer) and prints its figures.
#include <malloc.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QMouseEvent>
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

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

// What the program's allocations hold now, its own and its libraries': the sanitizer's count
// under AddressSanitizer (which answers mallinfo2 with zeros), else the C library's.
long liveHeapKb() {
#if defined(__SANITIZE_ADDRESS__)
    return long(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    const struct mallinfo2 heap = ::mallinfo2();
    return long((heap.uordblks + heap.hblkhd) / 1024);
#endif
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

    // A tick every 20 ms notes how deep the window thread's stack reaches, how long the
    // window went without handling an event, and the most the heap held.
    uintptr_t deepest = UINTPTR_MAX;
    qint64 lastTick = 0, longestSilence = 0;
    long heapPeakKb = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        deepest = std::min(deepest, reinterpret_cast<uintptr_t>(__builtin_frame_address(0)));
        longestSilence = std::max(longestSilence, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
        heapPeakKb = std::max(heapPeakKb, liveHeapKb());
    });
    ticker.start(20);

    // A click on the tips button every second, queued as a user's click is: each one is
    // answered, and soon.
    int clicks = 0, answers = 0;
    qint64 clickedAt = 0, slowestAnswer = 0;
    runtime::SuperBtn* const button = window().tipsButton;
    QObject::connect(button, &runtime::SuperBtn::clicked, [&] {
        ++answers;
        slowestAnswer = std::max(slowestAnswer, clock.elapsed() - clickedAt);
    });
    auto click = [&] {
        const QPointF centre = QRectF(button->rect()).center();
        clickedAt = clock.elapsed();
        ++clicks;
        for (const auto& [type, buttons] : {std::pair(QEvent::MouseButtonPress, Qt::LeftButton),
                                            std::pair(QEvent::MouseButtonRelease, Qt::NoButton)}) {
            QCoreApplication::postEvent(
                button, new QMouseEvent(type, centre, button->mapToGlobal(centre), Qt::LeftButton,
                                        buttons, Qt::NoModifier));
        }
    };
    click();  // the first lap's marks take in the answer's path
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, click);
    clicker.start(1000);

    window().songList->setCurrent(0);
    playSelected(*kivo_);
    auto runUntil = [&](const std::function<bool()>& done) {
        while (!done() && clock.elapsed() < std::max(runMs, 120000)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    };
    // The first lap warms up (and sets the stack's mark); memory is judged from the end of
    // the first lap in two laps, over the second half in a long run, so that caches filled
    // once (the sanitizer's quarantine among them) do not count as growth.
    const long startKb = residentKb();
    runUntil([&] { return devices >= kSongs; });
    ASSERT_GE(devices, kSongs) << "the first lap did not end";
    const uintptr_t firstLapDeepest = deepest;
    longestSilence = 0;
    runUntil([&] { return clock.elapsed() >= runMs / 2; });
    const long warmKb = residentKb(), warmHeapPeakKb = heapPeakKb;
    const int warmSongs = devices;
    runUntil([&] { return devices >= warmSongs + kSongs && clock.elapsed() >= runMs; });
    clicker.stop();
    runUntil([&] { return answers == clicks; });
    const int laps = devices / kSongs;
    const long grownKb = residentKb() - warmKb;
    const long heapGrownKb = heapPeakKb - warmHeapPeakKb;
    const long deeperBytes = long(firstLapDeepest - deepest);
    kivo_->player().remove();
    device::setDeviceFactory(nullptr);

    EXPECT_GE(laps, 2);
    EXPECT_LT(heapGrownKb, 2 * 1024) << "the heap grew after the warm-up";
#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer keeps a record of every thread that ever ran (some 250 bytes, never
    // given back) and each song runs threads of its own: there the heap is the measure.
    EXPECT_LT(grownKb, 16 * 1024) << "memory grew after the warm-up";
#endif
    EXPECT_LT(deeperBytes, 16 * 1024) << "waits nest deeper lap after lap";
    EXPECT_LT(longestSilence, 3000) << "the window stopped handling events";
    EXPECT_EQ(answers, clicks) << "clicks went unanswered";
    EXPECT_LT(slowestAnswer, 3000) << "a click waited long for its answer";
    if (runMs > 0) {
        std::printf(
            "long run: %.0f s, %d songs (%d laps); resident %ld KB at the start, %ld KB after "
            "%d songs, %+ld KB at the end; heap at most %ld KB, %+ld KB at the end; stack %+ld "
            "bytes deeper; longest pause between events %lld ms; %d of %d clicks answered, "
            "the slowest in %lld ms\n",
            clock.elapsed() / 1000.0, int(devices), laps, startKb, warmKb, warmSongs, grownKb,
            heapPeakKb, heapGrownKb, deeperBytes, static_cast<long long>(longestSilence), answers,
            clicks, static_cast<long long>(slowestAnswer));
    }
}

}  // namespace
}  // namespace kivo
