#include <gtest/gtest.h>

#include <thread>

#include "device/device_backends.h"
#include "device_test_support.h"

namespace kivo::device {
namespace {

using std::chrono::milliseconds;
using test::BufferSet;
using test::makeSignal;

const WaveFormat kStereo{2, 44100, 16};

std::shared_ptr<VirtualDeviceLog> newLog() {
    return std::make_shared<VirtualDeviceLog>();
}

VirtualDeviceOptions options(double speed, std::shared_ptr<VirtualDeviceLog> log = nullptr) {
    VirtualDeviceOptions o;
    o.speed = speed;
    o.log = std::move(log);
    return o;
}

TEST(VirtualDevice, PlaysBuffersInQueueOrderAndReportsEachOnceInThatOrder) {
    auto log = newLog();
    VirtualDevice device(options(0, log));
    const auto pcm = makeSignal(10000, 2);
    BufferSet buffers(pcm, 4608);
    ASSERT_EQ(device.open(kStereo, buffers.callback()), DeviceResult::Ok);
    ASSERT_TRUE(buffers.queueAll(device));
    ASSERT_TRUE(buffers.waitDone(buffers.size()));
    std::this_thread::sleep_for(milliseconds(20));  // nothing is reported twice
    EXPECT_EQ(buffers.done(), buffers.inOrder());
    EXPECT_EQ(log->pcm(), pcm);
    for (size_t i = 0; i < buffers.size(); ++i) {
        EXPECT_FALSE(buffers[i]->queued);
        EXPECT_EQ(device.unprepare(buffers[i]), DeviceResult::Ok);
        EXPECT_FALSE(buffers[i]->prepared);
    }
    EXPECT_EQ(device.close(), DeviceResult::Ok);
    EXPECT_EQ(log->format().sampleRate, 44100);
    EXPECT_EQ(log->count("write"), buffers.size());
}

TEST(VirtualDevice, PacedDeviceReportsABufferOnlyAfterItsPlayingTime) {
    VirtualDevice device(options(1));
    const auto pcm = makeSignal(44100 / 5, 2);  // 200 ms in four buffers of 50 ms
    BufferSet buffers(pcm, 44100 / 20 * 4);
    ASSERT_EQ(device.open(kStereo, buffers.callback()), DeviceResult::Ok);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(buffers.queueAll(device));
    ASSERT_TRUE(buffers.waitDone(4));
    EXPECT_GE(buffers.doneAt(0) - start, milliseconds(45));
    EXPECT_GE(buffers.doneAt(3) - start, milliseconds(190));
    EXPECT_EQ(device.close(), DeviceResult::Ok);
}

TEST(VirtualDevice, SpeedUpShortensThePlayingTime) {
    VirtualDevice device(options(4));
    const auto pcm = makeSignal(44100 / 5, 2);
    BufferSet buffers(pcm, 4608);
    ASSERT_EQ(device.open(kStereo, buffers.callback()), DeviceResult::Ok);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(buffers.queueAll(device));
    ASSERT_TRUE(buffers.waitDone(buffers.size()));
    EXPECT_GE(buffers.doneAt(buffers.size() - 1) - start, milliseconds(45));
    EXPECT_EQ(device.close(), DeviceResult::Ok);
}

TEST(VirtualDevice, PauseStopsTheSoundAtOnceAndRestartGoesOnFromTheSameSample) {
    auto log = newLog();
    VirtualDevice device(options(1, log));
    const auto pcm = makeSignal(44100 / 2, 2);  // 500 ms in one buffer
    BufferSet buffers(pcm, static_cast<uint32_t>(pcm.size()));
    ASSERT_EQ(device.open(kStereo, buffers.callback()), DeviceResult::Ok);
    ASSERT_TRUE(buffers.queueAll(device));
    std::this_thread::sleep_for(milliseconds(150));
    ASSERT_EQ(device.pause(), DeviceResult::Ok);
    const size_t atPause = log->pcmBytes();
    EXPECT_GT(atPause, 0u);
    EXPECT_LT(atPause, pcm.size());
    std::this_thread::sleep_for(milliseconds(400));  // longer than what was left to play
    EXPECT_EQ(log->pcmBytes(), atPause);
    EXPECT_TRUE(buffers.done().empty());
    ASSERT_EQ(device.restart(), DeviceResult::Ok);
    ASSERT_TRUE(buffers.waitDone(1));
    EXPECT_EQ(log->pcm(), pcm);
    EXPECT_EQ(device.close(), DeviceResult::Ok);
}

TEST(VirtualDevice, PausedBeforeTheFirstWriteHoldsEverythingBack) {
    VirtualDevice device(options(0));
    const auto pcm = makeSignal(4000, 2);
    BufferSet buffers(pcm, 4608);
    ASSERT_EQ(device.open(kStereo, buffers.callback()), DeviceResult::Ok);
    ASSERT_EQ(device.pause(), DeviceResult::Ok);
    ASSERT_EQ(device.pause(), DeviceResult::Ok);  // twice is the same as once
    ASSERT_TRUE(buffers.queueAll(device));
    EXPECT_FALSE(buffers.waitDone(1, milliseconds(100)));
    ASSERT_EQ(device.restart(), DeviceResult::Ok);
    EXPECT_TRUE(buffers.waitDone(buffers.size()));
    EXPECT_EQ(device.close(), DeviceResult::Ok);
}

TEST(VirtualDevice, QueuedBuffersKeepCloseAndUnprepareWaitingUntilResetReportsThemDone) {
    auto log = newLog();
    VirtualDevice device(options(1, log));
    const auto pcm = makeSignal(44100 * 2, 2);  // two seconds: still playing below
    BufferSet buffers(pcm, 4608);
    ASSERT_EQ(device.open(kStereo, buffers.callback()), DeviceResult::Ok);
    ASSERT_TRUE(buffers.queueAll(device));
    EXPECT_EQ(device.close(), DeviceResult::StillPlaying);
    EXPECT_EQ(device.unprepare(buffers[buffers.size() - 1]), DeviceResult::StillPlaying);
    EXPECT_EQ(device.write(buffers[0]), DeviceResult::Error);  // already queued

    ASSERT_EQ(device.reset(), DeviceResult::Ok);
    // Reset returns once every queued buffer has been reported, in queueing order.
    EXPECT_EQ(buffers.done(), buffers.inOrder());
    EXPECT_LT(log->pcmBytes(), pcm.size());
    EXPECT_EQ(device.unprepare(buffers[buffers.size() - 1]), DeviceResult::Ok);
    EXPECT_EQ(device.close(), DeviceResult::Ok);
    EXPECT_EQ(log->count("close", DeviceResult::StillPlaying), 1u);
    EXPECT_EQ(log->count("close"), 1u);
}

TEST(VirtualDevice, ResetWhilePausedReportsEverythingAndTheDeviceStaysUsable) {
    VirtualDevice device(options(1));
    const auto pcm = makeSignal(44100, 2);
    BufferSet first(pcm, 4608);
    ASSERT_EQ(device.open(kStereo, first.callback()), DeviceResult::Ok);
    ASSERT_TRUE(first.queueAll(device));
    ASSERT_EQ(device.pause(), DeviceResult::Ok);
    ASSERT_EQ(device.reset(), DeviceResult::Ok);
    EXPECT_EQ(first.done().size(), first.size());
    // The pause outlives the reset, as with the system's wave-out device.
    ASSERT_EQ(device.write(first[0]), DeviceResult::Ok);
    EXPECT_FALSE(first.waitDone(first.size() + 1, milliseconds(80)));
    ASSERT_EQ(device.restart(), DeviceResult::Ok);
    EXPECT_TRUE(first.waitDone(first.size() + 1));
    EXPECT_EQ(device.close(), DeviceResult::Ok);
}

TEST(VirtualDevice, WriteRequiresAPreparedBuffer) {
    VirtualDevice device(options(0));
    DeviceBuffer buffer;
    const uint8_t bytes[4] = {1, 2, 3, 4};
    buffer.data = bytes;
    buffer.bytes = 4;
    ASSERT_EQ(device.open(kStereo, nullptr), DeviceResult::Ok);
    EXPECT_EQ(device.write(&buffer), DeviceResult::Error);
    EXPECT_EQ(device.write(nullptr), DeviceResult::Error);
    EXPECT_EQ(device.prepare(nullptr), DeviceResult::Error);
    EXPECT_EQ(device.close(), DeviceResult::Ok);
}

TEST(VirtualDevice, RefusedOpenLeavesEveryLaterCallHarmless) {
    auto log = newLog();
    auto refusing = options(1, log);
    refusing.refuseOpen = true;
    VirtualDevice device(refusing);
    const auto pcm = makeSignal(1000, 2);
    BufferSet buffers(pcm, 1000);
    test::expectRefusedAndHarmless(device, kStereo, buffers);
    EXPECT_EQ(device.close(), DeviceResult::Error);
    EXPECT_EQ(log->count("open", DeviceResult::Error), 1u);
    EXPECT_EQ(log->calls().size(), 9u);
}

TEST(VirtualDevice, ImpossibleFormatsAreRefused) {
    VirtualDevice device(options(0));
    EXPECT_EQ(device.open({0, 44100, 16}, nullptr), DeviceResult::Error);
    EXPECT_EQ(device.open({2, 0, 16}, nullptr), DeviceResult::Error);
    EXPECT_EQ(device.open({2, 44100, 12}, nullptr), DeviceResult::Error);
    EXPECT_EQ(device.close(), DeviceResult::Error);
}

TEST(VirtualDevice, ReopensWithANewFormatOnlyOnceTheQueueHasPlayed) {
    auto log = newLog();
    VirtualDevice device(options(0, log));
    const auto pcm = makeSignal(2000, 1);
    BufferSet buffers(pcm, 1152);
    ASSERT_EQ(device.open(kStereo, buffers.callback()), DeviceResult::Ok);
    ASSERT_EQ(device.pause(), DeviceResult::Ok);
    ASSERT_TRUE(buffers.queueAll(device));
    EXPECT_EQ(device.open({1, 22050, 16}, buffers.callback()), DeviceResult::Error);
    ASSERT_EQ(device.restart(), DeviceResult::Ok);
    ASSERT_TRUE(buffers.waitDone(buffers.size()));
    ASSERT_EQ(device.open({1, 22050, 16}, buffers.callback()), DeviceResult::Ok);
    EXPECT_EQ(log->format().channels, 1);
    EXPECT_EQ(log->format().sampleRate, 22050);
    EXPECT_EQ(device.close(), DeviceResult::Ok);
}

TEST(VirtualDevice, DestroyingAnOpenDeviceWithQueuedBuffersReportsThemAndReturns) {
    const auto pcm = makeSignal(44100 * 5, 2);
    BufferSet buffers(pcm, 4608);
    {
        VirtualDevice device(options(1));
        ASSERT_EQ(device.open(kStereo, buffers.callback()), DeviceResult::Ok);
        ASSERT_TRUE(buffers.queueAll(device));
    }
    EXPECT_EQ(buffers.done(), buffers.inOrder());
}

TEST(VirtualDevice, CallersOnSeveralThreadsNeverLoseABuffer) {
    // The output thread writes while another thread pauses and restarts, as in the player.
    VirtualDevice device(options(50));
    const auto pcm = makeSignal(44100 * 2, 2);
    BufferSet buffers(pcm, 4608);
    ASSERT_EQ(device.open(kStereo, buffers.callback()), DeviceResult::Ok);
    std::thread writer([&] { buffers.queueAll(device); });
    for (int i = 0; i < 20; ++i) {
        device.pause();
        std::this_thread::sleep_for(milliseconds(1));
        device.restart();
    }
    writer.join();
    ASSERT_TRUE(buffers.waitDone(buffers.size()));
    EXPECT_EQ(buffers.done(), buffers.inOrder());
    EXPECT_EQ(device.close(), DeviceResult::Ok);
}

}  // namespace
}  // namespace kivo::device
