// winmm's wave-out as the output stage uses it. Run under Wine by the Linux side, which records
// the sound server behind Wine and checks that what was heard is what was played; here the
// device's own answers are checked: buffers back in order and only once played, a pause that
// holds them, a close refused while they are queued, a refused open that stays harmless.
#include <gtest/gtest.h>

#include <thread>

#include "device/device_backends.h"
#include "device_test_support.h"
#include "waveout_sounds.h"

namespace kivo::device {
namespace {

using std::chrono::milliseconds;
using test::BufferSet;
using test::makeSignal;

const WaveFormat kStereo{2, 44100, 16};

TEST(WaveOutDevice, PlaysEverySampleInOrderAndReportsBuffersOnlyOncePlayed) {
    const auto pcm = makeSignal(test::kWholeSoundFrames, 2);
    BufferSet buffers(pcm, test::kWaveOutBufferBytes);
    auto device = createWaveOutDevice();
    ASSERT_EQ(device->open(kStereo, buffers.callback()), DeviceResult::Ok);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(buffers.queueAll(*device));
    ASSERT_TRUE(buffers.waitDone(buffers.size()));
    EXPECT_EQ(buffers.done(), buffers.inOrder());
    // Done means played: the last buffer cannot come back before a second of sound has passed.
    EXPECT_GE(buffers.doneAt(buffers.size() - 1) - start, milliseconds(900));
    for (size_t i = 0; i < buffers.size(); ++i) {
        EXPECT_EQ(device->unprepare(buffers[i]), DeviceResult::Ok);
    }
    EXPECT_EQ(device->close(), DeviceResult::Ok);
}

TEST(WaveOutDevice, PauseHoldsTheBuffersAndRestartPlaysThemToTheEnd) {
    const auto pcm = makeSignal(test::kPausedSoundFrames, 2);
    BufferSet buffers(pcm, test::kWaveOutBufferBytes);
    auto device = createWaveOutDevice();
    ASSERT_EQ(device->open(kStereo, buffers.callback()), DeviceResult::Ok);
    ASSERT_TRUE(buffers.queueAll(*device));
    std::this_thread::sleep_for(milliseconds(test::kPauseAfterMs));
    ASSERT_EQ(device->pause(), DeviceResult::Ok);
    const size_t doneAtPause = buffers.done().size();
    std::this_thread::sleep_for(milliseconds(test::kPauseForMs));
    // Nothing plays while paused, so nothing comes back either.
    EXPECT_LE(buffers.done().size(), doneAtPause + 1);
    EXPECT_LT(buffers.done().size(), buffers.size());
    ASSERT_EQ(device->restart(), DeviceResult::Ok);
    ASSERT_TRUE(buffers.waitDone(buffers.size()));
    EXPECT_EQ(buffers.done(), buffers.inOrder());
    EXPECT_EQ(device->close(), DeviceResult::Ok);
}

TEST(WaveOutDevice, CloseAnswersStillPlayingUntilAResetHasReturnedEveryBuffer) {
    const auto pcm = makeSignal(test::kResetSoundFrames, 2);
    BufferSet buffers(pcm, test::kWaveOutBufferBytes);
    auto device = createWaveOutDevice();
    ASSERT_EQ(device->open(kStereo, buffers.callback()), DeviceResult::Ok);
    ASSERT_TRUE(buffers.queueAll(*device));
    std::this_thread::sleep_for(milliseconds(test::kResetAfterMs));
    EXPECT_EQ(device->close(), DeviceResult::StillPlaying);
    EXPECT_EQ(device->unprepare(buffers[buffers.size() - 1]), DeviceResult::StillPlaying);
    ASSERT_EQ(device->reset(), DeviceResult::Ok);
    EXPECT_EQ(buffers.done(), buffers.inOrder());
    EXPECT_EQ(device->unprepare(buffers[buffers.size() - 1]), DeviceResult::Ok);
    EXPECT_EQ(device->close(), DeviceResult::Ok);
}

TEST(WaveOutDevice, MonoAtALowRatePlays) {
    const auto pcm = makeSignal(22050 / 4, 1);
    BufferSet buffers(pcm, 1152);
    auto device = createWaveOutDevice();
    ASSERT_EQ(device->open({1, 22050, 16}, buffers.callback()), DeviceResult::Ok);
    ASSERT_TRUE(buffers.queueAll(*device));
    ASSERT_TRUE(buffers.waitDone(buffers.size()));
    EXPECT_EQ(buffers.done(), buffers.inOrder());
    EXPECT_EQ(device->close(), DeviceResult::Ok);
}

// A device number that does not exist, and a format no device takes.
TEST(WaveOutDevice, ARefusedOpenLeavesADeviceThatRefusesEverythingHarmlessly) {
    const auto pcm = makeSignal(1000, 2);
    BufferSet buffers(pcm, 1000);
    test::expectRefusedAndHarmless(*createWaveOutDevice(999), kStereo, buffers);
    test::expectRefusedAndHarmless(*createWaveOutDevice(), {2, 44100, 12}, buffers);
}

// The device the engine gets on Windows when nobody chose one.
TEST(WaveOutDevice, IsTheDefaultDevice) {
    auto device = createDefaultDevice();
    const auto pcm = makeSignal(4608, 2);
    BufferSet buffers(pcm, test::kWaveOutBufferBytes);
    ASSERT_EQ(device->open(kStereo, buffers.callback()), DeviceResult::Ok);
    ASSERT_TRUE(buffers.queueAll(*device));
    ASSERT_TRUE(buffers.waitDone(buffers.size()));
    EXPECT_EQ(device->close(), DeviceResult::Ok);
}

}  // namespace
}  // namespace kivo::device
